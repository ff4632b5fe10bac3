// quillet preview | backup: the selection scan and the unattended backup run.
#include "app/CommandLine.h"
#include "app/ConsoleBackupView.h"
#include "app/UnattendedRun.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "backup/ScanProjectFiles.h"
#include "catalog/Catalog.h"
#include "framework/RunHost.h"

namespace quillet::cli {

int previewCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    if (project->FAVORITES == 1)
        return ctx.fail("\"" + project->NAME + "\" is a favourites folder: it has no backup to preview.");

    // The scan of the preview window, with nobody to press its Cancel button.
    PlainRunHost host;
    SkippedFolders skipped;
    ScanServices services{ctx.fs, ctx.dialogs, host, &skipped};
    BackupFileList files;
    const ScanOutcome outcome =
        ScanProjectFiles(services, *ctx.catalog(), project->SYSID, files, scantext::PurgingExcludeFiles);
    if (outcome == ScanOutcome::PathNotFound) return ctx.fail("a folder of the project could not be entered");
    if (outcome != ScanOutcome::Completed) return ctx.fail("the scan did not complete");
    // The folders a backup would leave out, as the backup names them.
    for (const SkippedFolder& f : skipped) ctx.err << failedLine(f.folder + (f.folder == "/" ? "" : "/"), f.reason);

    std::int64_t bytes = 0;
    for (const BackupFileEntry& f : files) {
        ctx.out << field(f.FILENAME) << '\t' << f.SIZE << '\n';
        bytes += f.SIZE;
    }
    if (files.empty()) ctx.err << "<No Files Match Criteria>\n";
    ctx.out << "Total Files:\t" << files.size() << '\n' << "Total Bytes:\t" << bytes << '\n';
    return skipped.empty() ? Success : Failed;
}

int backupCommand(CliContext& ctx, const ParsedArguments& args) {
    // Exactly the run of "--console -P=PROJECT", which opens the record files itself.
    ensureFolder(ctx.paths.dataFolder);
    Catalog catalog(ctx.paths.dataFolder);
    const int code = RunUnattendedInConsole(ctx.paths, ctx.settings, ctx.dialogs, catalog,
                                            upperAndCut(args.positional[0], 20), ctx.out);
    if (code == unattended::ImproperName) return Usage;
    return code == unattended::Succeeded ? Success : Failed;
}

}  // namespace quillet::cli
