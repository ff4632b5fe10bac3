#include "backup/BackupRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "backup/ReadBackArchive.h"
#include "backup/ScanProjectFiles.h"
#include "catalog/ArchiveComment.h"
#include "framework/Clock.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "lsp/lsp.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/TerminationSignals.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

std::uint64_t nameHash(std::string_view name) {
    return std::hash<std::string_view>()(name);
}

// Why a file could not be packed, in words: for a file that cannot be opened the
// system's reason ("Permission denied"), else the library's.
std::string failureReason(std::int16_t status, const std::string& file) {
    if (status == LSP_E_OPEN_SOURCE) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return std::strerror(errno);
        ::close(fd);
    }
    return lspclass::ErrorText(status);
}

extern "C" {
static void onProgress(void* context, int percent) {
    static_cast<BackupRun*>(context)->libraryProgress(percent);
}
static int onStopRequested(void* context) {
    return static_cast<BackupRun*>(context)->libraryStopRequested() ? 1 : 0;
}
static void onPump(void* context) {
    static_cast<BackupRun*>(context)->libraryPump();
}
static int onAsk(void* context, const char* question, const char* title) {
    return static_cast<BackupRun*>(context)->libraryAsk(question, title);
}
}

}  // namespace

// The scan's host: the run's window, with the run's own record of a press of its button.
class BackupRun::ScanHost : public RunHost {
public:
    explicit ScanHost(BackupRun& run) : run_(run) {}
    void setStatus(const std::string& text) override { run_.setStatus(text); }
    void setProgress(int percent) override { run_.view_.setProgress(percent); }
    void setItemProgress(int percent) override { run_.view_.setItemProgress(percent); }
    bool cancelRequested() override { return run_.cancelRequested(); }
    void pumpEvents() override { run_.view_.pumpEvents(); }
    void setFolderLine(const std::string& folder) override { run_.view_.setFolderLine(folder); }
    void clearCancelRequest() override { run_.clearCancelRequest(); }

private:
    BackupRun& run_;
};

SpeedSetting speedSetting(std::int64_t speedOptimization) {
    switch (speedOptimization) {
        case 1:
            return {10000, "Faster"};
        case 2:
            return {50000, "Even Faster"};
        case 3:
            return {150000, "Fastest"};
        default:
            return {0, "Normal"};
    }
}

std::string completedWithErrors(std::int64_t errorCount) {
    return "Completed - " + std::to_string(errorCount) + " Error" + (errorCount > 1 ? "s" : "");
}

BackupRun::BackupRun(BackupServices services, BackupArguments arguments, BackupRunView& view)
    : s_(services), a_(std::move(arguments)), view_(view) {}

BackupRun::~BackupRun() {
    if (waitCursor_) s_.dialogs.setWaitCursor(false);
    // The library must not call into a run that is gone, nor keep its files in hand.
    LSP_LOOKAHEAD(nullptr, 0, 0, 0);
    LSP_PINIT_MP(nullptr);
    LSP_REFERENCE(nullptr);
    // Empty unless the scan completed (the watch then was cleared when the run opened).
    if (a_.changeWatch) {
        a_.changeWatch->reserve(a_.changeWatch->size() + files_.size());
        for (BackupFileEntry& f : files_) a_.changeWatch->push_back({std::move(f.FILENAME), f.TIME});
    }
}

void BackupRun::setStatus(const std::string& text) {
    view_.setStatus(text);
}

void BackupRun::setButtonLabel(const std::string& label) {
    buttonLabel_ = label;
    view_.setButtonLabel(label);
}

void BackupRun::setWaitCursor(bool on) {
    if (on == waitCursor_) return;
    waitCursor_ = on;
    s_.dialogs.setWaitCursor(on);
}

