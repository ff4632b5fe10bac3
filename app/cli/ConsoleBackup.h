#pragma once

#include <iosfwd>
#include <string>

namespace quillet {

class Dialogs;
class FileSystem;
class Settings;
struct Paths;

// One unattended backup without a window, as "--console -P=NAME" and "quillet backup
// NAME" run it: the archive object initialised from its settings file, the unattended
// backup command (RunUnattendedBackup) with the console's view of the run printed to out,
// no sounds, and a loop that steps the run to its end. Returns the unattended exit code
// (0 done, 1 failed, 2 no project of that name).
int RunConsoleBackup(const Paths& paths, FileSystem& fs, Dialogs& dialogs, Settings& settings,
                     const std::string& projectName, std::ostream& out);

}  // namespace quillet
