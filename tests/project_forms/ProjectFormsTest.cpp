// The project, component, favourites, copy and project-type forms over real record files,
// driven on the offscreen platform; the user's answers come from the scripted dialogs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Settings.h"
#include "maintenance/ui/ChooseProjectType.h"
#include "maintenance/ui/ComponentForm.h"
#include "maintenance/ui/ComponentListModel.h"
#include "maintenance/ui/CopyProjectForm.h"
#include "maintenance/ui/FavoritesForm.h"
#include "maintenance/ui/ProjectForm.h"
#include "maintenance/ui/ProjectTypeDialog.h"
#include "maintenance/ui/UpdateComps.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

// Readable failures for Qt text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace quillet {
namespace {

using test::TempDir;

class SilentSounds : public SoundPlayer {
public:
    void play(const std::string&) override {}
};

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Real catalog files in the test's own home, and the services every form takes.
struct FormsBench : ::testing::Test {
    TempDir dir;
    Paths paths = Paths::inFolder(dir.mkdir("home"));
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    ManualClock clock;
    Catalog catalog{paths.dataFolder};
    SilentSounds sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
    std::string dest = dir.mkdir("dest") + "/";

    void SetUp() override {
        ASSERT_TRUE(catalog.open().ok());
        LastComponentFolder().clear();
    }
    void TearDown() override {
        EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        catalog.close();
    }

