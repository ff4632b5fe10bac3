#include "archive/ui/BatchExtract.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "archive/lspclass.h"
#include "archive/ui/RestoreWindow.h"
#include "archive/ui/WorkListModel.h"
#include "framework/ui/HelpManual.h"
#include "platform/Paths.h"

namespace quillet {

namespace {

template <class W>
W* named(W* widget, const char* objectName, const QString& label) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(QString(label).remove('&'));
    return widget;
}

}  // namespace

RestoreWindow::RestoreWindow(const Services& services, const std::string& projectName, QWidget* parent)
    : ArchiveRunWindow("File(s) to be Restored . . .", QString(), parent),
      services_(services),
      run_({services.fs, services.dialogs, services.settings, services.sounds, services.archive}, *this) {
    run_.recordIn(historyTarget(services.catalog, projectName, services.archive.ARCHIVE_NAME, services.paths.dataFolder,
                                services.clock));
    setObjectName("restoreFiles");
    setWindowTitle(QString::fromStdString(
        archivetext::RestoreTitle + projectAndArchive(services.catalog, projectName, services.archive.ARCHIVE_NAME)));
    lspclass& archive = services.archive;

    overwriteGroup_ = named(new QGroupBox("Target-File Overwrite Options", this), "overwriteOptions",
                            "Target-File Overwrite Options");
    overwrite_ = named(new QRadioButton("&Overwrite", overwriteGroup_), "overwrite", "&Overwrite");
    prompt_ = named(new QRadioButton("&Prompt user", overwriteGroup_), "promptUser", "&Prompt user");
    overwriteButtons_ = new QButtonGroup(this);
    overwriteButtons_->addButton(overwrite_, 1);
    overwriteButtons_->addButton(prompt_, 2);
    overwrite_->setChecked(archive.UNPACK_OVERWRITE_OPTION == 1);
    prompt_->setChecked(archive.UNPACK_OVERWRITE_OPTION == 2);
    auto* groupLayout = new QHBoxLayout(overwriteGroup_);
    groupLayout->addWidget(overwrite_);
    groupLayout->addWidget(prompt_);
    groupLayout->addStretch(1);

    createDirs_ =
        named(new QCheckBox("&Create Sub-Directories", this), "createSubDirectories", "&Create Sub-Directories");
    createDirs_->setToolTip("Create Sub Directories as Needed");
    createDirs_->setChecked(archive.CREATE_DIRECTORY != 0);
    usePaths_ = named(new QCheckBox("Use Original Path Info", this), "useOriginalPathInfo", "Use Original Path Info");
    usePaths_->setChecked(archive.USE_PATH_INFO != 0);

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    auto* remove = new QAction(archivetext::RemoveFromList, this);
    remove->setObjectName("removeFromList");
    list_->addAction(remove);
    connect(remove, &QAction::triggered, this, &RestoreWindow::removeSelected);

    auto* rootLabel = new QLabel("&Root Destination:", this);
    root_ = named(new QComboBox(this), "rootDestination", "&Root Destination:");
    root_->setAccessibleName("Root Destination");
    root_->setEditable(true);
    root_->setInsertPolicy(QComboBox::NoInsert);
    root_->lineEdit()->setMaxLength(200);
    root_->lineEdit()->installEventFilter(this);
    root_->setMinimumContentsLength(40);
    rootLabel->setBuddy(root_);
    pick_ = named(new QPushButton("...", this), "pickRoot", "...");
    pick_->setToolTip(archivetext::PickPathTitle);
    pick_->setMaximumWidth(pick_->fontMetrics().horizontalAdvance(" ... ") + 24);

    restore_ = named(new QPushButton("&Restore/Extract Files", this), "restoreFiles", "&Restore/Extract Files");
    restore_->setDefault(true);
    help_ = named(new QPushButton("&Help", this), "helpButton", "&Help");
    help_->setAutoDefault(false);
    button_->setAutoDefault(false);
    pick_->setAutoDefault(false);

    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(createDirs_);
    checks->addWidget(usePaths_);
    options->addWidget(overwriteGroup_, 1);
    options->addLayout(checks);
    auto* rootRow = new QHBoxLayout;
    rootRow->addWidget(rootLabel);
    rootRow->addWidget(root_, 1);
    rootRow->addWidget(pick_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(restore_);
    buttons->addWidget(button_);
    buttons->addWidget(help_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(list_, 1);
    layout->addWidget(statusLine_);
    layout->addWidget(overall_);
    layout->addWidget(itemBar_);
    layout->addLayout(rootRow);
    layout->addLayout(buttons);
    resize(640, 480);

    run_.open();
    for (const std::string& d : run_.destinations()) root_->addItem(QString::fromStdString(d));
    root_->setEditText(QString::fromStdString(run_.root()));

    connect(overwriteButtons_, &QButtonGroup::idClicked, this,
            [this](int id) { run_.setOverwrite(static_cast<std::uint8_t>(id)); });
    connect(createDirs_, &QCheckBox::toggled, this, [this](bool on) { run_.setCreateDirectory(on); });
    connect(usePaths_, &QCheckBox::toggled, this, [this](bool on) { run_.setUsePathInfo(on); });
    connect(root_->lineEdit(), &QLineEdit::editingFinished, this, &RestoreWindow::acceptRootEntry);
    connect(root_, &QComboBox::activated, this, [this](int) { acceptRootEntry(); });
    connect(pick_, &QPushButton::clicked, this, &RestoreWindow::pickRoot);
    connect(restore_, &QPushButton::clicked, this, &RestoreWindow::startRestore);
    connect(help_, &QPushButton::clicked, this,
            [this] { HelpManual(services_.paths.manualFolder).open("restore-files"); });
    connect(list_, &QWidget::customContextMenuRequested, this, &RestoreWindow::showContextMenu);
}

bool RestoreWindow::acceptRootEntry() {
    if (accepting_ || run_.phase() != ArchiveRun::Phase::Editing) return false;
    const QString typed = root_->currentText();
    if (typed.toStdString() == run_.root()) return true;  // nothing changed
    accepting_ = true;
    const RestoreRun::RootOutcome outcome = run_.acceptRoot(typed.toStdString());
    root_->setEditText(QString::fromStdString(outcome.root));
    // A folder that had to be replaced keeps the focus on the entry to be looked at.
    if (!outcome.accepted) root_->setFocus();
    accepting_ = false;
    return outcome.accepted;
}

void RestoreWindow::pickRoot() {
    if (const auto picked = run_.pickRoot()) root_->setEditText(QString::fromStdString(*picked));
    root_->setFocus();
}

void RestoreWindow::removeSelected() {
    const QModelIndex current = list_->currentIndex();
    if (!current.isValid()) return;
    run_.removeEntry(static_cast<std::size_t>(current.row()));
    const int rows = model_->rowCount();
    if (rows > 0) list_->setCurrentIndex(model_->index(std::min(current.row(), rows - 1), 0));
}

void RestoreWindow::showContextMenu(const QPoint& at) {
    if (run_.phase() != ArchiveRun::Phase::Editing || !list_->indexAt(at).isValid()) return;
    list_->setCurrentIndex(list_->indexAt(at));
    QMenu menu(this);
    QAction* remove = menu.addAction(archivetext::RemoveFromList);
    if (menu.exec(list_->viewport()->mapToGlobal(at)) == remove) removeSelected();
}

bool RestoreWindow::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the root entry accepts the root; it does not start the restore.
    if (root_ && watched == root_->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            acceptRootEntry();
            return true;
        }
    }
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && run_.phase() == ArchiveRun::Phase::Editing) {
        removeSelected();
        return true;
    }
    return ArchiveRunWindow::eventFilter(watched, event);
}

void RestoreWindow::setEditing(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{overwriteGroup_, createDirs_, usePaths_, root_, pick_, restore_, help_})
        w->setEnabled(on);
}

void RestoreWindow::startRestore() {
    if (run_.phase() != ArchiveRun::Phase::Editing) return;
    // A root typed but not yet accepted; one that had to be replaced is looked at first.
    if (!acceptRootEntry()) return;
    run_.start();
    if (run_.timerRunning()) {
        setEditing(false);
        button_->setFocus();
        startTimer0();
    }
}

void BatchExtract(const Services& services, QWidget* parent, const std::string& projectName) {
    RestoreWindow window(services, projectName, parent);
    window.exec();
}

}  // namespace quillet
