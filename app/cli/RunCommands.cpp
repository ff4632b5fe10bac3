// quillet preview | backup: the selection scan and the unattended backup run.
#include "app/CommandLine.h"
#include "app/ConsoleBackupView.h"
#include "app/UnattendedRun.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "backup/PreviewRun.h"
#include "catalog/Catalog.h"
#include "framework/RunHost.h"

namespace quillet::cli {

namespace {

// The preview shows nothing while it scans: the list is printed at its end.
class PreviewView : public BackupRunView {
public:
    void setStatus(const std::string&) override {}
    void setProgress(int) override {}
    void setItemProgress(int) override {}
    bool cancelRequested() override { return false; }
    void pumpEvents() override {}
};

}  // namespace

int previewCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    if (project->FAVORITES == 1)
        return ctx.fail("\"" + project->NAME + "\" is a favourites folder: it has no backup to preview.");

    // The preview window's engine, with nobody to press its button.
    PreviewView view;
    PreviewRun run({ctx.fs, ctx.dialogs, *ctx.catalog()}, *project, view);
    run.open();
    while (run.timerRunning()) run.step();
    if (run.outcome() == ScanOutcome::PathNotFound) return ctx.fail("a folder of the project could not be entered");
    if (run.phase() != PreviewRun::Phase::Listed) return ctx.fail("the scan did not complete");
    const SkippedFolders& skipped = run.skippedFolders();
    const BackupFileList& files = run.files();
    // The folders a backup would leave out, as the backup names them.
    for (const SkippedFolder& f : skipped) ctx.err << failedLine(f.folder + (f.folder == "/" ? "" : "/"), f.reason);

    if (args.has("--changes")) {
        printPreviewChanges(ctx, *project, files);
    } else {
        for (const BackupFileEntry& f : files) ctx.out << field(f.FILENAME) << '\t' << f.SIZE << '\n';
    }
    if (files.empty()) ctx.err << backuptext::NoFilesRow << '\n';
    ctx.out << "Total Files:\t" << run.totalFiles() << '\n' << "Total Bytes:\t" << run.totalBytes() << '\n';
    return skipped.empty() ? Success : Failed;
}

int backupCommand(CliContext& ctx, const ParsedArguments& args) {
    // Exactly the run of "--console -P=PROJECT", which opens the record files itself.
    ensureFolder(ctx.paths.dataFolder);
    const int code =
        RunUnattendedInConsole(ctx.services(), upperAndCut(args.positional[0], 20), ctx.out, failureNotice());
    if (code == unattended::ImproperName) return Usage;
    return code == unattended::Succeeded ? Success : Failed;
}

}  // namespace quillet::cli
