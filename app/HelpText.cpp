#include "app/HelpText.h"

#include <cstdlib>

namespace quillet {

std::string helpText(const Paths& paths) {
    std::string t;
    t += std::string(kVersionText) + " - backup manager for this workstation\n\n";
    t += "Usage: quillet [-P=NAME] [MINIMIZE=TRUE] [--console] [--help] [--version]\n";
    t += "       quillet COMMAND [ARGUMENTS]   commands for scripts; 'quillet help' lists them\n\n";
    t += "  -P=NAME         run the backup of the project NAME unattended, then end.\n"
         "                  The name is matched without regard to case; only its first\n"
         "                  20 characters count. Quote a name with blanks: -P=\"My Project\".\n";
    t += "  MINIMIZE=TRUE   start hidden in the notification area (ignored with -P).\n";
    t += "  --console       with -P: run without windows, printing progress to standard\n"
         "                  output and messages to standard error (also the default when\n"
         "                  there is no display). Exit status 0 success, 1 failed or\n"
         "                  cancelled, 2 unknown project.\n";
    t += "  --help          show this text.\n";
    t += "  --version       show the version.\n\n";
    t += "Flags are matched without regard to case; several may share one argument,\n"
         "separated by commas.\n\n";
    t += "Files Quillet keeps";
    t += std::getenv("QUILLET_HOME") ? " (QUILLET_HOME is set: all in one folder):\n" : ":\n";
    t += "  settings          " + paths.configFolder + "quillet.ini\n";
    t += "  archive settings  " + paths.configFolder + "LSPprefs.ini\n";
    t += "  framework         " + paths.configFolder + "qlbackup.INI\n";
    t += "  projects          " + paths.dataFolder + "Project.tps, Comps.tps (encrypted)\n";
    t += "  masks             " + paths.dataFolder + "Masks.tps, MskTheme.Tps\n";
    t += "  comment copies    " + paths.programFolder + "LSPComments.inb\n";
    t += "  user manual       " + paths.manualFolder + "index.html\n";
    t += "Archives are kept in each project's destination folder as PREFIX0001.LSP\n"
         "(0001 the newest); they are standard ZIP files.\n";
    return t;
}

}  // namespace quillet