    Project project(const std::string& name, const std::string& prefix, int favorites = 0) {
        Project p;
        p.NAME = name;
        p.PREFIX = prefix;
        p.FAVORITES = static_cast<std::uint8_t>(favorites);
        p.DESTINATIONPATH = dest;
        p.MAXBACKUPS = 7;
        p.NOTES = "notes of " + name;
        auto stored = catalog.projects().insert(p);
        EXPECT_TRUE(stored.ok()) << stored.error();
        return *stored;
    }
    Component component(const Project& p, const std::string& path, const std::string& mask, int exclude = 0) {
        Component c;
        c.PROSYSID = p.SYSID;
        c.PATH = path;
        c.MASK = mask;
        c.EXCLUDE = static_cast<std::uint8_t>(exclude);
        c.RECURSE = 1;
        auto stored = catalog.components().insert(c);
        EXPECT_TRUE(stored.ok()) << stored.error();
        return *stored;
    }
    std::vector<Project> projects() { return *catalog.projects().all(); }
    std::vector<Component> components(const Project& p) { return *catalog.components().ofProject(p.SYSID); }
};

template <class T>
T* child(QWidget& w, const char* name) {
    T* found = w.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void type(QWidget& form, const char* entry, const QString& text) {
    auto* e = child<QLineEdit>(form, entry);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
    emit e->editingFinished();
}

void press(QWidget& form, const char* button) {
    QTest::mouseClick(child<QPushButton>(form, button), Qt::LeftButton);
}

// Acts on the next modal window as soon as its loop runs.
void onNextModal(std::function<void(QWidget&)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

TEST_F(FormsBench, NewProjectTakesItsPrefixFromTheNameAndItsDefaults) {
    project("Daily", "DAYS");
    settings.write("Defaults", "DestinationPath", dest);
    ProjectForm form(services, FormRequest::Add, Project{}, {"DAYS"});
    EXPECT_EQ(form.windowTitle(), "Adding a Project");
    const QString generated = child<QLineEdit>(form, "prefix")->text();
    EXPECT_TRUE(QRegularExpression("^[A-Z]{4}$").match(generated).hasMatch()) << generated.toStdString();
    EXPECT_NE(generated, "DAYS");
    EXPECT_EQ(child<QLineEdit>(form, "destinationPath")->text().toStdString(), dest);
    EXPECT_EQ(child<QSpinBox>(form, "maxBackups")->value(), 20);

    type(form, "prefix", "");
    type(form, "name", "my project");
    EXPECT_EQ(child<QLineEdit>(form, "prefix")->text(), "MY_P");
    form.accept();
    ASSERT_EQ(form.result(), FormResult::Completed);
    auto stored = catalog.projects().byPrefix("MY_P");
    ASSERT_TRUE(stored && stored->has_value());
    EXPECT_EQ((*stored)->NAME, "my project");
    EXPECT_EQ((*stored)->MAXBACKUPS, 20);
    EXPECT_EQ((*stored)->DESTINATIONPATH, dest);
}

TEST_F(FormsBench, TypedPrefixIsNormalisedAndNeverCut) {
    ProjectForm form(services, FormRequest::Add, Project{}, {});
    type(form, "name", "Weekly");
    type(form, "prefix", "w k");
    EXPECT_EQ(child<QLineEdit>(form, "prefix")->text(), "W_K_");
    dialogs.expect("The prefix \"WEEKLY\" has 6 characters; a prefix has at most 4.");
    type(form, "prefix", "WEEKLY");
    EXPECT_EQ(child<QLineEdit>(form, "prefix")->text(), "WEEKLY");
    dialogs.expect("has 6 characters");
    form.accept();
    EXPECT_EQ(form.result(), FormResult::Cancelled);
    EXPECT_TRUE(projects().empty());
}

TEST_F(FormsBench, PrefixAlreadyUsedIsRefusedAndNothingIsSaved) {
    project("Daily", "DAYS");
    ProjectForm form(services, FormRequest::Add, Project{}, {"DAYS"});
    type(form, "name", "Nightly");
    type(form, "prefix", "days");
    type(form, "destinationPath", QString::fromStdString(dest));
    dialogs.expect(
        "Duplicate key K_Prefix: the value \"DAYS\" of PRJ:PREFIX is already used by another record in "
        "Project.tps. Change the value. It is the prefix of the project Daily");
    form.accept();
    EXPECT_EQ(form.result(), FormResult::Cancelled);
    EXPECT_EQ(projects().size(), 1u);
    // The user changes the prefix: the same form saves.
    type(form, "prefix", "NITE");
    form.accept();
    EXPECT_EQ(form.result(), FormResult::Completed);
    EXPECT_EQ(projects().size(), 2u);
}

TEST_F(FormsBench, MissingDestinationAsksAndEachAnswerActs) {
    const std::string deep = dir.path() + "/a/b/c/";
    const std::string blocked = dir.write("plain-file", "x") + "/sub/";
    struct Case {
        const char* what;
        std::string typed;
        int answer;
        bool saved;
        std::string warning;  // a further message expected
    };
    const std::vector<Case> cases{
        {"create makes every level", deep, 1, true, ""},
        {"create that fails leaves the form open", blocked, 1, false, ""},
        {"a path that is not absolute cannot be created", "rel/x", 1, false,
         "You must give a full path beginning with / for the folder"},
        {"look up opens the picker", dir.path() + "/nowhere", 2, false, ""},
        {"try again keeps the form open", dir.path() + "/nowhere", 3, false, ""},
        {"ignore saves the missing folder", dir.path() + "/later", 4, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Project& p : projects()) ASSERT_TRUE(catalog.deleteProject(p.SYSID).ok());
        ProjectForm form(services, FormRequest::Add, Project{}, {});
        type(form, "name", "Offsite");
        child<QLineEdit>(form, "destinationPath")->setText(QString::fromStdString(c.typed));
        const std::string shown = c.typed.back() == '/' ? c.typed : c.typed + "/";
        dialogs.expect("Directory Not Found:||" + shown + "||What would you like to do?", c.answer);
        if (!c.warning.empty()) dialogs.expect(c.warning);
        if (c.answer == 2) dialogs.queueFolder(std::nullopt);
        form.accept();
        EXPECT_EQ(dialogs.shown()[0].request.title, "Invalid Directory");
        EXPECT_EQ(dialogs.shown()[0].request.buttons, "&Create|&Look Up|&Try Again|&Ignore");
        EXPECT_EQ(form.result() == FormResult::Completed, c.saved);
        EXPECT_EQ(projects().size(), c.saved ? 1u : 0u);
        if (c.answer == 2) {
            ASSERT_EQ(dialogs.chooserCalls().size(), 1u);
            EXPECT_EQ(dialogs.chooserCalls()[0].title, "Pick a path");
        }
        EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        dialogs.clear();
    }
    EXPECT_TRUE(isFolder(deep));
}

TEST_F(FormsBench, ComponentMasksAreNormalisedAndOverlongOnesRefused) {
    const Project p = project("Docs", "DOCS");
    const std::string src = dir.mkdir("src");
    struct Case {
        std::string typed;
        std::string stored;  // empty: refused
        std::string refusal;
    };
    const std::vector<Case> cases{
        {"*.doc,  *.txt ,*.dat", "*.doc, *.txt, *.dat", ""},
        {"*.doc,*.txt\n*.dat", "*.doc, *.txt, *.dat", ""},
        {"a-mask-of-25-characters.x", "", "has 25 characters; a mask may have at most 20"},
        {[] {
             std::string s;
             for (int i = 0; i < 80; ++i) s += "*.e" + std::to_string(100 + i) + ",";
             return s;
         }(),
         "", "it may have at most 500"},
        {" , ,", "", "A component needs at least one mask"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Component start;
        start.PROSYSID = p.SYSID;
        ComponentForm form(services, FormRequest::Add, start, false);
        EXPECT_EQ(form.windowTitle(), "Adding a Project Component");
        type(form, "path", QString::fromStdString(src));
        child<QPlainTextEdit>(form, "mask")->setPlainText(QString::fromStdString(c.typed));
        if (!c.refusal.empty()) dialogs.expect(c.refusal);
        form.accept();
        EXPECT_EQ(form.result() == FormResult::Completed, !c.stored.empty());
        if (!c.stored.empty()) {
            ASSERT_EQ(components(p).size(), 1u);
            EXPECT_EQ(components(p)[0].MASK, c.stored);
            EXPECT_EQ(components(p)[0].PATH, src + "/");
            EXPECT_EQ(LastComponentFolder(), src + "/");
            ASSERT_TRUE(catalog.components().erase(components(p)[0]).ok());
        } else {
            EXPECT_TRUE(components(p).empty());
            // The text stays as typed, for the user to put right.
            EXPECT_EQ(child<QPlainTextEdit>(form, "mask")->toPlainText().toStdString(), c.typed);
        }
    }
}

TEST_F(FormsBench, NewComponentStartsFromTheDefaultThemeTheLastFolderOrACopy) {
    MaskTheme theme;
    theme.NAME = "Office";
    theme.MASK = "*.doc, *.xls";
    theme.EXCLUDE = 1;
    theme.RECURSE = 1;
    ASSERT_TRUE(catalog.themes().insert(theme).ok());
    LastComponentFolder() = "/last/folder/";
    Component source;
    source.PROSYSID = 3;
    source.PATH = "/copied/";
    source.MASK = "*.c";
    source.RECURSE = 1;
    struct Case {
        const char* theme;
        bool copy;
        const char* path;
        const char* mask;
        bool exclude, recurse;
    };
    for (const Case& c : {Case{"", false, "/last/folder/", "", false, false},
                          Case{"office", false, "/last/folder/", "*.doc, *.xls", true, true},
                          Case{"no such theme", false, "/last/folder/", "", false, false},
                          Case{"Office", true, "/copied/", "*.c", false, true}}) {
        SCOPED_TRACE(std::string(c.theme) + (c.copy ? " copy" : ""));
        settings.write("Preferences", "DefaultMaskName", c.theme);
        ComponentForm form(services, FormRequest::Add, source, c.copy);
        EXPECT_EQ(child<QLineEdit>(form, "path")->text(), c.path);
        EXPECT_EQ(child<QPlainTextEdit>(form, "mask")->toPlainText(), c.mask);
        EXPECT_EQ(child<QCheckBox>(form, "exclude")->isChecked(), c.exclude);
        EXPECT_EQ(child<QCheckBox>(form, "recurse")->isChecked(), c.recurse);
    }
}

TEST_F(FormsBench, ComponentListShowsRulesAndTheProjectFormEditsThem) {
    const Project p = project("Docs", "DOCS");
    component(p, "/b/", "*.tmp,\n*.bak", 1);
    component(p, "/a/", "*.doc");
    ProjectForm form(services, FormRequest::Change, p, {});
    EXPECT_EQ(form.windowTitle(), "Changing a Project");
    EXPECT_FALSE(child<QLineEdit>(form, "prefix")->isEnabled());
    auto* list = child<QTableView>(form, "components");
    QAbstractItemModel* m = list->model();
    ASSERT_EQ(m->rowCount(), 2);
    // Folder order; "=" include, "<>" exclude in red, "R" recursion, line breaks as spaces.
    EXPECT_EQ(m->index(0, 0).data().toString(), "/a/");
    EXPECT_EQ(m->index(0, 1).data().toString(), "=");
    EXPECT_EQ(m->index(1, 1).data().toString(), "<>");
    EXPECT_EQ(m->index(1, 2).data().toString(), "R");
    EXPECT_EQ(m->index(1, 3).data().toString(), "*.tmp, *.bak");
    EXPECT_EQ(m->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(m->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Path");
    EXPECT_EQ(m->headerData(3, Qt::Horizontal).toString(), "Mask");

    // Copy of the selected row through the real component form; selecting stored its folder.
    list->setCurrentIndex(m->index(1, 0));
    EXPECT_EQ(LastComponentFolder(), "/b/");
    const QString folder = QString::fromStdString(dir.mkdir("c"));
    onNextModal([folder](QWidget& w) {
        EXPECT_EQ(w.windowTitle(), "Adding a Project Component");
        type(w, "path", folder);
        static_cast<QDialog&>(w).accept();
    });
    press(form, "copyButton");
    ASSERT_EQ(m->rowCount(), 3);
    EXPECT_EQ(m->index(2, 0).data().toString(), folder + "/");
    EXPECT_EQ(m->index(2, 3).data().toString(), "*.tmp, *.bak");
    EXPECT_EQ(list->currentIndex().row(), 2);

    // The pop-up menu's "&Copy" does the same.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QStringList texts;
        for (QAction* a : menu->actions()) texts << a->text();
        EXPECT_EQ(texts, QStringList({"&Insert", "&Change", "&Delete", "&Copy"}));
        onNextModal([](QWidget& w) {
            EXPECT_EQ(child<QLineEdit>(w, "path")->text().toStdString(), "/b/");
            static_cast<QDialog&>(w).accept();
        });
        menu->setActiveAction(menu->actions().back());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    list->setCurrentIndex(m->index(1, 0));
    emit list->customContextMenuRequested(QPoint(5, 5));
    ASSERT_EQ(m->rowCount(), 4);
}

TEST_F(FormsBench, CancelPutsTheProjectAndItsComponentsBack) {
    const Project p = project("Docs", "DOCS");
    component(p, "/a/", "*.doc");
    const std::vector<Component> before = components(p);
    ProjectForm form(services, FormRequest::Change, p, {});
    type(form, "name", "Renamed");
    auto* list = child<QTableView>(form, "components");
    list->setCurrentIndex(list->model()->index(0, 0));
    // Change the one component, then add another: both are stored as the user goes.
    onNextModal([](QWidget& w) {
        child<QPlainTextEdit>(w, "mask")->setPlainText("*.odt");
        static_cast<QDialog&>(w).accept();
    });
    press(form, "changeButton");
    const QString z = QString::fromStdString(dir.mkdir("z"));
    onNextModal([z](QWidget& w) {
        type(w, "path", z);
        child<QPlainTextEdit>(w, "mask")->setPlainText("*.*");
        static_cast<QDialog&>(w).accept();
    });
    press(form, "insertButton");
    ASSERT_EQ(components(p).size(), 2u);
    press(form, "cancelButton");
    EXPECT_EQ(form.result(), FormResult::Cancelled);
    EXPECT_EQ((*catalog.projects().bySysId(p.SYSID))->NAME, "Docs");
    const std::vector<Component> after = components(p);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].PATH, "/a/");
    EXPECT_EQ(after[0].MASK, "*.doc");

    // A cancelled add leaves no components behind either.
    ProjectForm adding(services, FormRequest::Add, Project{}, {"DOCS"});
    onNextModal([z](QWidget& w) {
        type(w, "path", z);
        child<QPlainTextEdit>(w, "mask")->setPlainText("*.txt");
        static_cast<QDialog&>(w).accept();
    });
    press(adding, "insertButton");
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 2);
    adding.reject();
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 1);
    EXPECT_EQ(projects().size(), 1u);
}

TEST_F(FormsBench, ListKeysReachTheComponentForm) {
    const Project p = project("Docs", "DOCS");
    component(p, "/a/", "*.doc");
    component(p, "/b/", "*.txt");
    ProjectForm form(services, FormRequest::Change, p, {});
    auto* list = child<QTableView>(form, "components");
    list->setCurrentIndex(list->model()->index(1, 0));
    // Enter changes the current row, Delete deletes it (after the form in delete mode).
    onNextModal([](QWidget& w) {
        EXPECT_EQ(w.windowTitle(), "Changing a Project Component");
        child<QCheckBox>(w, "exclude")->click();
        static_cast<QDialog&>(w).accept();
    });
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(components(p)[1].EXCLUDE, 1);
    onNextModal([](QWidget& w) {
        EXPECT_EQ(w.windowTitle(), "Deleting a Project Component");
        EXPECT_FALSE(child<QLineEdit>(w, "path")->isEnabled());
        static_cast<QDialog&>(w).accept();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(components(p).size(), 1u);
    EXPECT_EQ(components(p)[0].PATH, "/a/");
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->currentIndex().row(), 0);
}

TEST_F(FormsBench, DeletingAProjectDeletesItsComponentsOnly) {
    const Project keep = project("Keep", "KEEP");
    const Project gone = project("Gone", "GONE");
    component(keep, "/k/", "*.*");
    component(gone, "/g1/", "*.*");
    component(gone, "/g2/", "*.*");
    ProjectForm form(services, FormRequest::Delete, gone, {});
    EXPECT_FALSE(child<QPushButton>(form, "insertButton")->isEnabled());
    form.accept();
    EXPECT_EQ(form.result(), FormResult::Completed);
    ASSERT_EQ(projects().size(), 1u);
    EXPECT_EQ(projects()[0].NAME, "Keep");
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 1);
    EXPECT_EQ(components(keep).size(), 1u);
}

TEST_F(FormsBench, CopyProjectCopiesSettingsAndComponents) {
    const Project source = project("Weekly", "WEEK");
    component(source, "/a/", "*.doc");
    component(source, "/b/", "*.tmp", 1);
    CopyProjectForm form(services, source, {"WEEK"});
    EXPECT_EQ(form.windowTitle(), "Copying A Project");
    EXPECT_EQ(child<QLineEdit>(form, "name")->text(), "Copy_Weekly");
    type(form, "prefix", "wk2");
    EXPECT_EQ(child<QLineEdit>(form, "prefix")->text(), "WK2_");
    form.accept();
    ASSERT_EQ(form.result(), FormResult::Completed);
    const Project copy = form.copy();
    EXPECT_NE(copy.SYSID, source.SYSID);
    EXPECT_EQ(copy.NAME, "Copy_Weekly");
    EXPECT_EQ(copy.PREFIX, "WK2_");
    EXPECT_EQ(copy.DESTINATIONPATH, source.DESTINATIONPATH);
    EXPECT_EQ(copy.MAXBACKUPS, 7);
    EXPECT_EQ(copy.NOTES, "notes of Weekly");
    const auto copied = components(copy);
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied[0].PATH, "/a/");
    EXPECT_EQ(copied[1].MASK, "*.tmp");
    EXPECT_EQ(copied[1].EXCLUDE, 1);
    EXPECT_EQ(components(source).size(), 2u);

    // A long source name is cut to the name's width; a taken prefix stores nothing.
    const Project longName = project("A name of twenty ch.", "LONG");
    CopyProjectForm second(services, longName, {});
    EXPECT_EQ(child<QLineEdit>(second, "name")->text(), "Copy_A name of twent");
    type(second, "prefix", "WEEK");
    dialogs.expect("Duplicate key K_Prefix");
    second.accept();
    EXPECT_EQ(second.result(), FormResult::Cancelled);
    EXPECT_EQ(projects().size(), 3u);
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 4);
}

