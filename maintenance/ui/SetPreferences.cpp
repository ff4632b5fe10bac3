#include "maintenance/ui/SetPreferences.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "framework/ui/Controls.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/ui/BrowseMaskThemes.h"
#include "maintenance/ui/SetDefaultDestination.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet {

namespace {

constexpr const char* kTitle = "Quillet - Preferences";

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

std::string text(const QLineEdit* entry) {
    return entry->text().trimmed().toStdString();
}

QCheckBox* check(const QString& label, const char* name, QWidget* parent, const QString& tip = {}) {
    auto* c = new QCheckBox(label, parent);
    c->setObjectName(name);
    c->setAccessibleName(withoutAccessKey(label));
    if (!tip.isEmpty()) c->setToolTip(tip);
    return c;
}

QRadioButton* option(const QString& label, const char* name, QButtonGroup* group, int id, QWidget* parent,
                     const QString& tip = {}) {
    auto* r = new QRadioButton(label, parent);
    r->setObjectName(name);
    r->setAccessibleName(withoutAccessKey(label));
    if (!tip.isEmpty()) r->setToolTip(tip);
    group->addButton(r, id);
    return r;
}

QGroupBox* group(const QString& title, const char* name, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(name);
    g->setAccessibleName(withoutAccessKey(title));
    return g;
}

void select(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id)) b->setChecked(true);
}

// The byte a check or option stands for.
std::uint8_t on(const QCheckBox* c) {
    return c->isChecked() ? 1 : 0;
}

// The sound entries, in the order of their page, with their file dialogs.
struct SoundEntry {
    const char* label;
    const char* name;
    const char* filterDescription;
    const char* title;
    bool checkedOnAccept;
};
constexpr SoundEntry kSounds[] = {
    {"&Backup Completed:", "completedSound", "Wave Sound Files", "Choose Sound File", true},
    {"Backup &Reminder:", "reminderSound", "Wave Sound Files", "Pick Wave File", true},
    {"Backup &Error:", "errorSound", "Wav Sound Files", "Lookup Error Wave File", false},
};

struct SpeedChoice {
    const char* label;
    const char* name;
    const char* explanation;
};
constexpr SpeedChoice kSpeeds[] = {
    {"&Normal", "speedNormal",
     "The backup lets the desktop work after every file: other programs stay fully responsive."},
    {"F&aster", "speedFaster", "Up to 10,000 bytes are packed before the backup lets the desktop work."},
    {"&Even Faster", "speedEvenFaster", "Up to 50,000 bytes are packed before the backup lets the desktop work."},
    {"Fa&stest", "speedFastest",
     "Up to 150,000 bytes are packed at a time: the quickest backups, while the desktop answers more slowly."},
};
constexpr const char* kSpeedNote =
    "Note: the speed only decides how often a backup pauses for the rest of the desktop. The archives it makes are "
    "the same whichever speed you choose.";

}  // namespace

