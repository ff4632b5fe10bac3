#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/HelpText.h"
#include "app/Startup.h"
#include "app/cli/Cli.h"
#include "catalog/Catalog.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Settings.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

using namespace quillet;

namespace {

std::string workingFolder() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    // "quillet project add ...", "quillet backup ...": the subcommands for scripts take over.
    if (argc > 1 && cli::isSubcommand(argv[1]))
        return cli::runSubcommand(std::vector<std::string>(argv + 1, argv + argc));
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    const Paths paths = Paths::fromEnvironment();

    if (commandLine.version) {
        std::puts(kVersionText);
        return 0;
    }
    if (commandLine.help) {
        std::fputs(helpText(paths).c_str(), stdout);
        return 0;
    }
    for (const std::string& token : commandLine.unknown)
        std::fprintf(stderr, "quillet: ignoring unknown argument %s (see --help)\n", token.c_str());

    // The user manual stands in for the help file; Help buttons open paths.manualFolder.
    ensureFolder(paths.configFolder);
    ensureFolder(paths.dataFolder);
    // The framework's own settings file: opened for the run, the application keeps nothing in it.
    IniFile frameworkSettings(paths.configFolder + "qlbackup.INI");

    Settings settings(paths);
    ConsoleDialogs dialogs;
    ensureDefaultDestination(settings, dialogs, workingFolder());

    // The record-file manager; the files themselves are opened by the console.
    Catalog catalog(paths.dataFolder);

    if (commandLine.unattended()) {
        std::fprintf(stderr, "quillet: unattended backups (-P) are not available in this build yet.\n");
        return 1;
    }
    // The console window comes with a later build; until then the help says what there is.
    std::fputs(helpText(paths).c_str(), stdout);
    return 0;
}
