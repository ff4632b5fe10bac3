#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/Clock.h"
#include "framework/records/SqlDatabase.h"
#include "platform/Result.h"

namespace quillet {

// The kinds of run the history keeps.
namespace runkind {
inline constexpr const char* Backup = "backup";
inline constexpr const char* Test = "test";
inline constexpr const char* Restore = "restore";
}  // namespace runkind

// One run as it ended.
struct HistoryRun {
    std::int64_t id = 0;  // given by the history, newest highest
    std::int32_t sysId = 0;
    std::string project;
    std::string kind;     // runkind::
    std::string archive;  // the archive file written, tested or restored from; may be empty
    DateTime started;
    DateTime ended;
    bool succeeded = false;
    std::string result;  // the run's final status text
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    std::int64_t failedCount = 0;                             // every failed file, counted whole
    std::vector<std::pair<std::string, std::string>> failed;  // path, reason; the first MaxFailedKept
};

// The runs of every project, newest first, in one small plain SQLite file beside the record
// files. A run is written in one transaction when it has ended; the oldest runs beyond Kept
// go in the same transaction. The file also keeps which failure kinds a desktop notice has
// been sent for per project, so separate processes send one notice between them.
//
// Nothing here may hold up or fail a run: waits for a lock are short, and every problem is
// returned for the caller to report (reportProblem) while the run's own result stands.
class RunHistory {
public:
    static constexpr std::size_t Kept = 1000;
    static constexpr std::size_t MaxFailedKept = 1000;
    static constexpr int DefaultBusyTimeoutMs = 2000;
    static constexpr const char* FileName = "History.db";

    // folder ends with '/'.
    explicit RunHistory(std::string folder, int busyTimeoutMs = DefaultBusyTimeoutMs);
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    std::string path() const { return folder_ + FileName; }

    struct Recorded {
        std::int64_t id = 0;
        // The run failed with notifyKind, not noticed before for its project since the last
        // successful backup: the caller sends the one notice (it is marked as sent).
        bool notify = false;
    };
    // Records the run. A successful backup clears the notices sent for its project; a failed
    // run with a notifyKind marks it as sent.
    Result<Recorded> record(const HistoryRun& run, const std::string& notifyKind = {});

    // The project's runs (sysId 0: every project's), newest first, at most limit of them,
    // each with its failed files. No file yet: no runs.
    Result<std::vector<HistoryRun>> runs(std::int32_t sysId = 0, std::size_t limit = Kept);
    // The project's newest run of kind (empty: of any kind), only successful ones when asked.
    Result<std::optional<HistoryRun>> last(std::int32_t sysId, const std::string& kind, bool succeededOnly);
    // The failure kinds notified for the project since its last successful backup.
    Result<std::vector<std::string>> notified(std::int32_t sysId);

    // Tells the user of a history problem once per process (later ones are dropped): by
    // default on standard error; the console shows it its own way (setProblemReporter,
    // which also re-arms the once).
    static void reportProblem(const std::string& message);
    static void setProblemReporter(std::function<void(const std::string&)> reporter);

private:
    // Opens the file; creates it (and its folder) only when create is set. False without a
    // file when create is not set.
    Result<bool> open(bool create);
    Status exec(const char* sql);
    Status failure(const std::string& doing, const std::string& why) const;
    Status failure(const std::string& doing) const;
    Result<std::vector<HistoryRun>> select(const std::string& where, std::int32_t sysId, const std::string& kind,
                                           std::size_t limit);

    std::string folder_;
    int busyTimeoutMs_;
    SqlDatabase db_;
};

}  // namespace quillet