TEST_F(FormsBench, FavoritesFolderAsksWithoutIgnoreAndKeepsNoPrefix) {
    const std::string missing = dir.path() + "/fav/one";
    FavoritesForm form(services, FormRequest::Add, Project{});
    EXPECT_EQ(form.windowTitle(), "Update Favorites Folder");
    type(form, "name", "Keepers");
    child<QLineEdit>(form, "location")->setText(QString::fromStdString(missing));
    dialogs.expect("Directory Not Found. What would you like to do?", 3);
    form.accept();
    EXPECT_EQ(form.result(), FormResult::Cancelled);
    EXPECT_EQ(dialogs.last().buttons, "&Create|&Look Up|&Try Again");
    dialogs.expect("Directory Not Found. What would you like to do?", 1);
    form.accept();
    ASSERT_EQ(form.result(), FormResult::Completed);
    EXPECT_TRUE(isFolder(missing));
    ASSERT_EQ(projects().size(), 1u);
    EXPECT_EQ(projects()[0].FAVORITES, 1);
    EXPECT_EQ(projects()[0].PREFIX, "");
    EXPECT_EQ(projects()[0].DESTINATIONPATH, missing + "/");
}

TEST_F(FormsBench, ProjectTypeChoice) {
    ProjectTypeDialog dialog(services);
    EXPECT_EQ(dialog.windowTitle(), "New Project");
    EXPECT_EQ(dialog.choice(), 1);
    for (auto [pick, close, expected] :
         {std::tuple{"normalProject", "okButton", 1}, std::tuple{"favoritesFolder", "okButton", 2},
          std::tuple{"favoritesFolder", "cancelButton", 0}}) {
        onNextModal([pick, close](QWidget& w) {
            child<QRadioButton>(w, pick)->click();
            press(w, close);
        });
        EXPECT_EQ(ChooseProjectType(services), expected) << pick << " " << close;
    }
}

