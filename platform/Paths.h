#pragma once

#include <string>

namespace quillet {

// Where Quillet keeps its own files. With QUILLET_HOME set, everything lives in that one
// folder; otherwise settings go to $XDG_CONFIG_HOME/quillet (~/.config/quillet) and the
// record files and comment working copies to $XDG_DATA_HOME/quillet
// (~/.local/share/quillet). Every folder returned ends with '/' and is created on demand
// by ensureFolder().
struct Paths {
    std::string configFolder;   // quillet.ini, LSPprefs.ini, qlbackup.INI
    std::string dataFolder;     // Project.tps, Comps.tps, Masks.tps, MskTheme.Tps
    std::string programFolder;  // working copies of LSPComments.inb
    // Installed beside the program (bin/../share/quillet/), else the build's sources.
    std::string installData;    // default sounds
    std::string manualFolder;   // the user manual (HTML)

    // Reads the environment of the running process.
    static Paths fromEnvironment();
    // Everything in one folder (what QUILLET_HOME does); used by tests.
    static Paths inFolder(const std::string& home);
};

// Creates the folder and its parents when missing; false when it cannot.
bool ensureFolder(const std::string& folder);

// The user's home folder ($HOME, else the password database), without trailing '/'.
std::string homeFolder();

}  // namespace quillet
