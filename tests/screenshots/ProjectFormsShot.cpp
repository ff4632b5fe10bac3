// The manual's pictures of the project, component, favourites, copy and project-type forms,
// over a sample catalog in the shots' own home.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTimeEdit>
#include <memory>

#include "Screenshots.h"
#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Settings.h"
#include "maintenance/ui/ComponentForm.h"
#include "maintenance/ui/CopyProjectForm.h"
#include "maintenance/ui/FavoritesForm.h"
#include "maintenance/ui/ProjectForm.h"
#include "maintenance/ui/ProjectTypeDialog.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::shots {
namespace {

class NoSounds : public SoundPlayer {
public:
    void play(const std::string&) override {}
};

// One set of services and a sample project with components, for all the shots of this file.
struct Sample {
    Paths paths = Paths::fromEnvironment();
    FileSystem fs{sampleFolder()};
    ConsoleDialogs dialogs;
    Settings settings{paths};
    SystemClock clock;
    Catalog catalog{paths.dataFolder};
    NoSounds sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
    Project project;

    Sample() {
        ensureFolder(paths.dataFolder);
        catalog.open();
        Project p;
        p.NAME = "Accounts";
        p.PREFIX = "ACCT";
        p.DESTINATIONPATH = "/media/ann/Backup disk/Accounts/";
        p.MAXBACKUPS = 12;
        p.NOTES = "Monthly books and the tax folder.";
        project = *catalog.projects().insert(p);
        add("/home/ann/Documents/Books/", "*.ods, *.pdf, *.txt", 0, 1);
        add("/home/ann/Documents/Books/", "*.bak, ~*", 1, 1);
        add("/home/ann/Documents/Tax/", "*.*", 0, 0);
    }
    void add(const std::string& path, const std::string& mask, int exclude, int recurse) {
        Component c;
        c.PROSYSID = project.SYSID;
        c.PATH = path;
        c.MASK = mask;
        c.EXCLUDE = static_cast<std::uint8_t>(exclude);
        c.RECURSE = static_cast<std::uint8_t>(recurse);
        catalog.components().insert(c);
    }
};

Sample& sample() {
    static Sample s;
    return s;
}

}  // namespace

QUILLET_SHOT("new-project") {
    return std::make_unique<ProjectTypeDialog>(sample().services);
}

QUILLET_SHOT("update-project") {
    auto form = std::make_unique<ProjectForm>(sample().services, FormRequest::Change, sample().project,
                                              std::vector<std::string>{});
    auto* list = form->findChild<QTableView*>("components");
    list->setCurrentIndex(list->model()->index(1, 0));
    return form;
}

// The Schedule group set to a weekly run (set in the controls only: nothing is written).
QUILLET_SHOT("project-schedule") {
    auto form = std::make_unique<ProjectForm>(sample().services, FormRequest::Change, sample().project,
                                              std::vector<std::string>{});
    form->findChild<QComboBox*>("scheduleKind")->setCurrentIndex(2);
    form->findChild<QComboBox*>("scheduleDay")->setCurrentIndex(4);
    form->findChild<QTimeEdit*>("scheduleTime")->setTime(QTime(17, 45));
    return form;
}

QUILLET_SHOT("update-components") {
    Component c = (*sample().catalog.components().ofProject(sample().project.SYSID))[0];
    return std::make_unique<ComponentForm>(sample().services, FormRequest::Change, c, false);
}

QUILLET_SHOT("update-favorites") {
    Project favourites;
    favourites.FAVORITES = 1;
    favourites.NAME = "Year ends";
    favourites.DESTINATIONPATH = "/home/ann/Archive/Year ends/";
    favourites.NOTES = "The last backup of each year.";
    return std::make_unique<FavoritesForm>(sample().services, FormRequest::Change, favourites);
}

QUILLET_SHOT("copy-project") {
    return std::make_unique<CopyProjectForm>(sample().services, sample().project, std::vector<std::string>{"ACCT"});
}

}  // namespace quillet::shots
