#include "app/ui/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSessionManager>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/ui/About.h"
#include "app/ui/ConsoleIcons.h"
#include "app/ui/ConsoleModels.h"
#include "app/ui/DesktopViewer.h"
#include "app/ui/FindVersionsWindow.h"
#include "app/ui/HistoryWindow.h"
#include "archive/ui/BatchExtract.h"
#include "archive/ui/BatchTest.h"
#include "backup/ui/BackupProgressWindow.h"
#include "catalog/Catalog.h"
#include "framework/Picture.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/ui/BrowseMaskThemes.h"
#include "maintenance/ui/BrowseMasks.h"
#include "maintenance/ui/ChooseProjectType.h"
#include "maintenance/ui/CopyProject.h"
#include "maintenance/ui/CopyToFavorites.h"
#include "maintenance/ui/EditComment.h"
#include "maintenance/ui/FindFile.h"
#include "maintenance/ui/RenameDialog.h"
#include "maintenance/ui/SetPreferences.h"
#include "maintenance/ui/UpdateFavorites.h"
#include "maintenance/ui/UpdateProject.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Texts keep the system's "\r\n" line breaks; the text areas want plain ones.
QString areaText(const std::string& s) {
    return qs(s).replace("\r\n", "\n");
}

// A list whose rows carry a mark: Space toggles the current row's mark wherever the
// cursor is in the row, and the keys given to it run their commands.
class MarkableList : public QTreeView {
public:
    explicit MarkableList(QWidget* parent) : QTreeView(parent) {
        setRootIsDecorated(false);
        setUniformRowHeights(true);
        setAllColumnsShowFocus(true);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setContextMenuPolicy(Qt::CustomContextMenu);
        header()->setSectionsMovable(false);
        header()->setStretchLastSection(false);
    }
    std::function<void(int row)> toggleMark;
    std::map<int, std::function<void()>> keys;  // QKeyCombination::toCombined() -> command

protected:
    // A row selected without moving the cursor (a screen reader selects through the
    // list's accessible table) becomes the current row, so the console follows it as it
    // follows a click or an arrow key.
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override {
        QTreeView::selectionChanged(selected, deselected);
        const QModelIndexList rows = selected.indexes();
        if (rows.isEmpty() || rows.front().row() == currentIndex().row()) return;
        selectionModel()->setCurrentIndex(rows.front(), QItemSelectionModel::NoUpdate);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int combined = event->keyCombination().toCombined();
        if (auto it = keys.find(combined); it != keys.end()) {
            it->second();
            return;
        }
        if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && toggleMark) {
            if (currentIndex().isValid()) toggleMark(currentIndex().row());
            return;
        }
        QTreeView::keyPressEvent(event);
    }
};

QLabel* valueLabel(QWidget* parent, const char* name, const QString& accessible) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAccessibleName(accessible);
    l->setProperty("consoleValue", true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

// A label named for screen readers hides its text from them; the value goes into the
// description, which they read after the name.
void describeValues(QWidget* root) {
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->property("consoleValue").toBool() && l->accessibleDescription() != l->text())
            l->setAccessibleDescription(l->text());
}

QPlainTextEdit* textArea(QWidget* parent, const char* name, const QString& accessible) {
    auto* t = new QPlainTextEdit(parent);
    t->setObjectName(name);
    t->setAccessibleName(accessible);
    t->setReadOnly(true);
    t->setTabChangesFocus(true);
    return t;
}

QPushButton* button(QWidget* parent, const char* name, const QString& label) {
    auto* b = new QPushButton(label, parent);
    b->setObjectName(name);
    b->setAccessibleName(withoutAccessKey(label));
    return b;
}

}  // namespace

Main::Main(const Services& services, std::string commandLineProject, QWidget* parent)
    : QMainWindow(parent),
      s_(services),
      state_(std::make_unique<ConsoleState>(services, std::move(commandLineProject))),
      viewer_(desktopFileViewer()) {
    setObjectName("console");
    setWindowTitle("Quillet");
    setWindowIcon(consoleIcon(ConsoleIcon::Program));
    driverFactory_ = [](QWidget* parent) -> std::unique_ptr<BackupRunDriver> {
        return std::make_unique<BackupProgressWindow>(parent);
    };

    projectModel_ = new ProjectListModel(*state_, this);
    backupModel_ = new BackupListModel(*state_, this);
    contentsModel_ = new ContentsModel(*state_, this);

    buildMenu();
    buildToolbar();
    sheet_ = new QTabWidget(this);
    sheet_->setObjectName("sheet");
    sheet_->setAccessibleName("Sheet");
    sheet_->addTab(buildProjectsTab(), "&Projects");
    sheet_->addTab(buildBackupsTab(), "&Available Backups");
    sheet_->addTab(buildDetailsTab(), "&Backup Details");
    setCentralWidget(sheet_);
    connect(sheet_, &QTabWidget::currentChanged, this, [this](int index) {
        if (syncing_ || refusedWhileBusy()) return;
        state_->setTab(static_cast<ConsoleTab>(index));
        refresh();
    });
    // Shown only while it tells why something waits for the running command.
    statusLine_ = statusBar();
    statusLine_->setObjectName("statusLine");
    statusLine_->setAccessibleName("Status");
    statusLine_->setSizeGripEnabled(false);
    statusLine_->hide();

    resize(760, 520);
}

