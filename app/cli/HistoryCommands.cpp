// quillet history: the runs of the run history, for scripts.
#include "app/RunStatus.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "framework/records/RunHistory.h"

namespace quillet::cli {

namespace {

std::string moment(DateTime t) {
    return isoDate(t.date) + " " + isoTime(t.time);
}

}  // namespace

int historyCommand(CliContext& ctx, const ParsedArguments& args) {
    std::size_t limit = RunHistory::Kept;
    if (const auto typed = args.value("--last")) {
        const auto n = parseWholeNumber(*typed, 1, static_cast<long long>(RunHistory::Kept));
        if (!n) return ctx.usage("--last takes a number from 1 to " + std::to_string(RunHistory::Kept));
        limit = static_cast<std::size_t>(*n);
    }
    std::int32_t sysId = 0;
    if (!args.positional.empty()) {
        int status = Success;
        const auto project = ctx.project(args.positional[0], status);
        if (!project) return status;
        sysId = project->SYSID;
    }
    RunHistory history(runStatusFolder(ctx.paths.dataFolder));
    const auto runs = history.runs(sysId, limit);
    if (!runs) return ctx.fail(runs.error());
    const bool failedOnly = args.has("--failed");
    for (const HistoryRun& r : *runs) {
        if (failedOnly && r.succeeded) continue;
        ctx.out << moment(r.started) << '\t' << moment(r.ended) << '\t' << field(r.project) << '\t' << r.kind << '\t'
                << (r.succeeded ? "ok" : "failed") << '\t' << r.files << '\t' << r.bytes << '\t' << r.failedCount
                << '\t' << field(r.result) << '\t' << field(r.archive) << '\n';
        for (const auto& [path, reason] : r.failed) ctx.out << "file\t" << field(path) << '\t' << field(reason) << '\n';
    }
    return Success;
}

}  // namespace quillet::cli
