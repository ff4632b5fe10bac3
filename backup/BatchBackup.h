#pragma once

#include <cstdint>

#include "backup/BackupRun.h"

namespace quillet {

// Hosts a backup run from its opening to its closing: the "Backup Progress" window, the
// console's loop without a window, or a test.
class BackupRunDriver {
public:
    virtual ~BackupRunDriver() = default;
    // What the run reports to.
    virtual BackupRunView& view() = 0;
    // Opens the run, steps it while its timer runs and passes on button presses; returns
    // when the run is closed.
    virtual void drive(BackupRun& run) = 0;
};

// Makes one backup of arguments.project and returns 0 when every selected file was packed
// and the new archive took number 0001, 1 when the run was cancelled, had nothing to back
// up, could not enter a folder, could not complete its archive, failed a file or could not
// give the new archive its number.
std::uint8_t BatchBackup(const BackupServices& services, const BackupArguments& arguments, BackupRunDriver& driver);

// The driver without a window: opens the run and steps it to its end, leaving out the
// countdown (nobody is there to read it). The view may be any BackupRunView.
class LoopBackupDriver : public BackupRunDriver {
public:
    explicit LoopBackupDriver(BackupRunView& view) : view_(view) {}
    BackupRunView& view() override { return view_; }
    void drive(BackupRun& run) override;

private:
    BackupRunView& view_;
};

}  // namespace quillet
