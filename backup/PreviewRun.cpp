#include "backup/PreviewRun.h"

#include "catalog/ArchiveIndex.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"

namespace quillet {

// The scan reports through the preview's window; a press of the window's button counts as
// the scan's Cancel.
class PreviewRun::ScanHost : public RunHost {
public:
    explicit ScanHost(PreviewRun& run) : run_(run) {}
    void setStatus(const std::string& text) override { run_.view_.setStatus(text); }
    void setProgress(int percent) override { run_.view_.setProgress(percent); }
    void setItemProgress(int percent) override { run_.view_.setItemProgress(percent); }
    bool cancelRequested() override { return run_.pressed_ || run_.view_.cancelRequested(); }
    void pumpEvents() override { run_.view_.pumpEvents(); }
    void setFolderLine(const std::string& folder) override { run_.view_.setFolderLine(folder); }
    void clearCancelRequest() override {
        run_.pressed_ = false;
        run_.view_.clearCancelRequest();
    }

private:
    PreviewRun& run_;
};

PreviewRun::PreviewRun(PreviewServices services, Project project, BackupRunView& view)
    : s_(services), project_(std::move(project)), view_(view), host_(std::make_unique<ScanHost>(*this)) {}

PreviewRun::~PreviewRun() {
    setWaitCursor(false);
}

void PreviewRun::setWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    s_.dialogs.setWaitCursor(on);
}

void PreviewRun::setButtonLabel(const std::string& label) {
    buttonLabel_ = label;
    view_.setButtonLabel(label);
}

void PreviewRun::open() {
    if (phase_ != Phase::NotOpened) return;
    setWaitCursor(true);
    view_.setCaption(previewtext::CaptionPrefix + project_.NAME);
    view_.setTotals(0, 0);
    setButtonLabel(backuptext::CancelButton);
    phase_ = Phase::Scanning;
    // Skipped folders are named, as the backup names them, instead of stopping the preview:
    // the preview must select what the backup will select.
    scanServices_ = std::make_unique<ScanServices>(ScanServices{s_.fs, s_.dialogs, *host_, &skipped_});
    scan_ = std::make_unique<ProjectScan>(*scanServices_, s_.catalog, project_.SYSID, scantext::PurgingExcludeFiles);
    if (scan_->finished()) endScan();
}

void PreviewRun::step() {
    if (phase_ != Phase::Scanning) return;
    if (!scan_->step()) endScan();
}

void PreviewRun::endScan() {
    outcome_ = scan_->outcome();
    setWaitCursor(false);
    if (outcome_ == ScanOutcome::Cancelled) {
        close();
        return;
    }
    if (outcome_ != ScanOutcome::Completed) {
        // The messages have been shown; status and totals stay as they were.
        phase_ = Phase::Stopped;
        return;
    }
    files_ = scan_->takeFiles();  // in SORTNAME order
    scan_.reset();
    totalFiles_ = static_cast<std::int64_t>(files_.size());
    totalBytes_ = 0;
    for (const BackupFileEntry& f : files_) totalBytes_ += f.SIZE;
    if (files_.empty())
        view_.showNoFilesRow();
    else
        view_.showFiles(files_);
    view_.setTotals(totalFiles_, totalBytes_);
    view_.setStatus(previewtext::Ready);
    setButtonLabel(backuptext::OkButton);
    view_.hideFolderLine();
    phase_ = Phase::Listed;
}

void PreviewRun::buttonPressed() {
    switch (phase_) {
        case Phase::Scanning:
            pressed_ = true;  // the scan asks at its next polling point
            return;
        case Phase::Listed:
            close();
            return;
        case Phase::NotOpened:
        case Phase::Stopped:
            s_.dialogs.beep();
            if (s_.dialogs.message(backuptext::CancelPressedQuestion, backuptext::CancelPressedTitle, Icon::Question,
                                   buttons::YesNo, answer::No) == answer::Yes)
                close();
            return;
        case Phase::Closed:
            return;
    }
}

const PreviewChanges& PreviewRun::changes() {
    if (!changes_) {
        ArchiveIndex index(s_.catalog.database().folder());
        changes_ = previewChanges(s_.fs, index, project_, files_);
    }
    return *changes_;
}

void PreviewRun::close() {
    setWaitCursor(false);
    scan_.reset();
    phase_ = Phase::Closed;
    view_.closeWindow();
}

}  // namespace quillet
