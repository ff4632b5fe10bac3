#include "app/RunStatus.h"

#include <algorithm>

#include "framework/Picture.h"
#include "framework/Settings.h"
#include "platform/AtomicWrite.h"
#include "platform/IniFile.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr const char* Section = "Status";
constexpr std::size_t MaxValueBytes = 1000;

// One INI line can hold neither a line break nor more than the value limit.
std::string oneLine(const std::string& text) {
    std::string line(utf8CutBytes(text, MaxValueBytes));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, '?');
    return line;
}

std::vector<std::string> splitKinds(const std::string& text) {
    std::vector<std::string> kinds;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find(';', from);
        if (to == std::string::npos) to = text.size();
        if (to > from) kinds.push_back(text.substr(from, to - from));
        from = to + 1;
    }
    return kinds;
}

std::string statusText(const ProjectRunStatus& s) {
    std::string text = std::string("[") + Section + "]\n";
    auto line = [&](const std::string& key, const std::string& value) { text += key + "=" + oneLine(value) + "\n"; };
    line("SysId", std::to_string(s.sysId));
    line("Project", s.project);
    line("LastRunDate", std::to_string(s.lastRun.date));
    line("LastRunTime", std::to_string(s.lastRun.time));
    line("LastFailed", s.lastFailed ? "1" : "0");
    line("Failure", s.failure);
    line("FailedFiles", std::to_string(s.failedFiles));
    for (std::size_t i = 0; i < s.failedList.size(); ++i) line("Failed" + std::to_string(i + 1), s.failedList[i]);
    line("LastGoodDate", std::to_string(s.lastGood.date));
    line("LastGoodTime", std::to_string(s.lastGood.time));
    line("LastGoodFiles", std::to_string(s.lastGoodFiles));
    line("LastGoodBytes", std::to_string(s.lastGoodBytes));
    std::string kinds;
    for (const std::string& kind : s.notified) kinds += (kinds.empty() ? "" : ";") + kind;
    line("Notified", kinds);
    return text;
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
    return dataFolder + "RunStatus/";
}

std::string failureKindOf(const RunRecord& run) {
    return run.failedFiles.empty() ? failurekind::RunFailed : failurekind::FailedFiles;
}

std::string RunStatusStore::pathOf(std::int32_t sysId) const {
    return folder_ + std::to_string(sysId) + ".ini";
}

std::optional<ProjectRunStatus> RunStatusStore::read(std::int32_t sysId) const {
    const IniFile ini(pathOf(sysId));
    auto get = [&](const std::string& key) { return ini.read(Section, key, ""); };
    auto number = [&](const std::string& key) { return wholeNumber(get(key)); };
    if (number("SysId") != sysId) return std::nullopt;
    ProjectRunStatus s;
    s.sysId = sysId;
    s.project = get("Project");
    s.lastRun = {static_cast<std::int32_t>(number("LastRunDate")), static_cast<std::int32_t>(number("LastRunTime"))};
    s.lastFailed = number("LastFailed") != 0;
    s.failure = get("Failure");
    s.failedFiles = number("FailedFiles");
    for (std::size_t i = 1; i <= ProjectRunStatus::MaxListed; ++i) {
        std::string entry = get("Failed" + std::to_string(i));
        if (entry.empty()) break;
        s.failedList.push_back(std::move(entry));
    }
    s.lastGood = {static_cast<std::int32_t>(number("LastGoodDate")), static_cast<std::int32_t>(number("LastGoodTime"))};
    s.lastGoodFiles = number("LastGoodFiles");
    s.lastGoodBytes = number("LastGoodBytes");
    s.notified = splitKinds(get("Notified"));
    return s;
}

Result<RunStatusStore::Recorded> RunStatusStore::record(const RunRecord& run, DateTime at) {
    Recorded out;
    ProjectRunStatus& s = out.status;
    if (auto previous = read(run.sysId)) s = std::move(*previous);
    s.sysId = run.sysId;
    s.project = run.project;
    s.lastRun = at;
    s.lastFailed = !run.succeeded;
    s.failure = run.succeeded ? std::string() : run.finalStatus;
    s.failedFiles = static_cast<std::int64_t>(run.failedFiles.size());
    s.failedList.clear();
    for (const auto& [path, reason] : run.failedFiles) {
        if (s.failedList.size() == ProjectRunStatus::MaxListed) break;
        s.failedList.push_back(path + ": " + reason);
    }
    if (run.succeeded) {
        s.lastGood = at;
        s.lastGoodFiles = run.files;
        s.lastGoodBytes = run.bytes;
        s.notified.clear();
    } else {
        const std::string kind = failureKindOf(run);
        if (std::find(s.notified.begin(), s.notified.end(), kind) == s.notified.end()) {
            s.notified.push_back(kind);
            out.notify = true;
        }
    }
    if (Status written = writeFileAtomically(pathOf(run.sysId), statusText(s)); !written)
        return Result<Recorded>::failure(written.error());
    return out;
}

bool recordBackupRun(RunStatusStore& store, const RecordingBackupDriver& driver, std::int32_t sysId,
                     const std::string& project, bool succeeded, DateTime at, const FailureNotice& notice) {
    auto recorded = store.record(driver.record(sysId, project, succeeded), at);
    if (!recorded) return false;
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
