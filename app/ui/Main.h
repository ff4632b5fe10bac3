#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>

#include "app/ConsoleState.h"

class QAbstractItemView;
class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QTreeView;

namespace quillet {

class BackupListModel;
class BackupRunDriver;
class ContentsModel;
class ProjectListModel;
struct VersionRow;

// The console: the projects, the archive files of the selected project and the items of
// the selected archive on three tabs, with the menu, the toolbar whose buttons act on the
// current tab, the pop-up menus and keys of the lists. Its state and commands live in
// ConsoleState; the window shows them and opens the forms and runs.
class Main : public QMainWindow {
    Q_OBJECT
public:
    // commandLineProject: the "-P" name of an unattended run (no exit question then).
    explicit Main(const Services& services, std::string commandLineProject = {}, QWidget* parent = nullptr);
    ~Main() override;

    ConsoleState& state() { return *state_; }

    // Opens the record files and fills the lists; false when they could not be opened.
    bool openConsole();
    // Shows every list and control as the state is now.
    void refresh();

    // ---- where the tray icon attaches ----
    // Esc and a minimised start call the handler (the tray hides the window into the
    // notification area); without one the window is only minimised.
    void setMinimizeHandler(std::function<void()> handler) { minimize_ = std::move(handler); }
    void minimizeConsole();
    // The tray menu's backup of one project; refused while a command runs.
    void executeBackupFor(std::int32_t sysId);
    // Session end: the viewed files are deleted and [LastBacked] written, without asking.
    void closeForShutdown();

    // ---- seams for tests and screenshots ----
    // The window that drives a backup run; the "Backup Progress" window unless set.
    void setDriverFactory(std::function<std::unique_ptr<BackupRunDriver>(QWidget*)> factory) {
        driverFactory_ = std::move(factory);
    }
    void setFileViewer(FileViewer viewer) { viewer_ = std::move(viewer); }
    // Called with the "Find in All Backups" or "Compare Backups" window before it runs.
    void setVersionsWindowHook(std::function<void(QDialog&)> hook) { versionsWindowHook_ = std::move(hook); }
    // The pop-up menu of a list as it would open now (empty list: nothing), and the
    // command of its choice n (from 1, separators not counted).
    std::unique_ptr<QMenu> popupMenu(QAbstractItemView* list);
    int choosePopup(QMenu* menu, const QPoint& at);  // the chosen entry's number, 0 for none
    void backupsPopupChoice(int choice);
    void contentsPopupChoice(int choice);

signals:
    // A command starts (the reminder waits until it has finished).
    void commandStarted();
    // Every command has ended (the tray re-reads its settings then).
    void commandFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenu();
    void buildToolbar();
    QWidget* buildProjectsTab();
    QWidget* buildBackupsTab();
    QWidget* buildDetailsTab();
    void setTip(QWidget* widget, const QString& tip);
    void applyTips();
    void updateToolbar();

    // Runs a command unless another one is running, then shows the new state.
    void command(const std::function<void()>& body);
    // True while a command runs: a change of tab, selected row or sort order would list
    // archives under the command (whose run lets events through while the library works),
    // so it is put back and the status line says why.
    bool refusedWhileBusy();
    void showStateSelection();
    void onAdd();
    void onRestore();
    void onRemove();
    void onTest();
    void onFind(bool again);
    void onCopy();
    void onExecute(std::int32_t sysId = 0);
    void onEditComments();
    void onHistory();
    void onRename();
    void onPreferences();
    void insertProject();
    void changeProject(FormRequest request);
    void onMark(ConsoleState::MarkAction action);
    void onSortChanged();
    void onHeadingDoubleClicked(int column);
    void showItemPath();
    void onFindVersions();
    void onCompare();
    // Selects the version's archive with only its item marked; false when it is gone.
    bool showVersionItem(const VersionRow& version);
    void versionGone(const VersionRow& version);

    const Services& s_;
    std::unique_ptr<ConsoleState> state_;
    std::function<void()> minimize_;
    std::function<std::unique_ptr<BackupRunDriver>(QWidget*)> driverFactory_;
    FileViewer viewer_;
    std::function<void(QDialog&)> versionsWindowHook_;
    bool syncing_ = false;
    bool closingForShutdown_ = false;
    std::map<QWidget*, QString> tips_;  // every control's tip, kept to be restored

    QTabWidget* sheet_;
    ProjectListModel* projectModel_;
    BackupListModel* backupModel_;
    ContentsModel* contentsModel_;
    QTreeView* projectsList_;
    QTreeView* backupsList_;
    QTreeView* contentsList_;
    QLabel* destination_;
    QPlainTextEdit* notes_;
    QPushButton* insertButton_;
    QPushButton* changeButton_;
    QPushButton* deleteButton_;
    QPushButton* executeButton_;
    QLabel* backupsFolder_;
    QPlainTextEdit* comment_;
    QPushButton* editComments_;
    QPushButton* history_;
    QLabel* totalBackups_;
    QLabel* totalBytes_;
    QLabel* maxBackupsLabel_;
    QLabel* maxBackups_;
    QLabel* archivePath_;
    QComboBox* sortOrder_;
    QCheckBox* reversed_;
    QLabel* itemPath_;
    QLabel* filesInBackup_;
    QLabel* sizeBefore_;
    QLabel* sizeAfter_;
    QLabel* compRatio_;
    QStatusBar* statusLine_;

    QToolBar* toolbar_;
    QAction* toolAdd_;
    QAction* toolRestore_;
    QAction* toolDelete_;
    QAction* toolTest_;
    QAction* toolFind_;
    QAction* toolCopy_;
    QAction* toolExecute_;
    QAction* menuPreferences_;
    QAction* menuExecute_;
    QAction* menuChangeProject_;
    QAction* menuDeleteProject_;
    QAction* menuSelectAll_;
    QAction* menuDeselectAll_;
    QAction* menuFlipAll_;
    QAction* menuFindVersions_;
    QAction* menuCompare_;
};

// The interactive console: opens it (minimised when asked or when StartMinimized is on),
// runs the event loop and returns the program's exit status. attach is called once the
// console is open, before it is shown: where the notification-area icon joins it.
int RunConsole(const Services& services, bool minimized, const std::function<void(Main&)>& attach = {});

}  // namespace quillet