// Every entry and button has the accessible name of its label, and every label its buddy.
TEST_F(FormsBench, ControlsCarryTheNamesOfTheirLabels) {
    const Project p = project("Docs", "DOCS");
    std::vector<std::unique_ptr<QDialog>> forms;
    forms.push_back(std::make_unique<ProjectForm>(services, FormRequest::Change, p, std::vector<std::string>{}));
    forms.push_back(std::make_unique<ComponentForm>(services, FormRequest::Add, Component{}, false));
    forms.push_back(std::make_unique<FavoritesForm>(services, FormRequest::Add, Project{}));
    forms.push_back(std::make_unique<CopyProjectForm>(services, p, std::vector<std::string>{}));
    forms.push_back(std::make_unique<ProjectTypeDialog>(services));
    for (auto& f : forms) {
        SCOPED_TRACE(f->objectName().toStdString());
        for (QLabel* label : f->findChildren<QLabel*>()) {
            if (!label->buddy()) continue;
            QString name = label->text().remove('&');
            if (name.endsWith(':')) name.chop(1);
            EXPECT_EQ(label->buddy()->accessibleName(), name);
        }
        for (QWidget* w : f->findChildren<QWidget*>()) {
            if (!w->isWidgetType() || w->objectName().startsWith("qt_")) continue;
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPushButton*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QSpinBox*>(w)) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            }
            if (qobject_cast<QPushButton*>(w) && static_cast<QPushButton*>(w)->text() != "...") {
                EXPECT_EQ(w->accessibleName(), static_cast<QPushButton*>(w)->text().remove('&'));
            }
        }
    }
}

}  // namespace
}  // namespace quillet
