// The console's three tabs for the manual, over two real backups of a small sample project.
#include <QTabWidget>
#include <QTreeView>
#include <fstream>
#include <sstream>

#include "Screenshots.h"
#include "app/ConsoleBackupView.h"
#include "app/ExecuteBackup.h"
#include "app/ui/Main.h"
#include "archive/lspclass.h"
#include "backup/BatchBackup.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::shots {
namespace {

// Everything the console needs, alive for the whole program.
struct ConsoleSample {
    std::ostringstream messages;
    Paths paths = Paths::inFolder(sampleFolder() + "/console-home");
    FileSystem fs{sampleFolder()};
    ConsoleDialogs dialogs{messages};
    Settings settings{paths};
    ManualClock clock{1'733'500'000};
    Catalog catalog{paths.dataFolder};
    SilentSoundPlayer sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    ConsoleSample() {
        ensureFolder(paths.configFolder);
        ensureFolder(paths.dataFolder);
        archive.Init();
        const std::string src = sampleFolder() + "/Documents/";
        const std::string dest = sampleFolder() + "/Backups/";
        (void)fs.createFolders(src + "letters");
        (void)fs.createFolders(dest);
        const char* files[][2] = {{"budget-2024.ods", "income and outgoings, month by month\n"},
                                  {"letters/to-the-bank.odt", "Dear Sir or Madam,\n"},
                                  {"letters/thanks.txt", "Thank you for the lovely flowers.\n"},
                                  {"recipes.txt", "Bread: flour, water, salt, yeast.\n"},
                                  {"photo-list.csv", "file,date,place\n"}};
        int i = 0;
        for (auto& f : files) {
            std::ofstream(src + f[0]) << std::string(f[1]) + std::string(400 * ++i, 'x');
        }
        if (!catalog.open()) return;
        Project p;
        p.NAME = "Documents";
        p.PREFIX = "DOCS";
        p.DESTINATIONPATH = dest;
        p.MAXBACKUPS = 5;
        p.NOTES = "Letters, budget and recipes. Backed up every Friday.";
        auto stored = catalog.projects().insert(p);
        Project fav;
        fav.NAME = "USB Stick";
        fav.FAVORITES = 1;
        fav.DESTINATIONPATH = sampleFolder() + "/Stick/";
        (void)fs.createFolders(fav.DESTINATIONPATH);
        (void)catalog.projects().insert(fav);
        if (!stored) return;
        Component c;
        c.PROSYSID = stored->SYSID;
        c.PATH = src;
        c.MASK = "*.*";
        c.RECURSE = 1;
        (void)catalog.components().insert(c);
        std::ostringstream out;
        for (int run = 0; run < 2; ++run) {
            BackupCommandState state;
            ConsoleBackupView view(out, clock, &out);
            LoopBackupDriver driver(view);
            (void)ExecuteBackup(services, state, *stored, driver);
            clock.advanceMilliseconds(3 * 86'400'000LL);
        }
        catalog.close();
    }
};

ConsoleSample& sample() {
    static ConsoleSample s;
    return s;
}

std::unique_ptr<QWidget> consoleOn(ConsoleTab tab) {
    auto window = std::make_unique<Main>(sample().services);
    if (!window->openConsole()) return nullptr;
    window->findChild<QTabWidget*>("sheet")->setCurrentIndex(int(tab));
    if (tab == ConsoleTab::Details) {
        auto* list = window->findChild<QTreeView*>("contentsList");
        list->setCurrentIndex(list->model()->index(1, 0));
        window->state().items()[2].MARK = 1;
    }
    window->resize(820, 480);
    return window;
}

}  // namespace

QUILLET_SHOT("console-projects") {
    return consoleOn(ConsoleTab::Projects);
}
QUILLET_SHOT("console-backups") {
    return consoleOn(ConsoleTab::Backups);
}
QUILLET_SHOT("console-details") {
    return consoleOn(ConsoleTab::Details);
}

}  // namespace quillet::shots