Main::~Main() {
    // The lists ask their models, which read the console state, while they are taken down;
    // the state goes with the members, so the lists go first.
    delete takeCentralWidget();
}

// ---- building ----

void Main::buildMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("fileMenu");
    menuPreferences_ = file->addAction("&Preferences", this, [this] { command([this] { onPreferences(); }); });
    menuPreferences_->setObjectName("menuPreferences");
    menuExecute_ = file->addAction("&Execute Backup for Selected Project", this, [this] { onExecute(); });
    menuExecute_->setObjectName("menuExecute");
    file->addSeparator();
    QAction* exit = file->addAction("E&xit", this, &QWidget::close);
    exit->setObjectName("menuExit");

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("editMenu");
    QMenu* projects = edit->addMenu("P&rojects");
    projects->setObjectName("projectsMenu");
    QAction* newProject = projects->addAction("&New Project", this, [this] { command([this] { insertProject(); }); });
    newProject->setObjectName("menuNewProject");
    menuChangeProject_ = projects->addAction("&Change Selected Project", this,
                                             [this] { command([this] { changeProject(FormRequest::Change); }); });
    menuChangeProject_->setObjectName("menuChangeProject");
    menuDeleteProject_ = projects->addAction("&Delete Selected Project", this,
                                             [this] { command([this] { changeProject(FormRequest::Delete); }); });
    menuDeleteProject_->setObjectName("menuDeleteProject");
    QAction* themes = edit->addAction(
        "Mask &Themes", this, [this] { command([this] { (void)BrowseMaskThemes(s_, ThemeListMode::Browse, this); }); });
    themes->setObjectName("menuMaskThemes");
    QAction* masks = edit->addAction("&Masks", this, [this] { command([this] { BrowseMasks(s_, this); }); });
    masks->setObjectName("menuMasks");
    edit->addSeparator();
    menuSelectAll_ = edit->addAction("&Select All", this, [this] { onMark(ConsoleState::MarkAction::All); });
    menuSelectAll_->setObjectName("menuSelectAll");
    menuDeselectAll_ = edit->addAction("&De-Select All", this, [this] { onMark(ConsoleState::MarkAction::None); });
    menuDeselectAll_->setObjectName("menuDeselectAll");
    menuFlipAll_ = edit->addAction("&Flip All", this, [this] { onMark(ConsoleState::MarkAction::Flip); });
    menuFlipAll_->setObjectName("menuFlipAll");
    edit->addSeparator();
    menuFindVersions_ = edit->addAction("Find in &All Backups...", this, [this] { onFindVersions(); });
    menuFindVersions_->setObjectName("menuFindVersions");
    menuFindVersions_->setShortcut(QKeySequence("Ctrl+Shift+F"));
    menuCompare_ = edit->addAction("Co&mpare Marked Backups...", this, [this] { onCompare(); });
    menuCompare_->setObjectName("menuCompare");

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("helpMenu");
    QAction* manual =
        help->addAction("&Help", this, [this] { (void)HelpManual(s_.paths.manualFolder).open("console"); });
    manual->setObjectName("menuHelp");
    manual->setShortcut(QKeySequence::HelpContents);
    QAction* about = help->addAction("&About", this, [this] { command([this] { About(s_, this); }); });
    about->setObjectName("menuAbout");
}

