#include "app/RunStatus.h"

#include <algorithm>

#include "framework/Picture.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr std::size_t MaxLineBytes = 1000;

// A line of the tip or the notice holds no line break and no endless path.
std::string oneLine(const std::string& text) {
    std::string line(utf8CutBytes(text, MaxLineBytes));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, '?');
    return line;
}

std::string when(DateTime t) {
    return formatDate(t.date) + " " + formatTime(t.time);
}

// Hundredths from a to b; negative when b is earlier.
std::int64_t hundredthsBetween(DateTime a, DateTime b) {
    return (std::int64_t{b.date} - a.date) * 8'640'000 + (std::int64_t{b.time} - a.time);
}

}  // namespace

std::string runStatusFolder(const std::string& dataFolder) {
    return dataFolder;
}

std::string failureKindOf(const RunRecord& run) {
    return run.failedFiles.empty() ? failurekind::RunFailed : failurekind::FailedFiles;
}

std::optional<ProjectRunStatus> RunStatusStore::read(std::int32_t sysId) const {
    RunHistory history(folder_);
    auto lastRun = history.last(sysId, {}, false);
    auto lastBackup = history.last(sysId, runkind::Backup, false);
    auto lastGood = history.last(sysId, runkind::Backup, true);
    auto notified = history.notified(sysId);
    for (const std::string* problem : {lastRun ? nullptr : &lastRun.error(), notified ? nullptr : &notified.error()})
        if (problem) {
            RunHistory::reportProblem(*problem);
            return std::nullopt;
        }
    if (!*lastRun) return std::nullopt;
    ProjectRunStatus s;
    s.sysId = sysId;
    s.project = (*lastRun)->project;
    s.lastRun = (*lastRun)->ended;
    // A failing backup stays failed whatever test or restore ran after it.
    const HistoryRun* failed = nullptr;
    if (lastBackup && *lastBackup && !(*lastBackup)->succeeded) failed = &**lastBackup;
    if (!failed && !(*lastRun)->succeeded) failed = &**lastRun;
    if (failed) {
        s.lastFailed = true;
        s.lastRun = failed->ended;
        s.failedKind = failed->kind;
        s.failure = failed->result;
        s.failedFiles = failed->failedCount;
        for (const auto& [path, reason] : failed->failed) {
            if (s.failedList.size() == ProjectRunStatus::MaxListed) break;
            s.failedList.push_back(oneLine(path + ": " + reason));
        }
    }
    if (lastGood && *lastGood) {
        s.lastGood = (*lastGood)->ended;
        s.lastGoodFiles = (*lastGood)->files;
        s.lastGoodBytes = (*lastGood)->bytes;
    }
    s.notified = std::move(*notified);
    return s;
}

Result<RunStatusStore::Recorded> RunStatusStore::record(const RunRecord& run, DateTime at, bool notifying,
                                                        DateTime started) {
    HistoryRun h;
    h.sysId = run.sysId;
    h.project = std::string(trimRight(run.project));
    h.kind = runkind::Backup;
    h.started = started.date != 0 ? started : at;
    h.ended = at;
    h.succeeded = run.succeeded;
    h.result = run.finalStatus;
    h.files = run.files;
    h.bytes = run.bytes;
    h.failedCount = static_cast<std::int64_t>(run.failedFiles.size());
    h.failed = run.failedFiles;
    RunHistory history(folder_);
    const bool noticeable = notifying && !run.succeeded;
    auto written = history.record(h, noticeable ? failureKindOf(run) : std::string());
    if (!written) return Result<Recorded>::failure(written.error());
    auto status = read(run.sysId);
    if (!status) return Result<Recorded>::failure("The run history " + history.path() + " could not be read.");
    Recorded out;
    out.status = std::move(*status);
    out.notify = written->notify;
    return out;
}

bool recordBackupRun(RunStatusStore& store, const RecordingBackupDriver& driver, std::int32_t sysId,
                     const std::string& project, bool succeeded, DateTime at, const FailureNotice& notice,
                     DateTime started) {
    auto recorded = store.record(driver.record(sysId, project, succeeded), at, static_cast<bool>(notice), started);
    if (!recorded) {
        RunHistory::reportProblem(recorded.error());
        return false;
    }
    if (recorded->notify && notice) notice(recorded->status);
    return true;
}

DesktopNotice failureNotice(const ProjectRunStatus& status) {
    constexpr std::size_t Shown = 5;
    DesktopNotice notice;
    notice.summary = "Backup of " + std::string(trimRight(status.project)) + " failed";
    notice.body = status.failure;
    if (status.failedFiles > 0) {
        notice.body +=
            "\n" + std::to_string(status.failedFiles) + (status.failedFiles == 1 ? " file failed:" : " files failed:");
        for (std::size_t i = 0; i < status.failedList.size() && i < Shown; ++i)
            notice.body += "\n" + status.failedList[i];
        if (status.failedFiles > static_cast<std::int64_t>(Shown))
            notice.body += "\nand " + std::to_string(status.failedFiles - static_cast<std::int64_t>(Shown)) + " more";
    }
    return notice;
}

TrayStatus trayStatus(const std::vector<std::pair<std::string, std::optional<ProjectRunStatus>>>& recent,
                      std::uint8_t intervalMinutes, DateTime now) {
    TrayStatus out;
    out.tooltip = "Quillet (Right-Click for popup menu)";
    if (recent.empty()) return out;
    out.health = BackupHealth::Good;
    const std::int64_t interval = std::int64_t{intervalMinutes} * 6000;
    for (const auto& [name, status] : recent) {
        std::string line = std::string(trimRight(name)) + ": ";
        const bool everGood = status && status->lastGood.date != 0;
        const std::string lastGood = everGood ? "last good backup " + when(status->lastGood) : "no good backup yet";
        if (status && status->lastFailed) {
            out.health = BackupHealth::Failed;
            if (status->failedKind == runkind::Test) line += "TEST ";
            if (status->failedKind == runkind::Restore) line += "RESTORE ";
            line += "FAILED " + when(status->lastRun);
            if (status->failedFiles > 0)
                line += " (" + std::to_string(status->failedFiles) +
                        (status->failedFiles == 1 ? " file failed)" : " files failed)");
            line += ", " + lastGood;
        } else if (interval != 0 && (!everGood || hundredthsBetween(status->lastGood, now) > interval)) {
            if (out.health == BackupHealth::Good) out.health = BackupHealth::Overdue;
            line += "overdue, " + lastGood;
        } else {
            line += everGood ? lastGood : "no backup recorded yet";
        }
        out.tooltip += "\n" + line;
    }
    return out;
}

void RecordingBackupDriver::View::setStatus(const std::string& text) {
    lastStatus = text;
    inner_.setStatus(text);
}

void RecordingBackupDriver::View::fileFailed(const std::string& path, const std::string& reason) {
    failed.emplace_back(path, reason);
    inner_.fileFailed(path, reason);
}

void RecordingBackupDriver::View::setTotals(std::int64_t totalFiles, std::int64_t totalBytes) {
    files = totalFiles;
    bytes = totalBytes;
    inner_.setTotals(totalFiles, totalBytes);
}

RunRecord RecordingBackupDriver::record(std::int32_t sysId, const std::string& project, bool succeeded) const {
    RunRecord r;
    r.sysId = sysId;
    r.project = project;
    r.succeeded = succeeded;
    r.finalStatus = view_.lastStatus.empty() ? std::string("The backup did not start") : view_.lastStatus;
    r.files = view_.files;
    r.bytes = view_.bytes;
    r.failedFiles = view_.failed;
    return r;
}

}  // namespace quillet