void BackupRun::open() {
    if (phase_ != Phase::NotOpened) return;
    setWaitCursor(true);
    startMs_ = s_.clock.milliseconds();
    result_ = 0;
    bytesSinceYield_ = 0;
    setButtonLabel(backuptext::CancelButton);
    view_.setItemProgress(-1);

    speed_ = speedSetting(s_.settings.readInt("Preferences", "SpeedOptimization"));

    ScanHost scanHost(*this);
    // A folder that cannot be read is named and left out; the rest is backed up.
    skipped_.clear();
    ScanServices scan{s_.fs, s_.dialogs, scanHost, &skipped_};
    const ScanOutcome outcome = ScanProjectFiles(scan, s_.catalog, a_.project.SYSID, files_, scantext::PurgingExcluded);
    for (const SkippedFolder& f : skipped_) view_.fileFailed(f.folder + (f.folder == "/" ? "" : "/"), f.reason);
    scanCancelled_ = outcome == ScanOutcome::Cancelled;
    const bool selected = outcome == ScanOutcome::Completed;
    if (!selected) files_.clear();

    if (selected) {
        totalFiles_ = static_cast<std::int64_t>(files_.size());
        // The watch gets these files when the run is over (~BackupRun): a copy now would
        // hold every path twice while the archive is packed.
        if (a_.changeWatch) a_.changeWatch->clear();

        const LSP_HOST host{this, onProgress, onStopRequested, onPump, onAsk};
        LSP_PINIT_MP(&host);

        if (totalFiles_ == 0) {
            view_.showNoFilesRow();
            s_.dialogs.message(backuptext::NoFilesMessage, "", Icon::None, buttons::Ok, 1);
        } else {
            totalBytes_ = 0;
            for (const BackupFileEntry& f : files_) totalBytes_ += f.SIZE;
            setStatus(backuptext::CompressingFiles);
            view_.hideFolderLine();
            view_.showFiles(files_);
            view_.setTotals(totalFiles_, totalBytes_);
            view_.setCaption("Back up " + std::string(trimRight(a_.project.NAME)) + "  (" + speed_.name + ")");
        }
    }

    if (!selected || totalFiles_ == 0) {
        // Nothing is packed and no archive is touched.
        result_ = 1;
        setWaitCursor(false);
        close();
        return;
    }

    useNewestArchive();
    // The library compresses the next files on a second thread while it writes (all but
    // those the newest archive gives packed, so the reference comes first).
    std::vector<const char*> names;
    names.reserve(files_.size());
    for (const BackupFileEntry& f : files_) names.push_back(f.FILENAME.c_str());
    LSP_LOOKAHEAD(names.data(), static_cast<std::uint32_t>(names.size()), a_.compMode, a_.packFlag);
    fileIndex_ = 0;
    errorCount_ = static_cast<std::int64_t>(skipped_.size());
    if (errorCount_ > 0) result_ = 1;
    completedSound_ = s_.settings.read("Sounds", "Completed");
    errorSound_ = s_.settings.read("Sounds", "Error");
    phase_ = Phase::Packing;
}

void BackupRun::step() {
    if (phase_ == Phase::CountingDown) {
        countdownTick();
        return;
    }
    if (phase_ != Phase::Packing) return;
    while (phase_ == Phase::Packing) {
        if (bytesSinceYield_ > speed_.limit) {
            bytesSinceYield_ = 0;
            return;
        }
        // SIGTERM, SIGINT, SIGHUP: stopped as Cancel stops it, without the question.
        if (terminationRequested()) {
            result_ = 1;
            endWithoutArchive();
            return;
        }
        // A press of the button between two files asks here; one during a file reaches
        // the library, which stops the file and returns -30.
        if (cancelRequested() && !confirmCancel()) return;
        packOne();
    }
}

bool BackupRun::confirmCancel() {
    s_.dialogs.beep();
    const int answer = s_.dialogs.message(backuptext::CancelPressedQuestion, backuptext::CancelPressedTitle,
                                          Icon::Question, buttons::YesNo, answer::No);
    if (answer == answer::Yes) {
        result_ = 1;
        endWithoutArchive();
        return false;
    }
    clearCancelRequest();
    return true;
}

bool BackupRun::cancelRequested() {
    return stopRequested_ || view_.cancelRequested();
}

void BackupRun::clearCancelRequest() {
    stopRequested_ = false;
    view_.clearCancelRequest();
}

void BackupRun::useNewestArchive() {
    copiedFiles_ = 0;
    LSP_REFERENCE(nullptr);
    if (!a_.backupList || a_.backupList->empty()) return;
    // Only the archive the console listed as the newest, still of the listed size: its
    // directory is then read once. Any failure just means every file is packed anew.
    const DirEntry& newest = a_.backupList->front();
    const std::string dest(trimRight(a_.project.DESTINATIONPATH));
    const std::string path = (dest.empty() || dest.back() == '/' ? dest : dest + "/") + newest.name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != newest.size) return;
    LSP_REFERENCE(path.c_str());
}

