#pragma once

#include <iosfwd>
#include <string>

#include "app/ExecuteBackup.h"
#include "app/RunStatus.h"

namespace quillet {

class BackupRunDriver;
struct Services;

// Exit codes of an unattended "-P" run.
namespace unattended {
inline constexpr int Succeeded = 0;
inline constexpr int Failed = 1;        // failed, cancelled, declined or nothing to back up
inline constexpr int ImproperName = 2;  // no project of that name
}  // namespace unattended

// The unattended run of `Main` with a command-line project name: opens the record files,
// loads [LastBacked] (so the other recent projects are kept), finds the project by name
// without regard to case, runs the backup command for it and writes [LastBacked] again.
// A name that matches no project is reported as "Improper Project Name Passed:".
// services.archive must have been initialised. With a status store, how the backup ended is
// recorded there, and notice is told of a failure not yet notified.
int RunUnattendedBackup(const Services& services, const std::string& projectName, BackupRunDriver& driver,
                        RunStatusStore* status = nullptr, const FailureNotice& notice = {});

// RunUnattendedBackup over the program's one set of services (the archive initialised).
// The run is recorded in the status files of the data folder.
int RunUnattended(const Services& services, const std::string& projectName, BackupRunDriver& driver,
                  const FailureNotice& notice = {});

// RunUnattended without windows: status texts and a progress line at most once a second
// go to out, messages to the services' dialogs (the console's print them with their
// titles and take the default button). The program entry and "quillet backup" give it
// their services without sounds (app/ProgramServices.h).
int RunUnattendedInConsole(const Services& services, const std::string& projectName, std::ostream& out,
                           const FailureNotice& notice = {});

// True when windows can be shown: an X11 or Wayland display, or a Qt platform named
// explicitly (QT_QPA_PLATFORM, such as "offscreen").
bool displayAvailable();

}  // namespace quillet
