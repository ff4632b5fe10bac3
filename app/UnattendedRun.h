#pragma once

#include <iosfwd>
#include <string>

#include "app/ExecuteBackup.h"
#include "app/RunStatus.h"

namespace quillet {

class BackupRunDriver;
class Catalog;
class Clock;
class Dialogs;
class Settings;
class SoundPlayer;
struct Paths;
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
int RunUnattendedBackup(BackupCommandServices& services, const std::string& projectName, BackupRunDriver& driver,
                        RunStatusStore* status = nullptr, const FailureNotice& notice = {});

// RunUnattendedBackup over the program's one set of services (the archive initialised).
// The run is recorded in the status files of the data folder.
int RunUnattended(const Services& services, const std::string& projectName, BackupRunDriver& driver,
                  const FailureNotice& notice = {});

// The same without windows, over a set of services of its own: status texts and a
// progress line at most once a second go to out, messages to dialogs (the console's
// prints them with their titles and takes the default button), no sounds. The archive
// object is made and initialised here.
int RunUnattendedInConsole(const Paths& paths, Settings& settings, Dialogs& dialogs, Catalog& catalog,
                           const std::string& projectName, std::ostream& out, const FailureNotice& notice = {});

// True when windows can be shown: an X11 or Wayland display, or a Qt platform named
// explicitly (QT_QPA_PLATFORM, such as "offscreen").
bool displayAvailable();

}  // namespace quillet