void BackupRun::packOne() {
    BackupFileEntry& file = files_[fileIndex_];
    ++fileIndex_;
    bytesSinceYield_ += file.SIZE;
    view_.fileChanged(fileIndex_ - 1);
    itemBar_ = file.SIZE > ItemBarThreshold;
    view_.setItemProgress(itemBar_ ? 0 : -1);

    inPackCall_ = true;
    const std::int16_t status =
        LSP_PACK(file.FILENAME.c_str(), a_.archivePath.c_str(), a_.tempPath.c_str(), a_.compMode, a_.packFlag);
    inPackCall_ = false;

    if (status == LSP_OK) {
        crashPoint(CrashPoint::FilePacked);
        file.ICON = fileicon::Packed;
        ++packedFiles_;
        packedNameHashes_.push_back(nameHash(std::string_view(file.FILENAME).substr(file.FILENAME.rfind('/') + 1)));
    } else {
        result_ = 1;
        file.ICON = fileicon::Failed;
        file.REASON = failureReason(status, file.FILENAME);
        ++errorCount_;
        view_.fileChanged(fileIndex_ - 1);
        view_.fileFailed(file.FILENAME, file.REASON);
        if (status == LSP_INTERRUPTED || terminationRequested()) {
            endWithoutArchive();
            return;
        }
        if (status == LSP_ANSWERED_NO || status == LSP_CANCELLED) {
            const int answer = s_.dialogs.message(backuptext::StopQuestion, backuptext::StopTitle, Icon::Question,
                                                  buttons::YesNo, answer::Yes);
            if (answer == answer::Yes) {
                endWithoutArchive();
                return;
            }
            clearCancelRequest();
        }
    }
    view_.fileChanged(fileIndex_ - 1);
    view_.setProgress(static_cast<int>(static_cast<std::int64_t>(fileIndex_) * 100 / totalFiles_));
    if (static_cast<std::int64_t>(fileIndex_) == totalFiles_) finish();
}

void BackupRun::endWithoutArchive() {
    LSP_REFERENCE(nullptr);
    // Completes the library's open batch so that nothing more is written to the temporary
    // archive; the console deletes it.
    LSP_RESETDLL();
    setButtonLabel(backuptext::OkButton);
    close();
}

void BackupRun::close() {
    setWaitCursor(false);
    phase_ = Phase::Closed;
    view_.closeWindow();
}

bool BackupRun::completeAndCheck(std::string& why) {
    const ArchiveReadBack found = readBackArchive(a_.archivePath);
    if (!found.whole) {
        why = found.why;
        return false;
    }
    if (!found.comment) {
        why = "It holds no comment item.";
        return false;
    }
    // Without stored paths (or with the same path twice) a file replaces the item of the
    // same name that an earlier file made, so fewer items than packed files is no fault;
    // fewer than the distinct names, or more than were packed, is. The names are counted
    // by their hashes: two names of one hash count once, which only lowers the bound.
    std::sort(packedNameHashes_.begin(), packedNameHashes_.end());
    const auto hashes = std::unique(packedNameHashes_.begin(), packedNameHashes_.end());
    const bool commentNamed = std::binary_search(packedNameHashes_.begin(), hashes, nameHash(ArchiveCommentItemName));
    const auto distinctNames = static_cast<std::int64_t>(hashes - packedNameHashes_.begin()) - (commentNamed ? 1 : 0);
    if (found.items > packedFiles_ || found.items < distinctNames) {
        why = "It holds " + std::to_string(found.items) + " files instead of " + std::to_string(packedFiles_) + ".";
        return false;
    }
    return true;
}