PreferencesDialog::PreferencesDialog(const Services& services, bool toolTipsDisabled, QWidget* parent)
    : QDialog(parent), s_(services) {
    setObjectName("preferences");
    setWindowTitle(kTitle);

    read_ = AppPreferences::read(s_.settings, s_.fs.currentFolder(), s_.archive.TEMP_PATH);
    read_.disableToolTips = toolTipsDisabled;
    oldDestination_ = read_.destinationPath;

    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    pages_->setAccessibleName("Pages");
    pages_->addTab(buildGeneral(), "General");
    pages_->addTab(buildFilePaths(), "File Paths");
    pages_->addTab(buildSounds(), "Event Sounds");
    pages_->addTab(buildUnused(), "UnUsed");
    pages_->addTab(buildOptimization(), "Optimization");

    auto* help = forms::button("&Help", "helpButton", this);
    auto* cancel = forms::button("&Cancel", "cancelButton", this);
    auto* ok = forms::button("&OK", "okButton", this);
    ok->setDefault(true);
    connect(help, &QPushButton::clicked, this, [this] { forms::openHelp(s_, "preferences"); });
    connect(cancel, &QPushButton::clicked, this, &PreferencesDialog::reject);
    connect(ok, &QPushButton::clicked, this, &PreferencesDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    destinationCheck_ = std::make_unique<forms::FolderCheck>(
        forms::FolderCheck{s_, destination_, false, [this] { lookUpFolder(destination_, false); }});
    extractionCheck_ = std::make_unique<forms::FolderCheck>(
        forms::FolderCheck{s_, extraction_, false, [this] { lookUpFolder(extraction_, false); }});
    tempCheck_ = std::make_unique<forms::FolderCheck>(
        forms::FolderCheck{s_, tempPath_, false, [this] { lookUpFolder(tempPath_, true); }});

    showValues();
    intervalAccepted();
}

PreferencesDialog::~PreferencesDialog() = default;

QWidget* PreferencesDialog::buildGeneral() {
    auto* page = new QWidget;
    page->setObjectName("generalPage");
    lspclass* a = &s_.archive;

    // Backup: compression and path information.
    auto* backup = group("Backup", "backupGroup", page);
    auto* compressionBox = group("Compression", "compressionGroup", backup);
    compression_ = new QButtonGroup(this);
    auto* compressionLayout = new QVBoxLayout(compressionBox);
    compressionLayout->addWidget(option("&Fast", "compressionFast", compression_, 1, compressionBox));
    compressionLayout->addWidget(option("&Standard", "compressionStandard", compression_, 2, compressionBox));
    compressionLayout->addWidget(option("&Maximum", "compressionMaximum", compression_, 3, compressionBox));
    auto* pathBox = group("Include Path Information", "pathInformationGroup", backup);
    pathInfo_ = new QButtonGroup(this);
    auto* pathLayout = new QVBoxLayout(pathBox);
    pathLayout->addWidget(
        option("No path &information", "pathNone", pathInfo_, 1, pathBox, "Store no path information"));
    pathLayout->addWidget(
        option("Full &path", "pathFull", pathInfo_, 2, pathBox, "Store the entire pathname (without drive letter)"));
    pathLayout->addWidget(option("&Specify Path", "pathSpecify", pathInfo_, 3, pathBox, "Specify a pathname to store"));
    auto* backupLayout = new QHBoxLayout(backup);
    backupLayout->addWidget(compressionBox);
    backupLayout->addWidget(pathBox, 1);
    connect(compression_, &QButtonGroup::idClicked, this, [a](int id) { a->COMPRESSION_ENGINE = std::uint8_t(id); });
    connect(pathInfo_, &QButtonGroup::idClicked, this, [a](int id) { a->PATH_INFORMATION = std::uint8_t(id); });

    // Backup reminder.
    auto* reminder = group("Backup Reminder", "reminderGroup", page);
    interval_ = new QSpinBox(reminder);
    interval_->setObjectName("remindEvery");
    interval_->setRange(0, 255);  // the interval is held in one byte: nothing outside is taken
    interval_->setMaximumWidth(interval_->fontMetrics().horizontalAdvance("0000") + 48);
    auto* minutes = new QLabel("minutes", reminder);
    showPopup_ = check("Show Popup Menu", "showPopup", reminder);
    suspendTimer_ = check("Suspend Timer", "suspendTimer", reminder, "Temporarily disable the timer");
    remindOnlyIfChanged_ = check("Remind ONLY if changed", "remindOnlyIfChanged", reminder,
                                 "Only remind if at least one files has been changed since last backup.");
    auto* reminderLayout = new QGridLayout(reminder);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(forms::labelFor("Remind Every:", interval_, reminder));
    intervalRow->addWidget(interval_);
    intervalRow->addWidget(minutes);
    intervalRow->addStretch();
    reminderLayout->addLayout(intervalRow, 0, 0);
    reminderLayout->addWidget(showPopup_, 1, 0);
    reminderLayout->addWidget(suspendTimer_, 2, 0);
    reminderLayout->addWidget(remindOnlyIfChanged_, 3, 0);
    connect(interval_, &QSpinBox::valueChanged, this, &PreferencesDialog::intervalAccepted);

    // Restore.
    auto* restore = group("Restore", "restoreGroup", page);
    auto* overwriteBox = group("Overwrite Options", "overwriteOptionsGroup", restore);
    unpackOverwrite_ = new QButtonGroup(this);
    auto* overwriteLayout = new QVBoxLayout(overwriteBox);
    overwriteLayout->addWidget(option("&Overwrite", "unpackOverwrite", unpackOverwrite_, 1, overwriteBox));
    overwriteLayout->addWidget(option("&Prompt user", "unpackPrompt", unpackOverwrite_, 2, overwriteBox));
    createDirectory_ = check("&Create Sub-Directories", "createDirectory", restore, "Create Sub Directories as Needed");
    usePathInfo_ = check("Use Original Path Info", "usePathInfo", restore);
    auto* restoreLayout = new QVBoxLayout(restore);
    restoreLayout->addWidget(overwriteBox);
    restoreLayout->addWidget(createDirectory_);
    restoreLayout->addWidget(usePathInfo_);
    connect(unpackOverwrite_, &QButtonGroup::idClicked, this,
            [a](int id) { a->UNPACK_OVERWRITE_OPTION = std::uint8_t(id); });
    connect(createDirectory_, &QCheckBox::clicked, this, [this, a] { a->CREATE_DIRECTORY = on(createDirectory_); });
    connect(usePathInfo_, &QCheckBox::clicked, this, [this, a] { a->USE_PATH_INFO = on(usePathInfo_); });

    // The console's own options.
    startMinimized_ = check("Start Minimized to Icon Tray", "startMinimized", page);
    confirmExit_ = check("Confirm Program Exit", "confirmExit", page);
    disableToolTips_ = check("Shut off Tooltips", "disableToolTips", page);
    maskName_ = forms::entry("defaultMaskTheme", page);
    auto* themeLookUp = forms::button("...", "defaultMaskThemeLookUp", page, "Choose the default mask theme",
                                      "Choose the default mask theme");
    connect(themeLookUp, &QPushButton::clicked, this, &PreferencesDialog::lookUpTheme);
    auto* themeRow = new QHBoxLayout;
    themeRow->addWidget(forms::labelFor("&Default Mask Theme:", maskName_, page));
    themeRow->addWidget(maskName_, 1);
    themeRow->addWidget(themeLookUp);

    auto* grid = new QGridLayout(page);
    grid->addWidget(backup, 0, 0, 1, 2);
    grid->addWidget(reminder, 1, 0);
    grid->addWidget(restore, 1, 1);
    auto* options = new QVBoxLayout;
    options->addWidget(startMinimized_);
    options->addWidget(confirmExit_);
    options->addWidget(disableToolTips_);
    grid->addLayout(options, 2, 0);
    grid->addLayout(themeRow, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget* PreferencesDialog::buildFilePaths() {
    auto* page = new QWidget;
    page->setObjectName("filePathsPage");
    auto* grid = new QGridLayout(page);
    auto row = [&](int r, const QString& label, const char* name, bool temporaryFolder) {
        QLineEdit* e = forms::entry(name, page);
        auto* lookUp = forms::button("...", (std::string(name) + "LookUp").c_str(), page, "Pick a path", "Pick a path");
        lookUp->setAccessibleDescription(withoutAccessKey(label));
        grid->addWidget(forms::labelFor(label, e, page), r, 0);
        grid->addWidget(e, r, 1);
        grid->addWidget(lookUp, r, 2);
        connect(lookUp, &QPushButton::clicked, this, [this, e, temporaryFolder] { lookUpFolder(e, temporaryFolder); });
        return e;
    };
    destination_ = row(0, "&Default Destination Path:", "defaultDestinationPath", false);
    extraction_ = row(1, "D&efault Extraction Path:", "defaultExtractionPath", false);
    tempPath_ = row(2, "&Temp Path:", "tempPath", true);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);

    connect(destination_, &QLineEdit::editingFinished, this, [this] {
        if (destination_->isModified() && forms::checkOnLeaving(destination_))
            folderAccepted(*destinationCheck_, false);
    });
    connect(extraction_, &QLineEdit::editingFinished, this, [this] {
        if (extraction_->isModified() && forms::checkOnLeaving(extraction_)) folderAccepted(*extractionCheck_, false);
    });
    connect(tempPath_, &QLineEdit::editingFinished, this, [this] {
        if (tempPath_->isModified() && forms::checkOnLeaving(tempPath_)) folderAccepted(*tempCheck_, true);
    });
    return page;
}

QWidget* PreferencesDialog::buildSounds() {
    auto* page = new QWidget;
    page->setObjectName("eventSoundsPage");
    auto* sounds = group("Sounds", "soundsGroup", page);
    auto* grid = new QGridLayout(sounds);
    QLineEdit* entries[3];
    for (int i = 0; i < 3; ++i) {
        const SoundEntry& s = kSounds[i];
        QLineEdit* e = forms::entry(s.name, sounds);
        entries[i] = e;
        QLabel* label = forms::labelFor(s.label, e, sounds);
        auto* preview = forms::button(QString(), (std::string(s.name) + "Preview").c_str(), sounds, "Preview the sound",
                                      "Preview the sound");
        preview->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        preview->setAccessibleDescription(withoutAccessKey(s.label));
        auto* lookUp = forms::button("...", (std::string(s.name) + "LookUp").c_str(), sounds, s.title, s.title);
        grid->addWidget(label, i, 0);
        grid->addWidget(e, i, 1);
        grid->addWidget(preview, i, 2);
        grid->addWidget(lookUp, i, 3);
        connect(preview, &QPushButton::clicked, this, [this, e] { PlayEventSound(s_.sounds, text(e)); });
        connect(lookUp, &QPushButton::clicked, this, [this, e, i] { lookUpSound(e, i); });
        if (s.checkedOnAccept)
            connect(e, &QLineEdit::editingFinished, this, [this, e, i] {
                if (e->isModified() && forms::checkOnLeaving(e)) soundAccepted(e, i);
            });
    }
    grid->setColumnStretch(1, 1);
    completedSound_ = entries[0];
    reminderSound_ = entries[1];
    errorSound_ = entries[2];
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sounds);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::buildUnused() {
    auto* page = new QWidget;
    page->setObjectName("unusedPage");
    lspclass* a = &s_.archive;
    auto* overwrite = group("Archive Overwrite Options", "archiveOverwriteGroup", page);
    packOverwrite_ = new QButtonGroup(this);
    auto* overwriteLayout = new QVBoxLayout(overwrite);
    overwriteLayout->addWidget(option("&Update", "packUpdate", packOverwrite_, 1, overwrite));
    overwriteLayout->addWidget(option("&Restrict", "packRestrict", packOverwrite_, 2, overwrite));
    overwriteLayout->addWidget(option("&Prompt user", "packPrompt", packOverwrite_, 3, overwrite));
    quietMode_ = check("&Quiet Mode (DLL msgs.)", "quietMode", overwrite);
    overwriteLayout->addWidget(quietMode_);
    connect(packOverwrite_, &QButtonGroup::idClicked, this,
            [a](int id) { a->PACK_OVERWRITE_OPTION = std::uint8_t(id); });
    connect(quietMode_, &QCheckBox::clicked, this, [this, a] { a->UNPACK_QUIET_MODE_FLAG = on(quietMode_); });

    auto* attributes = group("Item Attributes", "itemAttributesGroup", page);
    retain_ = check("&Retain", "retainAttributes", attributes);
    readOnly_ = check("Read &Only", "readOnlyAttribute", attributes);
    hidden_ = check("&Hidden", "hiddenAttribute", attributes);
    system_ = check("&System", "systemAttribute", attributes);
    auto* attributesLayout = new QVBoxLayout(attributes);
    for (QCheckBox* c : {retain_, readOnly_, hidden_, system_}) attributesLayout->addWidget(c);
    connect(retain_, &QCheckBox::clicked, this, [this, a] { a->RETAIN_ATTRIBUTES = on(retain_); });
    connect(readOnly_, &QCheckBox::clicked, this, [this, a] { a->READ_ONLY_ATTRIBUTE = on(readOnly_); });
    connect(hidden_, &QCheckBox::clicked, this, [this, a] { a->HIDDEN_ATTRIBUTE = on(hidden_); });
    connect(system_, &QCheckBox::clicked, this, [this, a] { a->SYSTEM_ATTRIBUTE = on(system_); });

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(overwrite, 0, Qt::AlignTop);
    layout->addWidget(attributes, 0, Qt::AlignTop);
    layout->addStretch();
    return page;
}

QWidget* PreferencesDialog::buildOptimization() {
    auto* page = new QWidget;
    page->setObjectName("optimizationPage");
    auto* box = group("Overall Speed of Backups", "speedGroup", page);
    speed_ = new QButtonGroup(this);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 4; ++i) {
        QRadioButton* r = option(kSpeeds[i].label, kSpeeds[i].name, speed_, i, box);
        auto* explanation = new QLabel(kSpeeds[i].explanation, box);
        explanation->setObjectName(QString(kSpeeds[i].name) + "Explanation");
        explanation->setWordWrap(true);
        r->setAccessibleDescription(explanation->text());
        grid->addWidget(r, i, 0, Qt::AlignTop);
        grid->addWidget(explanation, i, 1);
    }
    auto* note = new QLabel(kSpeedNote, box);
    note->setObjectName("speedNote");
    note->setWordWrap(true);
    grid->addWidget(note, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(box);
    layout->addStretch();
    return page;
}

void PreferencesDialog::showValues() {
    const lspclass& a = s_.archive;
    select(compression_, a.COMPRESSION_ENGINE);
    select(pathInfo_, a.PATH_INFORMATION);
    select(unpackOverwrite_, a.UNPACK_OVERWRITE_OPTION);
    createDirectory_->setChecked(a.CREATE_DIRECTORY != 0);
    usePathInfo_->setChecked(a.USE_PATH_INFO != 0);
    tempPath_->setText(qs(a.TEMP_PATH));
    select(packOverwrite_, a.PACK_OVERWRITE_OPTION);
    quietMode_->setChecked(a.UNPACK_QUIET_MODE_FLAG != 0);
    retain_->setChecked(a.RETAIN_ATTRIBUTES != 0);
    readOnly_->setChecked(a.READ_ONLY_ATTRIBUTE != 0);
    hidden_->setChecked(a.HIDDEN_ATTRIBUTE != 0);
    system_->setChecked(a.SYSTEM_ATTRIBUTE != 0);

    const AppPreferences& p = read_;
    interval_->setValue(p.interval);
    showPopup_->setChecked(p.showPopup);
    suspendTimer_->setChecked(p.suspendTimer);
    remindOnlyIfChanged_->setChecked(p.remindOnlyIfChanged);
    startMinimized_->setChecked(p.startMinimized);
    confirmExit_->setChecked(p.confirmExit);
    disableToolTips_->setChecked(p.disableToolTips);
    maskName_->setText(qs(p.defaultMaskName));
    destination_->setText(qs(p.destinationPath));
    extraction_->setText(qs(p.extractionPath));
    completedSound_->setText(qs(p.completedSound));
    reminderSound_->setText(qs(p.reminderSound));
    errorSound_->setText(qs(p.errorSound));
    select(speed_, p.speedOptimization);
}

AppPreferences PreferencesDialog::preferences() const {
    AppPreferences p;
    p.remindOnlyIfChanged = remindOnlyIfChanged_->isChecked();
    p.startMinimized = startMinimized_->isChecked();
    p.confirmExit = confirmExit_->isChecked();
    p.destinationPath = text(destination_);
    p.extractionPath = text(extraction_);
    p.reminderSound = text(reminderSound_);
    p.completedSound = text(completedSound_);
    p.errorSound = text(errorSound_);
    p.interval = static_cast<std::uint8_t>(interval_->value());
    p.showPopup = showPopup_->isChecked();
    p.defaultMaskName = text(maskName_);
    p.disableToolTips = disableToolTips_->isChecked();
    p.suspendTimer = suspendTimer_->isChecked();
    p.speedOptimization = std::max(0, speed_->checkedId());
    return p;
}

void PreferencesDialog::intervalAccepted() {
    const bool reminding = interval_->value() != 0;
    for (QCheckBox* c : {showPopup_, suspendTimer_, remindOnlyIfChanged_}) c->setEnabled(reminding);
}

void PreferencesDialog::lookUpFolder(QLineEdit* entry, bool temporaryFolder) {
    const std::string remembered = s_.fs.currentFolder();
    const auto picked = s_.dialogs.pickFolder("Pick a path", text(entry));
    if (picked) {
        entry->setText(qs(PreferenceFolderPath(*picked, temporaryFolder)));
        entry->setModified(false);
        if (entry == tempPath_) s_.archive.TEMP_PATH = text(tempPath_);
    }
    entry->setFocus();
    (void)s_.fs.setCurrentFolder(remembered);
}

bool PreferencesDialog::folderAccepted(forms::FolderCheck& check, bool temporaryFolder) {
    QLineEdit* entry = check.entry;
    if (text(entry).empty()) return true;
    entry->setText(qs(PreferenceFolderPath(text(entry), false)));
    const bool fine = check.run();
    // A look-up in the check has completed the entry already.
    if (temporaryFolder) {
        entry->setText(qs(PreferenceFolderPath(text(entry), true)));
        s_.archive.TEMP_PATH = text(entry);
    }
    entry->setModified(false);
    return fine;
}

void PreferencesDialog::soundAccepted(QLineEdit* entry, int which) {
    entry->setModified(false);
    const std::string file = text(entry);
    if (file.empty()) return;  // no sound
    if (s_.fs.fileExists(soundFilePath(file, s_.paths.installData))) return;
    s_.dialogs.beep();
    s_.dialogs.message(file + " does not exist!", "File Not Found", Icon::Exclamation);
    lookUpSound(entry, which);
}

void PreferencesDialog::lookUpSound(QLineEdit* entry, int which) {
    const SoundEntry& s = kSounds[which];
    const std::string current = soundFilePath(text(entry), s_.paths.installData);
    const std::size_t slash = current.rfind('/');
    const std::string folder = slash == std::string::npos ? s_.fs.currentFolder() : current.substr(0, slash + 1);
    const auto chosen = s_.dialogs.openFile(s.title, folder, std::string(s.filterDescription) + " (*.wav)");
    if (chosen) {
        entry->setText(qs(*chosen));
        entry->setModified(false);
    }
    entry->setFocus();
}

void PreferencesDialog::lookUpTheme() {
    if (auto theme = BrowseMaskThemes(s_, ThemeListMode::Select, this)) maskName_->setText(qs(theme->NAME));
    maskName_->setFocus();
}

void PreferencesDialog::showPageOf(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget())
        if (pages_->indexOf(w) >= 0) pages_->setCurrentWidget(w);
}

bool PreferencesDialog::checkWidths() {
    struct Width {
        QLineEdit* entry;
        std::size_t width;
    };
    for (const Width& w : {Width{destination_, PreferenceFolderWidth}, Width{extraction_, PreferenceFolderWidth},
                           Width{tempPath_, PreferenceTempPathWidth}, Width{completedSound_, PreferenceSoundWidth},
                           Width{reminderSound_, PreferenceSoundWidth}, Width{errorSound_, PreferenceSoundWidth},
                           Width{maskName_, PreferenceMaskNameWidth}}) {
        if (Status s = CheckPreferenceWidth(w.entry->accessibleName().toStdString(), text(w.entry), w.width); !s) {
            s_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
            showPageOf(w.entry);
            w.entry->setFocus();
            return false;
        }
    }
    return true;
}

void PreferencesDialog::accept() {
    // Every folder must be there before anything is stored: one that could not be created
    // keeps the dialog open on its entry.
    struct Folder {
        forms::FolderCheck* check;
        bool temporaryFolder;
    };
    for (const Folder& f : {Folder{destinationCheck_.get(), false}, Folder{extractionCheck_.get(), false},
                            Folder{tempCheck_.get(), true}}) {
        if (!folderAccepted(*f.check, f.temporaryFolder)) {
            showPageOf(f.check->entry);
            f.check->entry->setFocus();
            return;
        }
    }
    if (!checkWidths()) return;

    s_.archive.TEMP_PATH = text(tempPath_);
    if (!s_.archive.SavePreferences()) {
        s_.dialogs.message("The archive settings could not be saved in " + s_.archive.settingsPath() +
                               ".|The settings not yet saved keep their stored values.",
                           kTitle, Icon::Exclamation);
        return;
    }
    const AppPreferences now = preferences();
    if (Status written = WritePreferences(s_.settings, now); !written) {
        s_.dialogs.message(written.error(), kTitle, Icon::Exclamation);
        return;
    }

    // Completing the entry (its trailing "/") is not a change of folder.
    if (NormalizeFolderPath(now.destinationPath) != NormalizeFolderPath(oldDestination_) &&
        s_.dialogs.message(NewDefaultDestinationQuestion(oldDestination_, now.destinationPath),
                           NewDefaultDestinationTitle, Icon::Question, buttons::YesNo, answer::Yes) == answer::Yes) {
        SetDefaultDestination(s_, oldDestination_, this);
        destinationUpdateRan_ = true;
    }
    QDialog::accept();
}

void PreferencesDialog::reject() {
    // The archive controls changed the object itself: it takes its stored settings back.
    s_.archive.LoadPreferences();
    QDialog::reject();
}

void SetPreferences(const Services& services, bool toolTipsDisabled, QWidget* parent) {
    PreferencesDialog dialog(services, toolTipsDisabled, parent);
    dialog.exec();
}

}  // namespace quillet