void Main::buildToolbar() {
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    auto add = [this](const char* name, QIcon icon, void (Main::*slot)()) {
        QAction* a = toolbar_->addAction(icon, QString());
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    toolAdd_ = add("toolAdd", consoleIcon(ConsoleIcon::NewProject), &Main::onAdd);
    toolRestore_ = add("toolRestore", consoleIcon(ConsoleIcon::Restore), &Main::onRestore);
    toolDelete_ = add("toolDelete", consoleIcon(ConsoleIcon::Delete), &Main::onRemove);
    toolTest_ = add("toolTest", consoleIcon(ConsoleIcon::Test), &Main::onTest);
    toolFind_ = toolbar_->addAction(consoleIcon(ConsoleIcon::Find), QString());
    toolFind_->setObjectName("toolFind");
    connect(toolFind_, &QAction::triggered, this, [this] { onFind(false); });
    toolCopy_ = add("toolCopy", consoleIcon(ConsoleIcon::Copy), &Main::onCopy);
    toolbar_->addSeparator();
    toolExecute_ = toolbar_->addAction(consoleIcon(ConsoleIcon::Execute), QString());
    toolExecute_->setObjectName("toolExecute");
    connect(toolExecute_, &QAction::triggered, this, [this] { onExecute(); });
    // The toolbar's own button for what does not fit is named too, for screen readers.
    if (auto* more = toolbar_->findChild<QToolButton*>("qt_toolbar_ext_button")) more->setAccessibleName("More tools");
    for (QAction* a : {toolAdd_, toolRestore_, toolDelete_, toolTest_, toolFind_, toolCopy_, toolExecute_})
        if (QWidget* w = toolbar_->widgetForAction(a)) w->setObjectName(a->objectName() + "Button");
}

QWidget* Main::buildProjectsTab() {
    auto* page = new QWidget;
    page->setObjectName("projectsTab");
    auto* layout = new QVBoxLayout(page);

    destination_ = valueLabel(page, "destinationFolder", "Destination");
    layout->addWidget(destination_);

    auto* middle = new QHBoxLayout;
    notes_ = textArea(page, "notesArea", "Notes");
    middle->addWidget(notes_, 1);

    projectsList_ = new MarkableList(page);
    projectsList_->setObjectName("projectsList");
    projectsList_->setAccessibleName("Projects");
    projectsList_->setModel(projectModel_);
    projectsList_->setItemDelegate(new FavoritesDelegate(projectsList_));
    projectsList_->setContextMenuPolicy(Qt::DefaultContextMenu);
    projectsList_->header()->resizeSection(0, 200);
    projectsList_->header()->resizeSection(1, 70);
    setTip(projectsList_, "Projects to be backed up.");
    auto* list = static_cast<MarkableList*>(projectsList_);
    list->keys[QKeyCombination(Qt::ControlModifier, Qt::Key_C).toCombined()] = [this] { onCopy(); };
    list->keys[QKeyCombination(Qt::Key_Insert).toCombined()] = [this] { command([this] { insertProject(); }); };
    connect(projectsList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (syncing_ || refusedWhileBusy()) return;
                state_->selectProject(now.isValid() ? now.row() : -1);
                refresh();
            });
    middle->addWidget(projectsList_, 1);
    layout->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    insertButton_ = button(page, "insertButton", "&Insert");
    setTip(insertButton_, "Add a new project");
    changeButton_ = button(page, "changeButton", "&Change");
    setTip(changeButton_, "Change the currently selected Project");
    deleteButton_ = button(page, "deleteButton", "&Delete");
    setTip(deleteButton_, "Delete the currently selected project");
    connect(insertButton_, &QPushButton::clicked, this, [this] { command([this] { insertProject(); }); });
    connect(changeButton_, &QPushButton::clicked, this,
            [this] { command([this] { changeProject(FormRequest::Change); }); });
    connect(deleteButton_, &QPushButton::clicked, this,
            [this] { command([this] { changeProject(FormRequest::Delete); }); });
    // The caption-less backup button beside the project buttons.
    executeButton_ = new QPushButton(page);
    executeButton_->setObjectName("executeButton");
    executeButton_->setIcon(consoleIcon(ConsoleIcon::Execute));
    executeButton_->setAccessibleName("Backup the currently selected project according to criteria set.");
    setTip(executeButton_, "Backup the currently selected project according to criteria set.");
    connect(executeButton_, &QPushButton::clicked, this, [this] { onExecute(); });
    buttons->addWidget(executeButton_);
    buttons->addStretch();
    buttons->addWidget(insertButton_);
    buttons->addWidget(changeButton_);
    buttons->addWidget(deleteButton_);
    layout->addLayout(buttons);
    return page;
}

QWidget* Main::buildBackupsTab() {
    auto* page = new QWidget;
    page->setObjectName("backupsTab");
    auto* layout = new QVBoxLayout(page);

    auto* top = new QHBoxLayout;
    auto* filesIn = new QLabel("Files in:", page);
    filesIn->setObjectName("filesInLabel");
    backupsFolder_ = valueLabel(page, "backupsFolder", "Files in:");
    filesIn->setBuddy(backupsFolder_);
    top->addWidget(filesIn);
    top->addWidget(backupsFolder_, 1);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    backupsList_ = new MarkableList(page);
    backupsList_->setObjectName("backupsList");
    backupsList_->setAccessibleName("Backups");
    backupsList_->setModel(backupModel_);
    backupsList_->header()->resizeSection(0, 170);
    backupsList_->header()->resizeSection(1, 90);
    backupsList_->header()->resizeSection(2, 70);
    backupsList_->header()->resizeSection(3, 100);
    setTip(backupsList_, "Backup files related to the currently selected project");
    auto* list = static_cast<MarkableList*>(backupsList_);
    list->toggleMark = [this](int row) { backupModel_->toggleMark(row); };
    list->keys[QKeyCombination(Qt::Key_Delete).toCombined()] = [this] {
        command([this] { state_->deleteArchiveFiles(); });
    };
    connect(backupsList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (syncing_ || !now.isValid() || refusedWhileBusy()) return;
                state_->selectBackup(now.row(), true);
                refresh();
            });
    connect(backupsList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int chosen = choosePopup(popupMenu(backupsList_).get(), backupsList_->viewport()->mapToGlobal(at));
        if (chosen) backupsPopupChoice(chosen);
    });
    middle->addWidget(backupsList_, 3);

    auto* side = new QVBoxLayout;
    comment_ = textArea(page, "commentArea", "Comment");
    side->addWidget(comment_, 1);
    editComments_ = button(page, "editCommentsButton", "Edit Comments");
    connect(editComments_, &QPushButton::clicked, this, &Main::onEditComments);
    side->addWidget(editComments_);
    history_ = button(page, "historyButton", "Histor&y");
    setTip(history_, "The backup, test and restore runs of the selected project");
    connect(history_, &QPushButton::clicked, this, &Main::onHistory);
    side->addWidget(history_);
    middle->addLayout(side, 2);
    layout->addLayout(middle, 1);

    auto* totals = new QHBoxLayout;
    auto* totalLabel = new QLabel("Total Backups:", page);
    totalBackups_ = valueLabel(page, "totalBackups", "Total Backups:");
    totalLabel->setBuddy(totalBackups_);
    totalBytes_ = valueLabel(page, "totalBytes", "Bytes");
    auto* bytes = new QLabel("Bytes", page);
    maxBackupsLabel_ = new QLabel("Max Backups:", page);
    maxBackupsLabel_->setObjectName("maxBackupsLabel");
    maxBackups_ = valueLabel(page, "maxBackups", "Max Backups:");
    maxBackupsLabel_->setBuddy(maxBackups_);
    totals->addWidget(totalLabel);
    totals->addWidget(totalBackups_);
    totals->addSpacing(12);
    totals->addWidget(totalBytes_);
    totals->addWidget(bytes);
    totals->addStretch();
    totals->addWidget(maxBackupsLabel_);
    totals->addWidget(maxBackups_);
    layout->addLayout(totals);
    return page;
}