void BackupRun::finish() {
    view_.setProgress(100);
    setStatus(backuptext::RenamingFiles);

    // From here on the run lets events through only while the disk works (the archive's
    // last syncs, the rotation's): a press meanwhile cannot stop a packed archive.
    finishing_ = true;
    if (a_.archive) {
        a_.archive->ARCHIVE_NAME = a_.archivePath;
        crashPoint(CrashPoint::CommentItemStarting);
        WriteArchiveComment(*a_.archive, a_.programFolder, a_.project.NOTES, s_.clock);
        crashPoint(CrashPoint::CommentItemWritten);
    }
    copiedFiles_ = LSP_REFERENCECOPIED();
    LSP_REFERENCE(nullptr);
    // The archive is complete on disk before the rotation's plan records it.
    LSP_RESETDLL();
    stopRequested_ = false;
    std::string why;
    std::int64_t compressedBytes = 0;
    bool checked = false;
    RotationRequest request{a_.project.DESTINATIONPATH, a_.project.PREFIX, a_.project.MAXBACKUPS, errorCount_ > 0};
    BackupList none;
    // The plan is written before the read-back, so that a checked archive is never without
    // one: a run killed during or after the check leaves it for the next run to number.
    const RotationOutcome rotation = RotateArchives(
        s_.fs, s_.dialogs, request, a_.backupList ? *a_.backupList : none,
        [this](int percent) { view_.setItemProgress(percent); },
        [&] {
            checked = completeAndCheck(why);
            if (checked) crashPoint(CrashPoint::ReadBackChecked);
            return checked;
        },
        [this] { view_.pumpEvents(); });
    finishing_ = false;
    if (!checked) {
        result_ = 1;
        s_.dialogs.message("The new backup " + a_.archivePath + " could not be read back:|" + why +
                               "||It has been removed; the older backups have not been changed.",
                           "Backup Failed", Icon::Exclamation, buttons::Ok, 1);
    } else if (rotation.completed) {
        compressedBytes = rotation.compressedBytes;
        if (a_.archive) a_.archive->ARCHIVE_NAME = rotation.finalPath;
        if (const std::int64_t kept = rotation.keptOverMaximum; kept > 0)
            s_.dialogs.message(
                std::to_string(kept) + " older archive" + (kept > 1 ? "s" : "") + " kept because files failed",
                backuptext::WindowTitle, Icon::Information, buttons::Ok, 1);
    } else {
        // The rename error has been shown; the backup did not become number 0001, so the
        // run has not succeeded, but the checked archive is kept where it is.
        result_ = 1;
        if (a_.temporaryKept) *a_.temporaryKept = true;
    }
    setButtonLabel(backuptext::OkButton);

    if (checked && errorCount_ == 0) {
        setStatus(backuptext::NoErrors);
        PlayEventSound(s_.sounds, completedSound_);
    } else {
        result_ = 1;
        setStatus(checked ? completedWithErrors(errorCount_) : std::string(backuptext::CheckFailed));
        view_.setStatusAlert(true);
        if (!trimRight(errorSound_).empty())
            PlayEventSound(s_.sounds, errorSound_);
        else
            s_.dialogs.beep();
    }

    view_.setItemProgress(-1);
    const std::int64_t elapsedHundredths = (s_.clock.milliseconds() - startMs_) / 10;
    view_.showResults(static_cast<double>(elapsedHundredths) * 0.01, compressedBytes);
    setWaitCursor(false);

    if (a_.countdown) {
        countdown_ = 10;
        countdownMark_ = s_.clock.milliseconds();
        setButtonLabel("&Close in 10");
        phase_ = Phase::CountingDown;
    } else {
        phase_ = Phase::Finished;
    }
}

void BackupRun::countdownTick() {
    if (terminationRequested()) {
        setButtonLabel(backuptext::OkButton);
        close();
        return;
    }
    const std::int64_t now = s_.clock.milliseconds();
    if (now - countdownMark_ < 1000) return;
    if (countdown_ > 0) {
        --countdown_;
        countdownMark_ = now;
        setButtonLabel("&Close in " + std::to_string(countdown_));
        return;
    }
    setButtonLabel(backuptext::OkButton);
    close();
}

void BackupRun::buttonPressed() {
    switch (phase_) {
        case Phase::NotOpened:
            // The scan polls for this and asks itself.
            stopRequested_ = true;
            return;
        case Phase::Closed:
            return;
        case Phase::Finished:
            close();
            return;
        case Phase::CountingDown:
            setButtonLabel(backuptext::OkButton);
            close();
            return;
        case Phase::Packing:
            if (finishing_) return;
            break;
    }
    if (scanCancelled_) {
        close();
        return;
    }
    // While a file is being packed the press only asks the library to stop it: the
    // library returns -30 and the run asks whether to stop the whole backup.
    if (inPackCall_) {
        stopRequested_ = true;
        return;
    }
    confirmCancel();
}

void BackupRun::focusMovedElsewhere() {
    if (phase_ != Phase::CountingDown) return;
    setButtonLabel(backuptext::OkButton);
    phase_ = Phase::Finished;
}

void BackupRun::libraryProgress(int percent) {
    if (itemBar_) view_.setItemProgress(percent);
}

bool BackupRun::libraryStopRequested() {
    return cancelRequested() || terminationRequested();
}

void BackupRun::libraryPump() {
    view_.pumpEvents();
}

int BackupRun::libraryAsk(const char* question, const char* title) {
    const int answer =
        s_.dialogs.message(question ? question : "", title ? title : "", Icon::Question, buttons::YesNoCancel, 1);
    return answer == 1 ? LSP_ANSWER_YES : answer == 2 ? LSP_ANSWER_NO : LSP_ANSWER_CANCEL;
}

}  // namespace quillet
