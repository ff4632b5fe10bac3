#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/HelpText.h"
#include "app/ProgramServices.h"
#include "app/Startup.h"
#include "app/UnattendedRun.h"
#include "app/cli/Cli.h"
#include "app/ui/ConsoleTray.h"
#include "app/ui/DesktopNotifier.h"
#include "app/ui/Main.h"
#include "archive/lspclass.h"
#include "archive/ui/EnterPathDialog.h"
#include "backup/ui/BackupProgressWindow.h"
#include "backup/ui/QtSoundPlayer.h"
#include "catalog/Catalog.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "framework/records/RunHistory.h"
#include "framework/ui/QtDialogs.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

using namespace quillet;

int main(int argc, char** argv) {
    // Nobody may be watching an unattended run (-P, "quillet backup"): a failure is told to
    // the desktop once (until a run succeeds), over the session bus when there is one.
    const FailureNotice notice = [&](const ProjectRunStatus& status) {
        std::optional<QCoreApplication> core;
        if (!QCoreApplication::instance()) core.emplace(argc, argv);
        DesktopNotifier().notifyFailure(status);
    };

    // "quillet project add ...", "quillet backup ...": the subcommands for scripts take over.
    if (argc > 1 && cli::isSubcommand(argv[1])) {
        cli::setFailureNotice(notice);
        return cli::runSubcommand(std::vector<std::string>(argv + 1, argv + argc));
    }
    if (argc > 1)
        if (const auto meant = cli::mistypedCommand(argv[1])) {
            std::fprintf(stderr, "quillet: unknown command \"%s\"; the nearest is \"%s\" (see 'quillet help')\n",
                         argv[1], meant->c_str());
            return cli::Usage;
        }
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
    ensureDefaultDestination(settings, dialogs, FileSystem().currentFolder());

    // The record-file manager; the files themselves are opened by the console.
    Catalog catalog(paths.dataFolder);

    // Unattended runs without a display: the same services over the console's dialogs,
    // without sounds.
    if (commandLine.unattended() && (commandLine.console || !displayAvailable())) {
        const ProgramServices program(paths, settings, catalog, dialogs);
        return RunUnattendedInConsole(program.services(), commandLine.projectName, std::cout, notice);
    }

    if (!commandLine.unattended() && !displayAvailable()) {
        std::fputs(
            "quillet: the console window needs a display (DISPLAY or WAYLAND_DISPLAY); without one, "
            "back up with -P=NAME --console or use the subcommands (see --help)\n",
            stderr);
        return 1;
    }

    // The program's one set of services, handed to the console, to every window it opens
    // and to the runs those start.
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillet");
    // Lets the desktop match the window to the installed launcher and its icon.
    QApplication::setDesktopFileName("local.quillet.quillet");
    QtDialogs windowDialogs;
    QtSoundPlayer sounds(paths.installData);
    // An unattended run has nobody to ask for the base folder of relative paths.
    const ProgramServices program(paths, settings, catalog, windowDialogs, &sounds,
                                  commandLine.unattended() ? EnterPathFunction{} : enterPathDialog(windowDialogs));
    const Services& services = program.services();

    int status;
    if (commandLine.unattended()) {
        // Exit code: 0 backed up, 1 failed or cancelled, 2 no project of that name.
        BackupProgressWindow window;
        status = RunUnattended(services, commandLine.projectName, window, notice);
    } else {
        // Somebody is at the console: a history that cannot be written is told there, once.
        RunHistory::setProblemReporter([&windowDialogs](const std::string& message) {
            windowDialogs.message(message + "||The runs themselves are not affected.", "Quillet", Icon::Exclamation,
                                  buttons::Ok, 1);
        });
        status =
            RunConsole(services, commandLine.minimize, [&services](Main& console) { AttachTray(console, services); });
    }
    return status;
}