QWidget* Main::buildDetailsTab() {
    auto* page = new QWidget;
    page->setObjectName("detailsTab");
    auto* layout = new QVBoxLayout(page);
    archivePath_ = valueLabel(page, "archivePath", "Backup file");
    layout->addWidget(archivePath_);

    contentsList_ = new MarkableList(page);
    contentsList_->setObjectName("contentsList");
    contentsList_->setAccessibleName("Backup contents");
    contentsList_->setModel(contentsModel_);
    const int widths[] = {200, 150, 45, 85, 70, 90, 65, 90, 45, 75, 75};
    for (int c = 0; c < 11; ++c) contentsList_->header()->resizeSection(c, widths[c]);
    contentsList_->setTextElideMode(Qt::ElideMiddle);
    setTip(contentsList_, "Files that are contained in the currently selected Backup");
    auto* list = static_cast<MarkableList*>(contentsList_);
    list->toggleMark = [this](int row) { contentsModel_->toggleMark(row); };
    list->keys[QKeyCombination(Qt::Key_Insert).toCombined()] = [this] { onAdd(); };
    list->keys[QKeyCombination(Qt::Key_Delete).toCombined()] = [this] { onRemove(); };
    list->keys[QKeyCombination(Qt::Key_F3).toCombined()] = [this] { onFind(true); };
    connect(contentsList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showItemPath(); });
    connect(contentsList_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        command([this, row = index.row()] { state_->ViewArchiveItem(row, viewer_); });
    });
    connect(contentsList_->header(), &QHeaderView::sectionDoubleClicked, this, &Main::onHeadingDoubleClicked);
    connect(contentsList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int chosen = choosePopup(popupMenu(contentsList_).get(), contentsList_->viewport()->mapToGlobal(at));
        if (chosen) contentsPopupChoice(chosen);
    });
    layout->addWidget(contentsList_, 1);

    auto* sortRow = new QHBoxLayout;
    auto* sortLabel = new QLabel("&Sort Order:", page);
    sortOrder_ = new QComboBox(page);
    sortOrder_->setObjectName("sortOrder");
    sortOrder_->setAccessibleName("Sort Order:");
    for (const PopupEntry& e : parsePopupText(SortChoices)) sortOrder_->addItem(qs(e.label));
    sortLabel->setBuddy(sortOrder_);
    setTip(sortOrder_, "The order that the files are listed within the backup set.");
    reversed_ = new QCheckBox("&Reversed  ", page);
    reversed_->setObjectName("reversed");
    reversed_->setAccessibleName("Reversed");
    setTip(reversed_, "Reverses the sort order of the files in the backup set");
    connect(sortOrder_, &QComboBox::currentIndexChanged, this, &Main::onSortChanged);
    connect(reversed_, &QCheckBox::toggled, this, &Main::onSortChanged);
    itemPath_ = valueLabel(page, "itemPath", "Selected file");
    itemPath_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sortRow->addWidget(sortLabel);
    sortRow->addWidget(sortOrder_);
    sortRow->addWidget(reversed_);
    sortRow->addSpacing(12);
    sortRow->addWidget(itemPath_, 1);
    layout->addLayout(sortRow);

    auto* totals = new QGridLayout;
    auto total = [&](int column, const char* label, const char* name) {
        auto* l = new QLabel(label, page);
        QLabel* value = valueLabel(page, name, label);
        l->setBuddy(value);
        totals->addWidget(l, 0, column * 2);
        totals->addWidget(value, 0, column * 2 + 1);
        return value;
    };
    filesInBackup_ = total(0, "Files in Backup:", "filesInBackup");
    sizeBefore_ = total(1, "Size (Before):", "sizeBefore");
    sizeAfter_ = total(2, "Size (After):", "sizeAfter");
    compRatio_ = total(3, "Comp Ratio:", "compRatio");
    totals->setHorizontalSpacing(8);
    for (int column : {1, 3, 5}) totals->setColumnMinimumWidth(column, 60);
    totals->setColumnStretch(8, 1);
    layout->addLayout(totals);
    return page;
}

