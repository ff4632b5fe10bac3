// The History window of a project with a few good runs, a failed backup and a failed test.
#include <QTableView>
#include <memory>

#include "Screenshots.h"
#include "ShotServices.h"
#include "app/RunStatus.h"
#include "app/ui/HistoryWindow.h"
#include "platform/DateCodes.h"

namespace quillet::shots {
namespace {

QUILLET_SHOT("history-window") {
    ShotServices& s = shotServices();
    const std::string folder = s.paths.dataFolder + "shot-history/";
    RunHistory history(folder);
    const std::int32_t day = dateNumber(2026, 11, 30);
    auto at = [](int hour, int minute) { return static_cast<std::int32_t>((hour * 3600 + minute * 60) * 100 + 1); };
    struct Sample {
        int dayOffset, hour, minute, seconds;
        const char* kind;
        bool ok;
        std::int64_t files, bytes;
        const char* result;
    };
    const Sample samples[] = {
        {0, 18, 5, 42, runkind::Backup, true, 1412, 389'442'118, "Completed - No Errors"},
        {1, 18, 4, 40, runkind::Backup, false, 1409, 387'100'002, "Completed - 2 Error(s)"},
        {2, 9, 12, 8, runkind::Test, false, 1410, 388'003'114, "Completed - 1 Error(s)"},
        {3, 18, 3, 39, runkind::Backup, true, 1410, 388'003'114, "Completed - No Errors"},
        {6, 11, 30, 6, runkind::Restore, true, 3, 61'440, "Completed - No Errors"},
        {7, 18, 2, 41, runkind::Backup, true, 1398, 381'912'544, "Completed - No Errors"},
    };
    for (auto it = std::rbegin(samples); it != std::rend(samples); ++it) {
        HistoryRun r;
        r.sysId = 1;
        r.project = "Accounts";
        r.kind = it->kind;
        r.archive = "/media/anna/backup/ACCT00" + std::to_string(40 - it->dayOffset) + ".LSP";
        r.started = {day - it->dayOffset, at(it->hour, it->minute)};
        r.ended = {day - it->dayOffset, at(it->hour, it->minute) + it->seconds * 100};
        r.succeeded = it->ok;
        r.result = it->result;
        r.files = it->files;
        r.bytes = it->bytes;
        if (!it->ok && std::string(it->kind) == runkind::Backup)
            r.failed = {{"/home/anna/Documents/Accounts/ledger-2026.ods", "Permission denied"},
                        {"/home/anna/Documents/Accounts/.~lock.ledger-2026.ods#", "No such file or directory"}};
        if (!it->ok && std::string(it->kind) == runkind::Test)
            r.failed = {{"Accounts/receipts.pdf", "CRC error: the data read back differs from what was stored"}};
        r.failedCount = static_cast<std::int64_t>(r.failed.size());
        (void)history.record(r);
    }
    // The window reads the history beside the record files: point it at the sample.
    static Paths paths = s.paths;
    paths.dataFolder = folder;
    static Services services{s.fs, s.dialogs, s.settings, s.clock, s.catalog, s.sounds, s.archive, paths};
    auto window = std::make_unique<HistoryWindow>(services, 1, "Accounts");
    // The failed backup selected, with its failed files below.
    auto* list = window->findChild<QTableView*>("historyList");
    list->setCurrentIndex(list->model()->index(1, 0));
    return window;
}

}  // namespace
}  // namespace quillet::shots
