// quillet archives | contents | test | restore: the archive object does the work.
#include <cstdio>
#include <iostream>
#include <vector>

#include "app/ConsoleBackupView.h"
#include "app/RefreshBackupList.h"
#include "app/RunStatus.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "app/cli/TerminalDialogs.h"
#include "archive/ArchiveRuns.h"
#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/ArchiveComment.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/Picture.h"
#include "platform/DateCodes.h"
#include "platform/TerminationSignals.h"

namespace quillet::cli {

namespace {

// The first line of an archive's notes ("" when it has none).
std::string firstCommentLine(const std::string& comment) {
    std::string notes =
        comment.rfind(CommentHeading, 0) == 0 ? comment.substr(std::string(CommentHeading).size()) : comment;
    const auto start = notes.find_first_not_of(" \r\n");
    if (start == std::string::npos) return {};
    notes = notes.substr(start);
    notes = notes.substr(0, notes.find_first_of("\r\n"));
    while (!notes.empty() && notes.back() == ' ') notes.pop_back();
    return notes;
}

// Lists the archive named on the command line into the archive object. Prints the
// problem and gives the exit status when it cannot be listed.
bool listArchive(CliContext& ctx, lspclass& archive, const std::string& typed, int& status) {
    const std::string path = ctx.absoluteFolder(typed);
    if (!ctx.fs.fileExists(path)) {
        status = ctx.usage("there is no archive file " + path);
        return false;
    }
    archive.ARCHIVE_NAME = path;
    const int before = ctx.dialogs.messages();
    archive.ReadDirectory();
    if (ctx.dialogs.messages() != before) {
        status = ctx.fail("the archive " + path + " could not be read whole");
        return false;
    }
    return true;
}

std::string storedName(const LSPQEntry& e) {
    return e.ITEM_PATH_NAME + e.FILENAME;
}

// The entries the ITEM arguments name: an item's stored path and name, or its name alone.
// All entries when there are none. Every ITEM must name at least one entry.
std::optional<std::vector<std::size_t>> selectItems(CliContext& ctx, const lspclass& archive,
                                                    const std::vector<std::string>& items, int& status) {
    std::vector<std::size_t> chosen;
    std::vector<bool> taken(archive.LSPQ.size(), false);
    if (items.empty()) {
        for (std::size_t i = 0; i < archive.LSPQ.size(); ++i) chosen.push_back(i);
        return chosen;
    }
    for (const std::string& item : items) {
        bool found = false;
        for (std::size_t i = 0; i < archive.LSPQ.size(); ++i) {
            const LSPQEntry& e = archive.LSPQ[i];
            if (storedName(e) != item && !(item.find('/') == std::string::npos && e.FILENAME == item)) continue;
            found = true;
            if (!taken[i]) chosen.push_back(i);
            taken[i] = true;
        }
        if (!found) {
            status = ctx.usage("the archive holds no item \"" + item + "\" (see 'quillet contents " +
                               archive.ARCHIVE_NAME + "')");
            return std::nullopt;
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// Lists the archive the first argument names and selects the items the others name.
std::optional<std::vector<std::size_t>> listAndSelect(CliContext& ctx, lspclass& archive, const ParsedArguments& args,
                                                      int& status) {
    if (!listArchive(ctx, archive, args.positional[0], status)) return std::nullopt;
    return selectItems(ctx, archive, std::vector<std::string>(args.positional.begin() + 1, args.positional.end()),
                       status);
}

}  // namespace

int archivesCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    BackupListState state;
    RefreshBackupList(ctx.fs, project, ctx.fs.currentFolder(), state, &ctx.dialogs);
    if (!state.reachable) {
        std::string text = state.pathErrorText;
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        return ctx.fail(text.substr(text.find_first_not_of(" ")));
    }
    lspclass& a = ctx.archive();
    const std::string folder = destinationFolder(project->DESTINATIONPATH);
    for (const DirEntry& e : state.list) {
        a.ARCHIVE_NAME = folder + e.name;
        const std::string comment = firstCommentLine(ReadArchiveComment(a, ctx.paths.programFolder));
        ctx.out << field(e.name) << '\t' << isoDate(e.date) << '\t' << isoTime(e.time) << '\t' << e.size << '\t'
                << field(comment) << '\n';
    }
    return Success;
}

int contentsCommand(CliContext& ctx, const ParsedArguments& args) {
    lspclass& a = ctx.archive();
    int status = Success;
    if (!listArchive(ctx, a, args.positional[0], status)) return status;
    for (const LSPQEntry& e : a.LSPQ) {
        ctx.out << field(e.ITEM_PATH_NAME) << '\t' << field(e.FILENAME) << '\t' << e.EXTENSION << '\t'
                << isoDate(e.LAST_MOD_FILE_DATE) << '\t' << isoTime(e.LAST_MOD_FILE_TIME) << '\t' << e.UNCOMPRESSED_SIZE
                << '\t' << formatRatio(e.RATIO) << '\t' << e.COMPRESSED_SIZE << '\t' << e.GENERAL_PURPOSE_BIT_FLAG
                << '\t' << e.COMPRESSION_METHOD << '\t' << e.CRC32 << '\n';
    }
    const auto archiveSize = ctx.fs.fileSize(a.ARCHIVE_NAME);
    ctx.out << "Files in Backup:\t" << a.S_COUNT_FILES << '\n'
            << "Size (Before):\t" << a.S_UNCOMPRESSED_SIZE << '\n'
            << "Size (After):\t" << (archiveSize ? *archiveSize : 0) << '\n'
            << "Comp Ratio:\t" << formatRatio(a.S_COMPRESSION_RATIO) << '\n';
    return Success;
}

namespace {

// Prints one line per finished item, as the window marks its icon: the same run, the
// same results.
class CliRunView : public ArchiveRunView {
public:
    CliRunView(CliContext& ctx, const lspclass& archive, bool restore, bool prompting = false)
        : ctx_(ctx), archive_(archive), restore_(restore), prompting_(prompting) {}
    void setRun(const ArchiveRun& run) { run_ = &run; }

    void setStatus(const std::string&) override {}
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    void entryChanged(std::size_t row) override {
        const WorkEntry& e = run_->work()[row];
        const LSPQEntry& item = archive_.LSPQ[e.index];
        if (e.status == 0) {
            ctx_.out << (restore_ ? "restored\t" : "good\t") << field(e.text) << '\n';
        } else if (restore_) {
            const std::string why = e.status != -22 ? lspclass::ItemErrorText(e.status, item)
                                    : prompting_
                                        ? std::string("the file exists and was kept")
                                        : std::string("the file exists and was kept (--overwrite replaces it)");
            ctx_.err << failedLine(e.text, why) << std::flush;
        } else {
            ctx_.out << "bad\t" << field(e.text) << '\t' << lspclass::ItemErrorText(e.status, item) << '\n';
        }
        ctx_.out.flush();
    }

private:
    CliContext& ctx_;
    const lspclass& archive_;
    const ArchiveRun* run_ = nullptr;
    bool restore_;
    bool prompting_;
};

// Marks the chosen entries, as the console's list would.
void markChosen(lspclass& a, const std::vector<std::size_t>& chosen) {
    for (LSPQEntry& e : a.LSPQ) e.MARK = 0;
    for (std::size_t index : chosen) a.LSPQ[index].MARK = 1;
}

// The run goes into the history of the project whose archive it is, looked up when the run
// ends: the record files open on a helper thread while the run works.
void recordInHistory(CliContext& ctx, ArchiveRun& run, const lspclass& a, const Clock& clock) {
    ctx.openCatalogAhead();
    RunHistoryTarget target;
    target.folder = runStatusFolder(ctx.paths.dataFolder);
    target.clock = &clock;
    target.complete = [&ctx, archive = a.ARCHIVE_NAME](RunHistoryTarget& t) {
        if (Catalog* catalog = ctx.catalog()) t = historyTarget(*catalog, {}, archive, t.folder, *t.clock);
    };
    run.recordIn(std::move(target));
}

int finishRun(CliContext& ctx, const ArchiveRun& run) {
    ctx.out << run.summary() << '\n';
    return run.errors() == 0 && !run.cancelled() ? Success : Failed;
}

}  // namespace

int testCommand(CliContext& ctx, const ParsedArguments& args) {
    ctx.openCatalogAhead();  // for the history, while the archive is listed and tested
    lspclass& a = ctx.archive();
    int status = Success;
    const auto chosen = listAndSelect(ctx, a, args, status);
    if (!chosen) return status;
    markChosen(a, *chosen);
    catchTerminationSignals();

    // A test writes nothing; the library still wants a folder.
    a.UNPACK_DIRECTORY = tempFolder();
    SilentSoundPlayer silent;
    CliRunView view(ctx, a, false);
    TestRun run({ctx.fs, ctx.dialogs, ctx.settings, silent, a}, view);
    SystemClock clock;
    recordInHistory(ctx, run, a, clock);
    view.setRun(run);
    run.open();
    if (run.phase() == ArchiveRun::Phase::Closed) return Failed;  // "Nothing to Test" has been printed
    while (run.timerRunning()) run.step();
    return finishRun(ctx, run);
}

int restoreCommand(CliContext& ctx, const ParsedArguments& args) {
    const auto to = args.value("--to");
    if (!to || to->find_first_not_of(" \t") == std::string::npos) return ctx.usage("missing --to DIR");
    if (args.has("--prompt") && args.has("--overwrite"))
        return ctx.usage("--prompt and --overwrite exclude each other");

    ctx.openCatalogAhead();  // for the history, while the archive is listed and restored
    lspclass& a = ctx.archive();
    int status = Success;
    const auto chosen = listAndSelect(ctx, a, args, status);
    if (!chosen) return status;
    markChosen(a, *chosen);

    const auto settled = ctx.settledFolder(*to);
    if (!settled) return Failed;

    // The restore window's choices, taken from the command line; the archive settings
    // file is not written. Only --prompt asks about an existing file (on the terminal);
    // otherwise it is kept unless --overwrite says otherwise.
    const bool prompting = args.has("--prompt");
    a.USE_PATH_INFO = args.has("--paths") ? 1 : 0;
    a.UNPACK_OVERWRITE_OPTION = args.has("--overwrite") ? 1 : prompting ? 2 : 3;
    a.CREATE_DIRECTORY = args.has("--create-dirs") ? 1 : 0;
    a.UNPACK_QUIET_MODE_FLAG = prompting ? 0 : 1;
    catchTerminationSignals();

    TerminalDialogs terminal(ctx.dialogs, std::cin, ctx.err);
    Dialogs& dialogs = prompting ? static_cast<Dialogs&>(terminal) : static_cast<Dialogs&>(ctx.dialogs);
    SilentSoundPlayer silent;
    CliRunView view(ctx, a, true, prompting);
    RestoreRun run({ctx.fs, dialogs, ctx.settings, silent, a}, view);
    SystemClock clock;
    recordInHistory(ctx, run, a, clock);
    view.setRun(run);
    run.open();
    const RestoreRun::RootOutcome root = run.acceptRoot(*settled);
    if (!root.accepted) return ctx.fail("cannot restore into " + *settled);
    run.start();
    if (run.phase() == ArchiveRun::Phase::Closed) return Failed;  // "Nothing to Do" has been printed
    while (run.timerRunning()) run.step();
    return finishRun(ctx, run);
}

}  // namespace quillet::cli