void Main::setTip(QWidget* widget, const QString& tip) {
    tips_[widget] = tip;
    widget->setToolTip(tip);
}

void Main::applyTips() {
    const bool off = state_->toolTipsDisabled();
    for (auto& [widget, tip] : tips_) widget->setToolTip(off ? QString() : tip);
}

// ---- opening and showing ----

bool Main::openConsole() {
    if (!state_->open()) return false;
    refresh();
    projectsList_->setFocus();
    return true;
}

void Main::refresh() {
    syncing_ = true;
    const int contentsRow = contentsList_->currentIndex().row();
    projectModel_->reset();
    backupModel_->reset();
    contentsModel_->reset();
    if (state_->projectRow() >= 0) projectsList_->setCurrentIndex(projectModel_->index(state_->projectRow(), 0));
    if (state_->backupRow() >= 0) backupsList_->setCurrentIndex(backupModel_->index(state_->backupRow(), 0));
    if (contentsRow >= 0 && contentsRow < contentsModel_->rowCount())
        contentsList_->setCurrentIndex(contentsModel_->index(contentsRow, 0));
    if (sheet_->currentIndex() != int(state_->tab())) sheet_->setCurrentIndex(int(state_->tab()));

    setWindowTitle(qs(state_->windowTitle()));
    const Project* p = state_->project();
    const std::string folder = p ? destinationFolder(p->DESTINATIONPATH) : std::string();
    destination_->setText(qs(folder));
    notes_->setPlainText(areaText(state_->notesText()));
    insertButton_->setEnabled(true);
    changeButton_->setEnabled(state_->projectCommandsEnabled());
    deleteButton_->setEnabled(state_->projectCommandsEnabled());
    menuChangeProject_->setEnabled(state_->projectCommandsEnabled());
    menuDeleteProject_->setEnabled(state_->projectCommandsEnabled());

    backupsFolder_->setText(qs(folder));
    comment_->setPlainText(areaText(state_->commentText()));
    editComments_->setEnabled(state_->currentBackup() != nullptr);
    history_->setEnabled(p != nullptr);
    totalBackups_->setText(QString::number(state_->backups().count));
    totalBytes_->setText(qs(formatNumber(state_->backups().totalBytes)));
    const bool favorites = p && p->FAVORITES == 1;
    maxBackupsLabel_->setVisible(!favorites);
    maxBackups_->setVisible(!favorites);
    maxBackups_->setText(p ? QString::number(p->MAXBACKUPS) : QString());

    archivePath_->setText(qs(state_->archivePath()));
    sortOrder_->blockSignals(true);
    sortOrder_->setCurrentIndex(state_->sortChoice() - 1);
    sortOrder_->blockSignals(false);
    reversed_->blockSignals(true);
    reversed_->setChecked(state_->reversed());
    reversed_->blockSignals(false);
    const bool loaded = state_->contentsLoaded();
    filesInBackup_->setText(loaded ? QString::number(state_->itemCount()) : QString());
    sizeBefore_->setText(loaded ? qs(formatNumber(state_->sizeBefore())) : QString());
    const DirEntry* current = state_->currentBackup();
    sizeAfter_->setText(loaded && current ? qs(formatNumber(current->size)) : QString());
    compRatio_->setText(loaded ? qs(formatRatio(state_->ratio())) : QString());
    showItemPath();
    applyTips();
    updateToolbar();
    describeValues(this);
    syncing_ = false;
}

void Main::updateToolbar() {
    const ToolbarState t = state_->toolbar();
    auto apply = [this, &t](QAction* a, const ToolState& s) {
        a->setEnabled(s.enabled);
        a->setVisible(s.visible);
        a->setToolTip(t.tipsShown ? qs(s.tip) : QString());
        // Screen readers name the buttons by their tip, also while tips are switched off.
        if (QWidget* w = toolbar_->widgetForAction(a)) w->setAccessibleName(qs(s.tip));
    };
    toolAdd_->setIcon(t.addsFile ? consoleIcon(ConsoleIcon::AddFile) : consoleIcon(ConsoleIcon::NewProject));
    for (auto [action, state] :
         {std::pair{toolAdd_, &t.add}, std::pair{toolRestore_, &t.restore}, std::pair{toolDelete_, &t.remove},
          std::pair{toolTest_, &t.test}, std::pair{toolFind_, &t.find}, std::pair{toolCopy_, &t.copy},
          std::pair{toolExecute_, &t.execute}}) {
        apply(action, *state);
    }
    menuExecute_->setEnabled(t.execute.enabled);
    executeButton_->setEnabled(t.execute.enabled);
    menuSelectAll_->setEnabled(t.selectAll);
    menuDeselectAll_->setEnabled(t.deselectAll);
    menuFlipAll_->setEnabled(t.flipAll);
    const bool backupsShown = state_->tab() == ConsoleTab::Backups && !state_->backups().list.empty();
    menuFindVersions_->setEnabled(backupsShown);
    menuCompare_->setEnabled(backupsShown && state_->backups().list.size() >= 2);
}

