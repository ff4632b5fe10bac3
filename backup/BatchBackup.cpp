#include "backup/BatchBackup.h"

namespace quillet {

std::uint8_t BatchBackup(const BackupServices& services, const BackupArguments& arguments, BackupRunDriver& driver) {
    BackupRun run(services, arguments, driver.view());
    driver.drive(run);
    return run.result();
}

void LoopBackupDriver::drive(BackupRun& run) {
    run.open();
    while (run.phase() == BackupRun::Phase::Packing) run.step();
    // The end stays on show in a window; here the run is simply over.
    if (run.phase() == BackupRun::Phase::Finished || run.phase() == BackupRun::Phase::CountingDown) run.buttonPressed();
}

}  // namespace quillet
