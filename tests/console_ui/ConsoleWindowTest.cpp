// The console window on the offscreen platform over real record files and real archives.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <utility>

#include "ConsoleBench.h"
#include "app/ui/ConsoleModels.h"
#include "backup/BatchBackup.h"
#include "backup/ui/BackupProgressWindow.h"
#include "framework/Picture.h"

namespace quillet {
namespace {

using test::ConsoleBench;
using test::randomBytes;

// Four files that every sort order puts in a different order: names, extensions, sizes,
// days and folders all differ. Random bytes are stored as they are, so the packed sizes
// keep the order of the sizes.
void writeSortFiles(ConsoleBench& c) {
    struct File {
        const char* path;
        std::size_t size;
        int day;
    };
    const File files[] = {
        {"src/zeta.doc", 500, 0}, {"src/alpha.txt", 30, 3}, {"src/mid.bin", 10, 2}, {"src/sub/beta.txt", 200, 1}};
    for (const File& f : files) {
        const std::string path = c.b.dir.write(f.path, randomBytes(f.size, f.size));
        ASSERT_TRUE(c.b.fs.setModificationTime(path, 1'600'000'000 + f.day * 86400 * 10).ok());
    }
    c.b.component(c.b.src, "*.*");
}

std::vector<std::string> shownNames(QTreeView* list) {
    std::vector<std::string> names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names.push_back(list->model()->index(row, 1).data().toString().toStdString());
    return names;
}

QStringList menuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : (a->isEnabled() ? "" : "~") + a->text());
    return out;
}

TEST(ConsoleWindow, WithoutProjectsTheTitleAndNotesSayHowToStart) {
    ConsoleBench c;
    ASSERT_TRUE(c.b.catalog.deleteProject(c.b.project.SYSID).ok());
    Main& w = c.open();
    EXPECT_EQ(w.windowTitle(), "Quillet - [No Projects]");
    EXPECT_EQ(c.widget<QPlainTextEdit>("notesArea")->toPlainText().toStdString(),
              "There are currently no \"Projects\" entered.\n\nTo start a new project, click on the Projects list, "
              "then press your \"Insert\" key.");
    for (const char* name : {"changeButton", "deleteButton", "executeButton"})
        EXPECT_FALSE(c.widget<QPushButton>(name)->isEnabled()) << name;
    for (const char* name : {"menuChangeProject", "menuDeleteProject", "menuExecute", "toolExecute", "toolCopy"})
        EXPECT_FALSE(c.action(name)->isEnabled()) << name;
    EXPECT_TRUE(c.action("toolAdd")->isEnabled());
    EXPECT_TRUE(c.action("menuPreferences")->isEnabled()) << "the preferences need no project";
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, ExitAsksAndNoKeepsTheConsoleOpen) {
    ConsoleBench c;
    c.b.dir.write("src/a.txt", "a");
    c.b.component(c.b.src, "*.*");
    c.backup();
    Main& w = c.open();
    w.show();
    c.showTab(ConsoleTab::Details);
    std::string viewed;
    w.state().ViewArchiveItem(0, {[&](const std::string& f) {
                                      viewed = f;
                                      return OpenAttempt{true, false, {}};
                                  },
                                  {}});
    ASSERT_TRUE(c.b.fs.fileExists(viewed));

    c.b.dialogs.expect("Are you sure that you want to quit?", answer::No);
    c.action("menuExit")->trigger();
    EXPECT_TRUE(w.isVisible());
    const MessageRequest asked = c.b.dialogs.last();
    EXPECT_EQ(asked.title, "Quit Quillet");
    EXPECT_EQ(asked.icon, Icon::Question);
    EXPECT_EQ(asked.buttons, std::string(buttons::YesNo));
    EXPECT_EQ(asked.defaultButton, answer::Yes);
    // Every close request deletes the viewed files first.
    EXPECT_FALSE(c.b.fs.fileExists(viewed));

    c.b.dialogs.expect("Are you sure that you want to quit?", answer::Yes);
    c.action("menuExit")->trigger();
    EXPECT_FALSE(w.isVisible());

    // With ConfirmExit off the console closes without a word.
    c.b.settings.writeFlag("Preferences", "ConfirmExit", false);
    w.show();
    c.action("menuExit")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, ToolbarStatesAndTipsFollowTheTab) {
    ConsoleBench c;
    c.b.dir.write("src/a.txt", "alpha");
    c.b.component(c.b.src, "*.*");
    c.backup();
    c.backup();
    c.open();
    // name: enabled/visible on the Projects, Available Backups and Backup Details tabs.
    struct Row {
        const char* action;
        const char* states[3];  // "E" enabled, "D" disabled, "H" hidden
        const char* tips[3];
    };
    const Row rows[] = {
        {"toolAdd", {"E", "D", "E"}, {"Create a new Project", "Create a new Project", "Add a File to Backup Set"}},
        {"toolRestore",
         {"E", "E", "E"},
         {"Edit Selected Project", "Restore currently selected backup file (single backup file only)",
          "Restore Seleted File(s) from Backup"}},
        {"toolDelete",
         {"E", "E", "E"},
         {"Delete Selected Project", "Delete Selected Backup File", "Delete Selected File(s) from Backup Set"}},
        {"toolTest",
         {"H", "E", "E"},
         {nullptr, "Test Currently Selected Backup File", "Test Selected Files inside Backup Set"}},
        {"toolFind", {"H", "H", "E"}, {nullptr, nullptr, "Find File(s) in Backup Set"}},
        {"toolCopy",
         {"E", "E", "D"},
         {"Copy Selected Project", "Copy Selected Backup File to New Destination", nullptr}},
        {"toolExecute", {"E", "E", "E"}, {nullptr, nullptr, nullptr}},
        {"menuSelectAll", {"D", "E", "E"}, {}},
        {"menuDeselectAll", {"D", "E", "E"}, {}},
        {"menuFlipAll", {"D", "D", "E"}, {}},
        {"menuExecute", {"E", "E", "E"}, {}},
    };
    for (int tab = 0; tab < 3; ++tab) {
        c.showTab(ConsoleTab(tab));
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.action) + " on tab " + std::to_string(tab));
            QAction* a = c.action(r.action);
            const std::string want = r.states[tab];
            EXPECT_EQ(a->isVisible(), want != "H");
            if (want != "H") {
                EXPECT_EQ(a->isEnabled(), want == "E");
            }
            if (r.tips[tab]) {
                EXPECT_EQ(a->toolTip().toStdString(), r.tips[tab]);
                QWidget* button = c.widget<QToolBar>("toolbar")->widgetForAction(a);
                EXPECT_EQ(button->accessibleName().toStdString(), r.tips[tab]);
            }
        }
    }
    EXPECT_EQ(c.action("toolExecute")->toolTip(), "Backup the currently selected project according to criteria set.");

    // Tips off: no tool tips, but the buttons keep their names for screen readers.
    c.b.settings.writeFlag("Preferences", "DisableToolTips", true);
    c.window->state().rereadSettings();
    c.window->refresh();
    EXPECT_TRUE(c.action("toolDelete")->toolTip().isEmpty());
    EXPECT_TRUE(c.list("contentsList")->toolTip().isEmpty());
    EXPECT_EQ(c.widget<QToolBar>("toolbar")->widgetForAction(c.action("toolDelete"))->accessibleName(),
              "Delete Selected File(s) from Backup Set");
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, AProjectWithoutArchivesGreysTheDetailsTab) {
    ConsoleBench c;
    c.open();
    c.showTab(ConsoleTab::Details);
    for (const char* name : {"toolAdd", "toolRestore", "toolDelete", "toolTest", "toolCopy"})
        EXPECT_FALSE(c.action(name)->isEnabled()) << name;
    EXPECT_FALSE(c.action("toolFind")->isVisible());
    EXPECT_TRUE(c.action("toolExecute")->isEnabled());
    EXPECT_EQ(c.window->state().toolbar().contentsPopup, ContentsPopupNone);
    EXPECT_EQ(c.window->popupMenu(c.list("contentsList")), nullptr);  // an empty list has none
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, FavouritesFolderIsRedListsEveryArchiveAndOffersRename) {
    ConsoleBench c;
    c.b.dir.write("src/a.txt", "alpha");
    c.b.component(c.b.src, "*.*");
    c.backup();
    c.b.dir.write("dest/OTHER.lsp", "not really");
    Project fav;
    fav.NAME = "Keepsakes";
    fav.FAVORITES = 1;
    fav.DESTINATIONPATH = c.b.dest;
    ASSERT_TRUE(c.b.catalog.projects().insert(fav).ok());
    c.open();
    // Name order: Accounts, then Keepsakes.
    QTreeView* projects = c.list("projectsList");
    EXPECT_FALSE(projects->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(projects->model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QStyleOptionViewItem option;
    option.state |= QStyle::State_Selected;
    auto* delegate = static_cast<FavoritesDelegate*>(projects->itemDelegate());
    delegate->initStyleOption(&option, projects->model()->index(1, 0));
    EXPECT_EQ(option.palette.color(QPalette::HighlightedText), QColor(255, 255, 128));

    projects->setCurrentIndex(projects->model()->index(1, 0));
    EXPECT_EQ(c.window->windowTitle(), "Quillet - [Keepsakes]");
    EXPECT_FALSE(c.action("toolExecute")->isEnabled());
    EXPECT_FALSE(c.action("toolCopy")->isEnabled());
    c.showTab(ConsoleTab::Backups);
    EXPECT_EQ(shownNames(c.list("backupsList")).size(), 2u);
    EXPECT_EQ(c.list("backupsList")->model()->index(0, 0).data().toString(), "OTHER.lsp");
    EXPECT_TRUE(c.widget<QLabel>("maxBackups")->isHidden());
    auto menu = c.window->popupMenu(c.list("backupsList"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuTexts(menu.get()), (QStringList{"Select All", "Unselect All", "Delete Selected", "-",
                                                  "Test Selected Backup", "Restore Selected Backup", "-",
                                                  "Copy (Single File) to Other Directory", "Rename (Single File)"}));

    // A screen reader selects the row through the list's accessible table, without
    // moving the cursor: the console follows the selection all the same.
    projects->selectionModel()->select(projects->model()->index(0, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(c.window->windowTitle(), "Quillet - [Accounts]");
    EXPECT_EQ(shownNames(c.list("backupsList")).size(), 1u);  // only PREF????.lsp
    EXPECT_FALSE(c.widget<QLabel>("maxBackups")->isHidden());
    menu = c.window->popupMenu(c.list("backupsList"));
    EXPECT_FALSE(menuTexts(menu.get()).contains("Rename (Single File)"));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, TwoArchivesListedAndTheContentsReadOnlyWhenOnView) {
    ConsoleBench c;
    writeSortFiles(c);
    c.backup();
    c.backup();
    c.open();
    c.showTab(ConsoleTab::Backups);
    QTreeView* backups = c.list("backupsList");
    ASSERT_EQ(backups->model()->rowCount(), 2);
    EXPECT_EQ(backups->model()->index(0, 0).data().toString(), "PREF0001.LSP");
    EXPECT_EQ(backups->model()->index(1, 0).data().toString(), "PREF0002.LSP");
    EXPECT_EQ(c.widget<QLabel>("totalBackups")->text(), "2");
    EXPECT_TRUE(c.widget<QPlainTextEdit>("commentArea")->toPlainText().contains("Monthly books; keep three."));
    EXPECT_TRUE(c.window->state().items().empty());  // not on view yet

    backups->setCurrentIndex(backups->model()->index(1, 0));
    c.showTab(ConsoleTab::Details);
    EXPECT_EQ(c.widget<QLabel>("archivePath")->text().toStdString(), c.b.dest + "PREF0002.LSP");
    EXPECT_EQ(shownNames(c.list("contentsList")).size(), 4u);
    EXPECT_EQ(c.widget<QLabel>("filesInBackup")->text(), "4");
    EXPECT_EQ(c.widget<QLabel>("sizeBefore")->text(), "740");
    EXPECT_EQ(c.widget<QLabel>("sizeAfter")->text().toStdString(),
              formatNumber(*c.b.fs.fileSize(c.b.dest + "PREF0002.LSP")));
    QTreeView* contents = c.list("contentsList");
    contents->setCurrentIndex(contents->model()->index(0, 0));
    EXPECT_TRUE(c.widget<QLabel>("itemPath")->text().startsWith(QString::fromStdString(c.b.src)));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

// The values beside the captions reach screen readers: the labels carry the caption as
// their name, so the value must be their description, kept up to date.
TEST(ConsoleWindow, ValuesAreDescribedForScreenReaders) {
    ConsoleBench c;
    writeSortFiles(c);
    c.backup();
    c.open();
    c.showTab(ConsoleTab::Details);
    QTreeView* contents = c.list("contentsList");
    contents->setCurrentIndex(contents->model()->index(0, 0));
    for (const char* name : {"destinationFolder", "backupsFolder", "totalBackups", "totalBytes", "maxBackups",
                             "archivePath", "itemPath", "filesInBackup", "sizeBefore", "sizeAfter", "compRatio"}) {
        auto* label = c.widget<QLabel>(name);
        EXPECT_FALSE(label->text().isEmpty()) << name;
        EXPECT_EQ(label->accessibleDescription(), label->text()) << name;
    }
    contents->setCurrentIndex(contents->model()->index(1, 0));
    EXPECT_EQ(c.widget<QLabel>("itemPath")->accessibleDescription(), c.widget<QLabel>("itemPath")->text());
}

TEST(ConsoleWindow, SevenSortOrdersReversedAndHeadingDoubleClicks) {
    ConsoleBench c;
    writeSortFiles(c);
    c.backup();
    c.open();
    c.showTab(ConsoleTab::Details);
    auto* sort = c.widget<QComboBox>("sortOrder");
    auto* reversed = c.widget<QCheckBox>("reversed");
    QTreeView* contents = c.list("contentsList");
    const std::vector<std::string> standard = shownNames(contents);
    struct Row {
        int choice;
        std::vector<std::string> order;
    };
    const Row rows[] = {
        {1, standard},
        {2, {"alpha.txt", "beta.txt", "mid.bin", "zeta.doc"}},
        {3, {"mid.bin", "zeta.doc", "alpha.txt", "beta.txt"}},
        {4, {"zeta.doc", "beta.txt", "mid.bin", "alpha.txt"}},
        {5, {"mid.bin", "alpha.txt", "beta.txt", "zeta.doc"}},
        {6, {"mid.bin", "alpha.txt", "beta.txt", "zeta.doc"}},
        {7, {"alpha.txt", "mid.bin", "zeta.doc", "beta.txt"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.choice);
        reversed->setChecked(false);
        sort->setCurrentIndex(r.choice - 1);
        EXPECT_EQ(shownNames(contents), r.order);
        reversed->setChecked(true);
        EXPECT_EQ(shownNames(contents), std::vector<std::string>(r.order.rbegin(), r.order.rend()));
    }
    EXPECT_EQ(sort->currentText(), "Path");

    // Headings: Path Name 7, Filename 2, Type 3, Date 4, Size 5, Packed 6; the rest keep it.
    reversed->setChecked(false);
    const std::pair<int, int> headings[] = {{1, 2}, {0, 7}, {2, 3}, {3, 4}, {4, 4}, {5, 5}, {6, 5}, {7, 6}, {10, 6}};
    for (auto [column, choice] : headings) {
        SCOPED_TRACE(column);
        emit contents->header()->sectionDoubleClicked(column);
        EXPECT_EQ(sort->currentIndex() + 1, choice);
        EXPECT_EQ(c.window->state().sortChoice(), choice);
    }
    EXPECT_EQ(shownNames(contents), rows[5].order);

    // A new tab resets the order to Standard, not reversed.
    reversed->setChecked(true);
    c.showTab(ConsoleTab::Backups);
    c.showTab(ConsoleTab::Details);
    EXPECT_EQ(sort->currentIndex(), 0);
    EXPECT_FALSE(reversed->isChecked());
    EXPECT_EQ(shownNames(contents), standard);
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, MarksAreTheEntriesMarks) {
    ConsoleBench c;
    writeSortFiles(c);
    c.backup();
    c.backup();
    c.open();
    c.showTab(ConsoleTab::Details);
    QTreeView* contents = c.list("contentsList");
    auto marks = [&] {
        std::string m;
        for (const LSPQEntry& e : c.b.archive.LSPQ) m += e.MARK ? '1' : '0';
        return m;
    };
    contents->setFocus();
    contents->setCurrentIndex(contents->model()->index(1, 3));
    QTest::keyClick(contents, Qt::Key_Space);
    EXPECT_EQ(marks(), "0100");
    EXPECT_EQ(contents->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    ASSERT_TRUE(contents->model()->setData(contents->model()->index(3, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(marks(), "0101");
    c.action("menuFlipAll")->trigger();
    EXPECT_EQ(marks(), "1010");
    c.action("menuSelectAll")->trigger();
    EXPECT_EQ(marks(), "1111");
    c.action("menuDeselectAll")->trigger();
    EXPECT_EQ(marks(), "0000");
    auto menu = c.window->popupMenu(contents);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuTexts(menu.get()), (QStringList{"Add File", "Delete File(s)", "Restore File(s) from Backup", "-",
                                                  "Select All", "De-Select All", "Flip Selections"}));
    c.window->contentsPopupChoice(6);
    EXPECT_EQ(marks(), "1111");

    c.showTab(ConsoleTab::Backups);
    c.window->backupsPopupChoice(1);
    EXPECT_EQ(c.window->state().backupMarks(), (std::vector<std::uint8_t>{1, 1}));
    c.window->backupsPopupChoice(2);
    EXPECT_EQ(c.window->state().backupMarks(), (std::vector<std::uint8_t>{0, 0}));
    // The open pop-up's item pressed as an assistive technology presses it (its action
    // triggered, not clicked): the command runs and the menu closes.
    QTreeView* backups = c.list("backupsList");
    QTimer::singleShot(0, [] {
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (open) open->actions().front()->trigger();  // "Select All"
    });
    emit backups->customContextMenuRequested(QPoint(2, 2));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(c.window->state().backupMarks(), (std::vector<std::uint8_t>{1, 1}));
    c.window->backupsPopupChoice(2);
    backups->setFocus();
    backups->setCurrentIndex(backups->model()->index(1, 2));
    QTest::keyClick(backups, Qt::Key_Space);
    EXPECT_EQ(c.window->state().backupMarks(), (std::vector<std::uint8_t>{0, 1}));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, DeleteKeysRemoveMarkedArchivesAndItemsAfterAsking) {
    ConsoleBench c;
    writeSortFiles(c);
    c.backup();
    c.backup();
    c.backup();
    c.open();
    c.window->show();

    // Backups list: Delete removes the marked archive files only, after the question.
    c.showTab(ConsoleTab::Backups);
    QTreeView* backups = c.list("backupsList");
    backups->setFocus();
    c.window->state().setBackupMark(1, true);
    c.b.dialogs.expect("Would you like to delete the currently selected file(s)?", answer::No);
    QTest::keyClick(backups, Qt::Key_Delete);
    EXPECT_TRUE(c.b.fs.fileExists(c.b.dest + "PREF0002.LSP"));
    c.window->state().setBackupMark(1, true);
    c.b.dialogs.expect("Would you like to delete the currently selected file(s)?", answer::Yes);
    QTest::keyClick(backups, Qt::Key_Delete);
    EXPECT_EQ(c.b.dialogs.last().title, "Delete backup file");
    EXPECT_EQ(c.b.dialogs.last().defaultButton, answer::No);
    EXPECT_EQ(c.b.destFiles(), (std::vector<std::string>{"PREF0001.LSP", "PREF0003.LSP"}));
    EXPECT_EQ(backups->model()->rowCount(), 2);
    EXPECT_EQ(c.widget<QLabel>("totalBackups")->text(), "2");

    // Contents list: Delete removes the marked items from the archive in one go.
    c.showTab(ConsoleTab::Details);
    QTreeView* contents = c.list("contentsList");
    contents->setFocus();
    for (LSPQEntry& e : c.b.archive.LSPQ) e.MARK = (e.FILENAME == "mid.bin" || e.FILENAME == "zeta.doc") ? 1 : 0;
    c.b.dialogs.expect("Are you sure that you want to delete the selected files from this Backup?", answer::Yes);
    QTest::keyClick(contents, Qt::Key_Delete);
    EXPECT_EQ(c.b.dialogs.last().title, "Delete files from Backup");
    EXPECT_EQ(shownNames(contents).size(), 2u);
    const auto names = test::unzipNames(c.b.dest + "PREF0001.LSP");
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.ends_with("mid.bin") || n.ends_with("zeta.doc"); }),
              0);
    EXPECT_TRUE(test::unzipTestPasses(c.b.dest + "PREF0001.LSP"));

    // Insert adds a file through the chooser.
    const std::string added = c.b.dir.write("extra/added.txt", "added later");
    c.b.dialogs.queueOpenFile(added);
    QTest::keyClick(contents, Qt::Key_Insert);
    EXPECT_EQ(shownNames(contents).size(), 3u);
    EXPECT_EQ(c.widget<QLabel>("sizeAfter")->text().toStdString(),
              formatNumber(*c.b.fs.fileSize(c.b.dest + "PREF0001.LSP")));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, EscapeMinimisesThroughTheHandler) {
    ConsoleBench c;
    c.open();
    c.window->show();
    int minimised = 0;
    c.window->setMinimizeHandler([&] { ++minimised; });
    QTest::keyClick(c.list("projectsList"), Qt::Key_Escape);
    EXPECT_EQ(minimised, 1);
    c.window->setMinimizeHandler({});
    QTest::keyClick(c.list("projectsList"), Qt::Key_Escape);
    EXPECT_TRUE(c.window->windowState() & Qt::WindowMinimized);
}

TEST(ConsoleWindow, ViewingAnItemTwiceKeepsOneTempFileAndFallsBackToAnEditor) {
    ConsoleBench c;
    c.b.dir.write("src/notes.qq", "plain words");
    c.b.component(c.b.src, "*.*");
    c.backup();
    c.open();
    c.showTab(ConsoleTab::Details);
    std::vector<std::string> desktop, editor;
    FileViewer viewer{[&](const std::string& f) {
                          desktop.push_back(f);
                          return OpenAttempt{false, true, {}};
                      },
                      [&](const std::string& f) {
                          editor.push_back(f);
                          return true;
                      }};
    c.window->setFileViewer(viewer);
    c.b.dialogs.expect("There is no application associated", answer::Yes);
    c.b.dialogs.expect("There is no application associated", answer::No);
    QTreeView* contents = c.list("contentsList");
    for (int i = 0; i < 2; ++i) emit contents->doubleClicked(contents->model()->index(0, 1));
    EXPECT_EQ(c.b.dialogs.last().title, "No Associated File");
    ASSERT_EQ(desktop.size(), 2u);
    EXPECT_EQ(editor, std::vector<std::string>{desktop[0]});
    EXPECT_EQ(test::readFile(desktop[0]), "plain words");
    EXPECT_EQ(c.window->state().tempFiles().size(), 1u);
    // The extraction folder is the console's own, not the shared temporary folder.
    EXPECT_NE(desktop[0], tempFolder() + "notes.qq");
    c.window.reset();
    EXPECT_FALSE(c.b.fs.fileExists(desktop[0]));

    // A row that is not there.
    ConsoleState state(c.services);
    ASSERT_TRUE(state.open());
    c.b.dialogs.expect("Error Reading the File Queue!");
    state.ViewArchiveItem(5, viewer);
    EXPECT_EQ(c.b.dialogs.last().title, "Queue Error");
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

TEST(ConsoleWindow, CleanUpAfterAProjectDeleteRemovesItsArchivesOnYes) {
    for (int reply : {answer::No, answer::Yes}) {
        SCOPED_TRACE(reply);
        ConsoleBench c;
        c.b.dir.write("src/a.txt", "a");
        c.b.component(c.b.src, "*.*");
        c.backup();
        c.backup();
        c.b.dir.write("dest/KEEP0001.LSP", "another project's");
        ConsoleState state(c.services);
        ASSERT_TRUE(state.open());
        const std::string destination = state.project()->DESTINATIONPATH;
        ASSERT_TRUE(c.b.catalog.deleteProject(c.b.project.SYSID).ok());
        c.b.dialogs.expect("Would you also like to delete the Backup files associated with this project?", reply);
        state.offerCleanUp(destination);
        EXPECT_EQ(c.b.dialogs.last().title, "Clean-up");
        EXPECT_EQ(c.b.dialogs.last().defaultButton, answer::No);
        EXPECT_EQ(c.b.destFiles().size(), reply == answer::Yes ? 1u : 3u);
        EXPECT_TRUE(c.b.fs.fileExists(c.b.dest + "KEEP0001.LSP"));
        EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
    }
}

TEST(ConsoleWindow, ASecondCommandIsRefusedWhileOneRuns) {
    ConsoleBench c;
    ConsoleState state(c.services);
    ASSERT_TRUE(state.open());
    ConsoleState::Command first(state);
    ASSERT_TRUE(bool(first));
    EXPECT_TRUE(state.reminderSuspended());
    c.b.dialogs.expect("still busy");
    ConsoleState::Command second(state);
    EXPECT_FALSE(bool(second));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

// A backup stepped in the console's own event loop, without a window in front of the
// console: whatever the library's event pump lets through reaches it. The action runs once,
// from the pump of the library's call for a large file.
class PumpingDriver : public BackupRunDriver {
public:
    explicit PumpingDriver(std::function<void()> insideLibraryCall) : inside_(std::move(insideLibraryCall)) {
        view_.onPump = [this] {
            QApplication::processEvents();
            const bool packing = !view_.itemBar.empty() && view_.itemBar.back() > 0 && view_.itemBar.back() < 100;
            if (packing && inside_) std::exchange(inside_, nullptr)();
        };
    }
    BackupRunView& view() override { return view_; }
    void drive(BackupRun& run) override { LoopBackupDriver(view_).drive(run); }

private:
    test::RecordingView view_;
    std::function<void()> inside_;
};

TEST(ConsoleWindow, ATabPressedWhileALibraryCallPumpsWaitsForTheCommand) {
    ConsoleBench c;
    c.b.dir.write("src/big.bin", randomBytes(1 << 20, 7));
    c.b.component(c.b.src, "*.*");
    c.backup();
    Main& w = c.open();
    w.show();
    auto* sheet = c.widget<QTabWidget>("sheet");
    auto* status = c.widget<QStatusBar>("statusLine");
    bool pressed = false, shown = false;
    QString said;
    w.setDriverFactory([&](QWidget*) {
        return std::make_unique<PumpingDriver>([&] {
            // The Backup Details tab lists the selected archive: not while the library packs.
            QTest::mouseClick(sheet->tabBar(), Qt::LeftButton, {},
                              sheet->tabBar()->tabRect(int(ConsoleTab::Details)).center());
            pressed = true;
            shown = status->isVisible();
            said = status->currentMessage();
        });
    });
    c.action("toolExecute")->trigger();
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(shown);
    EXPECT_EQ(said.toStdString(), "Quillet is still busy with the last command: try again when it has finished.");
    EXPECT_EQ(w.state().tab(), ConsoleTab::Projects);
    EXPECT_EQ(sheet->currentIndex(), int(ConsoleTab::Projects));
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(c.b.destFiles(), (std::vector<std::string>{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_TRUE(test::unzipTestPasses(c.b.dest + "PREF0001.LSP"));
    // Once the command has returned the tab opens as ever.
    QTest::mouseClick(sheet->tabBar(), Qt::LeftButton, {}, sheet->tabBar()->tabRect(int(ConsoleTab::Details)).center());
    EXPECT_EQ(w.state().tab(), ConsoleTab::Details);
    EXPECT_EQ(c.list("contentsList")->model()->rowCount(), 1);
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

// Calls check every few milliseconds while the event loop runs, until it returns true.
void whenever(std::function<bool()> check) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (check()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

TEST(ConsoleWindow, ExecuteFromTheMenuMakesTheThirdArchiveThroughTheProgressWindow) {
    ConsoleBench c;
    c.b.dir.write("src/a.txt", "alpha");
    c.b.component(c.b.src, "*.*");
    c.backup();
    c.backup();
    c.open();
    c.window->show();
    whenever([] {
        auto* progress = qobject_cast<BackupProgressWindow*>(QApplication::activeModalWidget());
        if (!progress) return false;
        auto* button = progress->findChild<QPushButton*>("actionButton");
        if (button->text() != "&OK") return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    });
    c.action("menuExecute")->trigger();
    EXPECT_EQ(c.b.destFiles(), (std::vector<std::string>{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
    c.showTab(ConsoleTab::Backups);
    EXPECT_EQ(c.list("backupsList")->model()->rowCount(), 3);
    c.b.dialogs.expect("Are you sure that you want to quit?", answer::Yes);
    c.window->close();
    EXPECT_EQ(c.b.settings.read("LastBacked", "1"), std::to_string(c.b.project.SYSID));
    EXPECT_TRUE(c.b.dialogs.ok()) << c.b.dialogs.report();
}

}  // namespace
}  // namespace quillet