void Main::showItemPath() {
    const QModelIndex current = contentsList_->currentIndex();
    if (!current.isValid() || current.row() >= int(state_->items().size())) {
        itemPath_->clear();
    } else {
        const LSPQEntry& e = state_->items()[current.row()];
        itemPath_->setText(qs(std::string(trimRight(e.ITEM_PATH_NAME)) + e.FILENAME));
    }
    itemPath_->setAccessibleDescription(itemPath_->text());
}

// ---- commands ----

void Main::command(const std::function<void()>& body) {
    {
        ConsoleState::Command running(*state_);
        if (!running) return;
        emit commandStarted();
        body();
    }
    statusLine_->clearMessage();
    statusLine_->hide();
    refresh();
    emit commandFinished();
}

bool Main::refusedWhileBusy() {
    if (!state_->busy()) return false;
    statusLine_->showMessage("Quillet is still busy with the last command: try again when it has finished.");
    statusLine_->show();
    // Not from inside the view's own signal: the selection goes back once it has returned.
    QMetaObject::invokeMethod(this, &Main::showStateSelection, Qt::QueuedConnection);
    return true;
}

void Main::showStateSelection() {
    syncing_ = true;
    sheet_->setCurrentIndex(int(state_->tab()));
    const int project = state_->projectRow(), backup = state_->backupRow();
    projectsList_->setCurrentIndex(project >= 0 ? projectModel_->index(project, 0) : QModelIndex());
    if (backup >= 0) backupsList_->setCurrentIndex(backupModel_->index(backup, 0));
    sortOrder_->setCurrentIndex(state_->sortChoice() - 1);
    reversed_->setChecked(state_->reversed());
    syncing_ = false;
}

void Main::onAdd() {
    command([this] {
        if (state_->tab() == ConsoleTab::Details) {
            state_->addFileToArchive();
        } else if (state_->tab() == ConsoleTab::Projects) {
            insertProject();
        }
    });
}

void Main::onRestore() {
    command([this] {
        switch (state_->tab()) {
            case ConsoleTab::Projects:
                changeProject(FormRequest::Change);
                break;
            case ConsoleTab::Backups:
                if (state_->prepareWholeArchive()) BatchExtract(s_, this);
                break;
            case ConsoleTab::Details:
                s_.archive.USE_LSP_MESSAGE_PUMP = 1;
                BatchExtract(s_, this);
                break;
        }
    });
}

void Main::onRemove() {
    command([this] {
        switch (state_->tab()) {
            case ConsoleTab::Projects:
                changeProject(FormRequest::Delete);
                break;
            case ConsoleTab::Backups:
                state_->deleteArchiveFiles();
                break;
            case ConsoleTab::Details:
                state_->deleteArchiveItems();
                break;
        }
    });
}

void Main::onTest() {
    command([this] {
        if (state_->tab() == ConsoleTab::Backups) {
            if (state_->prepareWholeArchive()) BatchTest(s_, this);
        } else if (state_->tab() == ConsoleTab::Details) {
            s_.archive.USE_LSP_MESSAGE_PUMP = 1;
            BatchTest(s_, this);
        }
    });
}

void Main::onFind(bool again) {
    if (state_->tab() != ConsoleTab::Details || state_->items().empty()) return;
    command([this, again] {
        const std::int64_t current = std::max(0, contentsList_->currentIndex().row());
        const std::int64_t found = FindFile(s_, state_->searchText, current, again, this);
        if (found != current && found >= 0 && found < std::int64_t(state_->items().size())) {
            const QModelIndex target = contentsModel_->index(int(found), 0);
            contentsList_->setCurrentIndex(target);
            contentsList_->scrollTo(target);
        }
    });
}

// ---- versions across the project's backups ----

bool Main::showVersionItem(const VersionRow& version) {
    const Project* p = state_->project();
    if (!p) return false;
    const std::string folder = destinationFolder(p->DESTINATIONPATH);
    const auto& list = state_->backups().list;
    for (std::size_t row = 0; row < list.size(); ++row) {
        if (folder + list[row].name != version.found.archive) continue;
        state_->selectBackup(static_cast<int>(row), false);
        // Loads the archive's items with every one marked; only the version stays marked.
        if (!state_->prepareWholeArchive()) return false;
        bool found = false;
        const std::string key = version.found.item.key();
        for (LSPQEntry& e : state_->items()) {
            const bool match = std::string(trimRight(e.ITEM_PATH_NAME)) + e.FILENAME == key;
            e.MARK = match ? 1 : 0;
            found = found || match;
        }
        return found;
    }
    return false;
}

void Main::versionGone(const VersionRow& version) {
    s_.dialogs.message("The backup " + version.found.archive + " no longer holds " + version.found.item.key() + ".",
                       "Find in All Backups", Icon::Exclamation, buttons::Ok, 1);
}

void Main::onFindVersions() {
    command([this] {
        const Project* p = state_->project();
        if (!p) return;
        std::vector<std::string> archives;
        const std::string folder = destinationFolder(p->DESTINATIONPATH);
        for (const DirEntry& e : state_->backups().list) archives.push_back(folder + e.name);
        FindVersionsWindow::Actions actions;
        actions.restore = [this](const VersionRow& v) {
            if (!showVersionItem(v)) return versionGone(v);
            s_.archive.USE_LSP_MESSAGE_PUMP = 1;
            BatchExtract(s_, this);
        };
        actions.view = [this](const VersionRow& v) {
            if (!showVersionItem(v)) return versionGone(v);
            const auto& items = state_->items();
            for (std::size_t row = 0; row < items.size(); ++row)
                if (items[row].MARK == 1) {
                    state_->ViewArchiveItem(static_cast<int>(row), viewer_);
                    return;
                }
        };
        FindVersionsWindow w(s_.catalog.database().folder(), archives, actions, s_.paths.manualFolder, this);
        if (versionsWindowHook_) versionsWindowHook_(w);
        w.exec();
    });
}

void Main::onCompare() {
    command([this] {
        const Project* p = state_->project();
        if (!p) return;
        const auto& list = state_->backups().list;
        const auto& marks = state_->backupMarks();
        std::vector<std::size_t> marked;
        for (std::size_t row = 0; row < list.size() && row < marks.size(); ++row)
            if (marks[row]) marked.push_back(row);
        if (marked.size() != 2) {
            s_.dialogs.message("Mark exactly two backups to compare.", "Compare Backups", Icon::Information,
                               buttons::Ok, 1);
            return;
        }
        // The list is in number order: the higher number is the older backup.
        const std::string folder = destinationFolder(p->DESTINATIONPATH);
        CompareWindow w(s_.catalog.database().folder(), folder + list[marked[1]].name, folder + list[marked[0]].name,
                        s_.paths.manualFolder, this);
        if (versionsWindowHook_) versionsWindowHook_(w);
        w.exec();
    });
}

void Main::onCopy() {
    command([this] {
        const Project* p = state_->project();
        if (!p) return;
        if (state_->tab() == ConsoleTab::Projects) {
            if (p->FAVORITES == 1) return;
            if (CopyProject(s_, p->SYSID, state_->prefixesInUse(), this) == FormResult::Completed)
                state_->reloadProjects(p->SYSID);
        } else if (state_->tab() == ConsoleTab::Backups) {
            if (const DirEntry* e = state_->currentBackup())
                CopyToFavorites(s_, destinationFolder(p->DESTINATIONPATH), e->name, this);
            state_->refreshBackupList();
        }
    });
}

void Main::onExecute(std::int32_t sysId) {
    command([this, sysId] {
        std::unique_ptr<BackupRunDriver> driver = driverFactory_(this);
        if (state_->executeBackup(*driver, sysId) == ExecuteOutcome::Succeeded) projectsList_->setFocus();
    });
}

void Main::executeBackupFor(std::int32_t sysId) {
    onExecute(sysId);
}

void Main::onEditComments() {
    command([this] {
        if (!state_->currentBackup()) return;
        s_.archive.ARCHIVE_NAME = state_->archivePath();
        (void)EditComment(s_, this);
        state_->selectBackup(state_->backupRow(), true);
    });
    backupsList_->setFocus();
}

void Main::onHistory() {
    const Project* p = state_->project();
    if (!p) return;
    ShowHistory(s_, p->SYSID, std::string(trimRight(p->NAME)), this);
    backupsList_->setFocus();
}

void Main::onRename() {
    command([this] {
        if (state_->currentBackup()) (void)RenameDialog(s_, state_->archivePath(), this);
        state_->refreshBackupList();
    });
}

void Main::onPreferences() {
    SetPreferences(s_, state_->toolTipsDisabled(), this);
    // The default destination may have moved projects; the settings, tips and the
    // reminder are read again as every command ends.
    const Project* p = state_->project();
    state_->reloadProjects(p ? p->SYSID : 0);
}

void Main::insertProject() {
    const int kind = ChooseProjectType(s_, this);
    if (kind != 1 && kind != 2) return;
    Project record;
    if (auto primed = s_.catalog.projects().prime()) record = *primed;
    record.FAVORITES = kind == 2 ? 1 : 0;
    const FormResult result = kind == 1 ? UpdateProject(s_, FormRequest::Add, record, state_->prefixesInUse(), this)
                                        : UpdateFavorites(s_, FormRequest::Add, record, this);
    state_->reloadProjects(result == FormResult::Completed ? record.SYSID : 0);
}

void Main::changeProject(FormRequest request) {
    const Project* p = state_->project();
    if (!p) return;
    Project record = *p;
    // The destination is kept aside: after a delete the record is gone.
    const std::string destination = record.DESTINATIONPATH;
    const FormResult result = record.FAVORITES == 1 ? UpdateFavorites(s_, request, record, this)
                                                    : UpdateProject(s_, request, record, state_->prefixesInUse(), this);
    if (request == FormRequest::Delete && result == FormResult::Completed) state_->offerCleanUp(destination);
    state_->reloadProjects(request == FormRequest::Change ? record.SYSID : 0);
}

void Main::onMark(ConsoleState::MarkAction action) {
    state_->mark(action);
    backupModel_->dataChanged(backupModel_->index(0, 0), backupModel_->index(backupModel_->rowCount() - 1, 0));
    contentsModel_->dataChanged(contentsModel_->index(0, 0), contentsModel_->index(contentsModel_->rowCount() - 1, 0));
}

void Main::onSortChanged() {
    if (syncing_ || state_->tab() != ConsoleTab::Details || refusedWhileBusy()) return;
    state_->setSort(sortOrder_->currentIndex() + 1, reversed_->isChecked());
    contentsList_->setCurrentIndex(QModelIndex());
    refresh();
}

void Main::onHeadingDoubleClicked(int column) {
    const int choice = sortChoiceForColumn(column);
    if (choice == 0 || refusedWhileBusy()) return;
    sortOrder_->setCurrentIndex(choice - 1);  // re-sorts through onSortChanged
    if (state_->sortChoice() != choice) onSortChanged();
}

// ---- pop-up menus ----

std::unique_ptr<QMenu> Main::popupMenu(QAbstractItemView* list) {
    std::string text;
    if (list == backupsList_ && !state_->backups().list.empty()) {
        const Project* p = state_->project();
        text = backupsPopupText(p && p->FAVORITES == 1);
    } else if (list == contentsList_ && !state_->items().empty()) {
        text = state_->toolbar().contentsPopup;
    }
    if (text.empty()) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(list == backupsList_ ? "backupsPopup" : "contentsPopup");
    int choice = 0;
    for (const PopupEntry& e : parsePopupText(text)) {
        if (e.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(qs(e.label));
        a->setEnabled(e.enabled);
        a->setData(++choice);
    }
    return menu;
}

int Main::choosePopup(QMenu* menu, const QPoint& at) {
    if (!menu) return 0;
    // The choice comes from the item's trigger, not from exec(): an assistive technology
    // presses the item through its accessible action, which exec() neither returns nor
    // closes the menu for.
    int chosen = 0;
    connect(menu, &QMenu::triggered, menu, [menu, &chosen](QAction* a) {
        chosen = a->data().toInt();
        menu->close();
    });
    menu->exec(at);
    return chosen;
}

void Main::backupsPopupChoice(int choice) {
    switch (choice) {
        case 1:
            onMark(ConsoleState::MarkAction::All);
            break;
        case 2:
            onMark(ConsoleState::MarkAction::None);
            break;
        case 3:
            command([this] { state_->deleteArchiveFiles(); });
            break;
        case 4:
            onTest();
            break;
        case 5:
            onRestore();
            break;
        case 6:
            onCopy();
            break;
        case 7:
            onRename();
            break;
        default:
            break;
    }
}

void Main::contentsPopupChoice(int choice) {
    switch (choice) {
        case 1:
            onAdd();
            break;
        case 2:
            onRemove();
            break;
        case 3:
            onRestore();
            break;
        case 4:
            onMark(ConsoleState::MarkAction::All);
            break;
        case 5:
            onMark(ConsoleState::MarkAction::None);
            break;
        case 6:
            onMark(ConsoleState::MarkAction::Flip);
            break;
        default:
            break;
    }
}

// ---- minimising and closing ----

void Main::minimizeConsole() {
    if (minimize_) {
        minimize_();
    } else {
        showMinimized();
    }
}

void Main::keyPressEvent(QKeyEvent* event) {
    // Esc anywhere sends the console away (into the notification area when there is one):
    // every control leaves it to the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        minimizeConsole();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Main::closeForShutdown() {
    closingForShutdown_ = true;
    close();
}

void Main::closeEvent(QCloseEvent* event) {
    if (state_->busy() && !closingForShutdown_) {
        event->ignore();
        return;
    }
    if (!state_->closeRequested(closingForShutdown_)) {
        event->ignore();
        return;
    }
    event->accept();
}

int RunConsole(const Services& services, bool minimized, const std::function<void(Main&)>& attach) {
    Main window(services);
    if (!window.openConsole()) return 1;
    if (attach) attach(window);
    // The session ends: the viewed files go and [LastBacked] is written, without a question.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window, [&window] { window.closeForShutdown(); });
    // Saving the session keeps the console's state; the console is not restarted with the
    // session, as it is started by the user or the desktop's autostart, never twice.
    QObject::connect(qApp, &QGuiApplication::saveStateRequest, &window, [&window](QSessionManager& manager) {
        manager.setRestartHint(QSessionManager::RestartNever);
        (void)window.state().saveSessionState();
    });
    if (minimized || window.state().startMinimized()) {
        window.showMinimized();
        window.minimizeConsole();
    } else {
        window.show();
    }
    return QApplication::exec();
}

}  // namespace quillet
