#include "maintenance/ui/UpdateProject.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <ctime>

#include "backup/ui/PreviewBackup.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/ui/ComponentListModel.h"
#include "maintenance/ui/ProjectForm.h"
#include "maintenance/ui/UpdateComps.h"
#include "platform/FileSystem.h"

namespace quillet {

namespace {

constexpr const char* kTitle = "Update Project";

QString titleFor(FormRequest request) {
    switch (request) {
        case FormRequest::Add:
            return "Adding a Project";
        case FormRequest::Change:
            return "Changing a Project";
        case FormRequest::Delete:
            return "Deleting a Project";
    }
    return kTitle;
}

bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

}  // namespace

ProjectForm::ProjectForm(const Services& services, FormRequest request, const Project& record,
                         const std::vector<std::string>& prefixesInUse, QWidget* parent)
    : QDialog(parent), services_(services), request_(request), record_(record), scheduler_(Scheduler::forThisUser()) {
    setObjectName("updateProject");
    setWindowTitle(titleFor(request));

    if (request == FormRequest::Add) {
        if (record_.SYSID == 0) {
            // The number is taken now, so components added before OK belong to the project.
            if (auto primed = services.catalog.projects().prime())
                record_ = *primed;
            else
                services.dialogs.message(primed.error(), kTitle, Icon::Exclamation);
        }
        record_.FAVORITES = 0;
        record_.MAXBACKUPS = catalog::DefaultMaxBackups;
        std::string destination = services.settings.read("Defaults", "DestinationPath");
        if (blank(QString::fromStdString(destination))) destination = services.fs.currentFolder();
        record_.DESTINATIONPATH = NormalizeFolderPath(destination);
        record_.PREFIX = GeneratePrefix(prefixesInUse, systemLetterSource());
        record_.recordId = 0;
    }

    name_ = forms::entry("name", this);
    prefix_ = forms::entry("prefix", this,
                           "A unique 4 character prefix for the project. All archives will begin with this prefix.");
    destination_ = forms::entry("destinationPath", this);
    auto* destinationLookUp = forms::button("...", "destinationLookUp", this, "Pick a path", "Pick a path");
    maxBackups_ = new QSpinBox(this);
    maxBackups_->setObjectName("maxBackups");
    maxBackups_->setRange(0, 255);
    maxBackups_->setToolTip(
        "The maximum number of archives that you want to have on the disk for this project at any one time. The "
        "oldest archves are deleted as new ones are created.");
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName("notes");
    notes_->setTabChangesFocus(true);
    notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 4 + 12);

    // Schedule: the project's own timer, which runs its backup while nobody is there.
    auto* scheduleGroup = new QGroupBox("Schedule", this);
    scheduleGroup->setObjectName("scheduleGroup");
    scheduleKind_ = new QComboBox(scheduleGroup);
    scheduleKind_->setObjectName("scheduleKind");
    scheduleKind_->addItems({"None", "Daily", "Weekly", "Every"});
    scheduleKind_->setToolTip("Back up this project by itself: every day, one day a week, or every so often.");
    scheduleTime_ = new QTimeEdit(scheduleGroup);
    scheduleTime_->setObjectName("scheduleTime");
    scheduleTime_->setDisplayFormat("HH:mm");
    scheduleDay_ = new QComboBox(scheduleGroup);
    scheduleDay_->setObjectName("scheduleDay");
    scheduleDay_->addItems({"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"});
    scheduleSpan_ = forms::entry("scheduleSpan", scheduleGroup,
                                 "A span that divides a day, such as 15min, 90min, 2h or 1d; the runs fall at the "
                                 "same times every day, counted from midnight.");
    scheduleSpan_->setMaximumWidth(scheduleSpan_->fontMetrics().averageCharWidth() * 10 + 16);
    scheduleNext_ = new QLabel(scheduleGroup);
    scheduleNext_->setObjectName("scheduleNext");
    auto* scheduleRow = new QHBoxLayout;
    scheduleRow->addWidget(forms::labelFor("R&un:", scheduleKind_, scheduleGroup));
    scheduleRow->addWidget(scheduleKind_);
    scheduleRow->addSpacing(8);
    scheduleRow->addWidget(forms::labelFor("Da&y:", scheduleDay_, scheduleGroup));
    scheduleRow->addWidget(scheduleDay_);
    scheduleRow->addWidget(forms::labelFor("&Time:", scheduleTime_, scheduleGroup));
    scheduleRow->addWidget(scheduleTime_);
    scheduleRow->addSpacing(8);
    scheduleRow->addWidget(forms::labelFor("Sp&an:", scheduleSpan_, scheduleGroup));
    scheduleRow->addWidget(scheduleSpan_);
    scheduleRow->addStretch();
    auto* scheduleLayout = new QVBoxLayout(scheduleGroup);
    scheduleLayout->addLayout(scheduleRow);
    scheduleLayout->addWidget(scheduleNext_);

    model_ = new ComponentListModel(this);
    list_ = new QTableView(this);
    list_->setObjectName("components");
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->installEventFilter(this);
    const int charWidth = list_->fontMetrics().averageCharWidth();
    list_->setColumnWidth(0, 40 * charWidth);
    list_->horizontalHeader()->setMinimumSectionSize(0);
    list_->setColumnWidth(1, list_->fontMetrics().horizontalAdvance("<>") + 3 * charWidth);
    list_->setColumnWidth(2, list_->fontMetrics().horizontalAdvance("R") + 3 * charWidth);
    auto* listLabel = forms::labelFor("Project Components", list_, this);

    auto* insert = forms::button("&Insert", "insertButton", this);
    auto* copy = forms::button("Copy", "copyButton", this);
    auto* change = forms::button("&Change", "changeButton", this);
    auto* remove = forms::button("&Delete", "deleteButton", this);
    auto* previewButton = forms::button("&Preview", "previewButton", this);
    auto* ok = forms::button("&OK", "okButton", this);
    auto* cancel = forms::button("Cancel", "cancelButton", this);
    auto* help = forms::button("Help", "helpButton", this);
    ok->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(forms::labelFor("&Name:", name_, this), name_);
    form->addRow(forms::labelFor("&Prefix:", prefix_, this), prefix_);
    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(destination_, 1);
    destinationRow->addWidget(destinationLookUp);
    form->addRow(forms::labelFor("&Destination Path:", destination_, this), destinationRow);
    form->addRow(forms::labelFor("&Max Backups:", maxBackups_, this), maxBackups_);
    form->addRow(forms::labelFor("&Notes:", notes_, this), notes_);
    prefix_->setMaximumWidth(8 * charWidth + 16);
    maxBackups_->setMaximumWidth(10 * charWidth + 24);

    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {insert, copy, change, remove, previewButton}) listButtons->addWidget(b);
    listButtons->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(scheduleGroup);
    layout->addWidget(listLabel);
    layout->addWidget(list_, 1);
    layout->addLayout(listButtons);
    layout->addLayout(buttons);
    resize(640, 600);

    name_->setText(QString::fromStdString(record_.NAME));
    prefix_->setText(QString::fromStdString(record_.PREFIX));
    destination_->setText(QString::fromStdString(record_.DESTINATIONPATH));
    maxBackups_->setValue(record_.MAXBACKUPS);
    notes_->setPlainText(QString::fromStdString(record_.NOTES));

    originalName_ = record_.NAME;
    if (request != FormRequest::Add) originalSchedule_ = scheduler_.read(record_.PREFIX).value_or(ScheduleRule{});
    showSchedule(originalSchedule_);

    // A project's prefix never changes once it is added: its archives are named by it.
    if (request != FormRequest::Add) {
        prefix_->setEnabled(false);
        findChild<QLabel*>("prefixLabel")->setEnabled(false);
    }
    if (request == FormRequest::Delete)
        for (QWidget* w : std::initializer_list<QWidget*>{name_, destination_, destinationLookUp, maxBackups_, notes_,
                                                          insert, copy, change, remove, scheduleGroup})
            w->setEnabled(false);

    destinationCheck_ = std::make_unique<forms::FolderCheck>(
        forms::FolderCheck{services_, destination_, true, [this] { lookUpDestination(); }});

    if (auto components = services.catalog.components().ofProject(record_.SYSID)) originalComponents_ = *components;
    refreshComponents();

    connect(name_, &QLineEdit::editingFinished, this, &ProjectForm::nameAccepted);
    connect(prefix_, &QLineEdit::editingFinished, this, [this] {
        if (prefix_->isModified() && forms::checkOnLeaving(prefix_)) prefixAccepted();
    });
    connect(destination_, &QLineEdit::editingFinished, this, &ProjectForm::destinationAccepted);
    connect(destinationLookUp, &QPushButton::clicked, this, &ProjectForm::lookUpDestination);
    connect(insert, &QPushButton::clicked, this, [this] { runComponentForm(FormRequest::Add, false); });
    connect(copy, &QPushButton::clicked, this, [this] { runComponentForm(FormRequest::Add, true); });
    connect(change, &QPushButton::clicked, this, [this] { runComponentForm(FormRequest::Change, false); });
    connect(remove, &QPushButton::clicked, this, [this] { runComponentForm(FormRequest::Delete, false); });
    connect(previewButton, &QPushButton::clicked, this, &ProjectForm::preview);
    connect(scheduleKind_, &QComboBox::currentIndexChanged, this, &ProjectForm::scheduleKindChanged);
    connect(scheduleTime_, &QTimeEdit::timeChanged, this, &ProjectForm::scheduleKindChanged);
    connect(scheduleDay_, &QComboBox::currentIndexChanged, this, &ProjectForm::scheduleKindChanged);
    connect(scheduleSpan_, &QLineEdit::textChanged, this, &ProjectForm::scheduleKindChanged);
    connect(list_, &QTableView::customContextMenuRequested, this, &ProjectForm::contextMenu);
    connect(list_, &QTableView::doubleClicked, this, [this] {
        if (request_ != FormRequest::Delete) runComponentForm(FormRequest::Change, false);
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (const Component* c = selectedComponent()) LastComponentFolder() = c->PATH;
    });
    connect(ok, &QPushButton::clicked, this, &ProjectForm::accept);
    connect(cancel, &QPushButton::clicked, this, &ProjectForm::reject);
    connect(help, &QPushButton::clicked, this, [this] { forms::openHelp(services_, "update-project"); });
}

void ProjectForm::nameAccepted() {
    if (request_ == FormRequest::Add && blank(prefix_->text()) && !blank(name_->text()))
        prefix_->setText(QString::fromStdString(PrefixFromName(name_->text().trimmed().toStdString())));
}

bool ProjectForm::prefixAccepted() {
    if (request_ != FormRequest::Add) return true;
    prefix_->setModified(false);
    if (blank(prefix_->text()) && blank(name_->text())) return true;  // the name gives it later
    const auto prefix = TypedPrefix(prefix_->text().toStdString(), name_->text().toStdString());
    if (!prefix) {
        services_.dialogs.message(prefix.error(), kTitle, Icon::Exclamation);
        prefix_->setFocus();
        return false;
    }
    prefix_->setText(QString::fromStdString(*prefix));
    return true;
}

void ProjectForm::destinationAccepted() {
    if (destination_->isModified() && forms::checkOnLeaving(destination_)) destinationCheck_->run();
}

void ProjectForm::lookUpDestination() {
    const auto picked = services_.dialogs.pickFolder("Pick a path", destination_->text().toStdString());
    if (picked) {
        destination_->setText(QString::fromStdString(NormalizeFolderPath(*picked)));
        destination_->setModified(false);
    }
    destination_->setFocus();
}

void ProjectForm::showSchedule(const ScheduleRule& rule) {
    scheduleKind_->setCurrentIndex(static_cast<int>(rule.kind));
    scheduleTime_->setTime(QTime(rule.hour, rule.minute));
    scheduleDay_->setCurrentIndex(rule.weekday - 1);
    scheduleSpan_->setText(rule.kind == ScheduleRule::Kind::Every ? QString::fromStdString(spanText(rule.everyMinutes))
                                                                  : QStringLiteral("1h"));
    scheduleKindChanged();
}

Result<ScheduleRule> ProjectForm::typedSchedule() const {
    const std::string time = scheduleTime_->time().toString("HH:mm").toStdString();
    switch (static_cast<ScheduleRule::Kind>(scheduleKind_->currentIndex())) {
        case ScheduleRule::Kind::Daily:
            return dailyRule(time);
        case ScheduleRule::Kind::Weekly:
            return weeklyRule(scheduleDay_->currentText().toStdString(), time);
        case ScheduleRule::Kind::Every:
            return everyRule(scheduleSpan_->text().trimmed().toStdString());
        case ScheduleRule::Kind::None:
            break;
    }
    return ScheduleRule{};
}

void ProjectForm::scheduleKindChanged() {
    const auto kind = static_cast<ScheduleRule::Kind>(scheduleKind_->currentIndex());
    const bool editable = request_ != FormRequest::Delete;
    scheduleTime_->setEnabled(editable && (kind == ScheduleRule::Kind::Daily || kind == ScheduleRule::Kind::Weekly));
    scheduleDay_->setEnabled(editable && kind == ScheduleRule::Kind::Weekly);
    scheduleSpan_->setEnabled(editable && kind == ScheduleRule::Kind::Every);
    for (const char* label : {"scheduleTimeLabel", "scheduleDayLabel", "scheduleSpanLabel"}) {
        auto* l = findChild<QLabel*>(label);
        if (l && l->buddy()) l->setEnabled(l->buddy()->isEnabled());
    }
    const auto rule = typedSchedule();
    QString next = "Not backed up by itself.";
    if (!rule)
        next = "The span must divide a day, such as 15min, 90min, 2h or 1d.";
    else if (const auto at = nextRun(*rule, std::time(nullptr)))
        next = "Next run: " + QString::fromStdString(runTimeText(*at)) +
               " (a run missed while the computer is off happens when it is back).";
    scheduleNext_->setText(next);
}

void ProjectForm::applySchedule(const ScheduleRule& rule) {
    const bool renamed = record_.NAME != originalName_;
    if (rule == originalSchedule_ && !(renamed && rule.kind != ScheduleRule::Kind::None)) return;
    const Status s =
        rule.kind == ScheduleRule::Kind::None ? scheduler_.remove(record_.PREFIX) : scheduler_.install(record_, rule);
    if (!s)
        services_.dialogs.message("The project was saved, but not its schedule:|" + s.error(), kTitle,
                                  Icon::Exclamation);
}

const Component* ProjectForm::selectedComponent() const {
    const QModelIndex current = list_->currentIndex();
    if (!current.isValid() || current.row() >= model_->rowCount()) return nullptr;
    return &model_->components()[static_cast<std::size_t>(current.row())];
}

void ProjectForm::runComponentForm(FormRequest request, bool copy) {
    Component component;
    if (request != FormRequest::Add || copy) {
        const Component* selected = selectedComponent();
        if (!selected) {
            services_.dialogs.beep();
            return;
        }
        component = *selected;
    }
    component.PROSYSID = record_.SYSID;
    const int row = list_->currentIndex().row();
    if (UpdateComps(services_, request, component, copy, this) == FormResult::Completed) componentsChanged_ = true;
    refreshComponents();
    // The row of the component just stored, or the one that took the deleted one's place.
    const auto& rows = model_->components();
    int select = std::min(row, static_cast<int>(rows.size()) - 1);
    if (request != FormRequest::Delete)
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].recordId == component.recordId) select = static_cast<int>(i);
    if (select >= 0) list_->setCurrentIndex(model_->index(select, 0));
    list_->setFocus();
}

void ProjectForm::refreshComponents() {
    auto components = services_.catalog.components().ofProject(record_.SYSID);
    if (!components) {
        services_.dialogs.message(components.error(), kTitle, Icon::Exclamation);
        return;
    }
    model_->setComponents(std::move(*components));
}

void ProjectForm::preview() {
    PreviewBackup(services_, record_.SYSID, this);
    refreshComponents();
}

void ProjectForm::contextMenu(const QPoint& at) {
    if (request_ == FormRequest::Delete) return;
    QMenu menu(this);
    menu.setObjectName("componentMenu");
    menu.addAction("&Insert", this, [this] { runComponentForm(FormRequest::Add, false); });
    menu.addAction("&Change", this, [this] { runComponentForm(FormRequest::Change, false); });
    menu.addAction("&Delete", this, [this] { runComponentForm(FormRequest::Delete, false); });
    menu.addAction("&Copy", this, [this] { runComponentForm(FormRequest::Add, true); });
    menu.exec(list_->viewport()->mapToGlobal(at));
}

bool ProjectForm::eventFilter(QObject* watched, QEvent* event) {
    // The list's keys: Insert adds, Delete deletes, Enter changes the current component.
    if (watched != list_ || event->type() != QEvent::KeyPress || request_ == FormRequest::Delete)
        return QDialog::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Insert:
            runComponentForm(FormRequest::Add, false);
            return true;
        case Qt::Key_Delete:
            runComponentForm(FormRequest::Delete, false);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            runComponentForm(FormRequest::Change, false);
            return true;
        default:
            return QDialog::eventFilter(watched, event);
    }
}

void ProjectForm::accept() {
    if (request_ == FormRequest::Delete) {
        // The project and its components go in one transaction.
        if (Status s = services_.catalog.deleteProject(record_.SYSID); !s) {
            services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
            return;
        }
        // Its timer would run a backup of a project that is gone.
        if (scheduler_.scheduled(record_.PREFIX))
            if (Status s = scheduler_.remove(record_.PREFIX); !s)
                services_.dialogs.message("The project was deleted, but not its schedule:|" + s.error(), kTitle,
                                          Icon::Exclamation);
        result_ = FormResult::Completed;
        QDialog::accept();
        return;
    }
    nameAccepted();
    if (!prefixAccepted()) return;
    if (!destinationCheck_->run()) return;

    const auto schedule = typedSchedule();
    if (!schedule) {
        services_.dialogs.message(schedule.error(), kTitle, Icon::Exclamation);
        scheduleSpan_->setFocus();
        return;
    }

    Project p = record_;
    p.NAME = name_->text().toStdString();
    p.DESTINATIONPATH = destination_->text().toStdString();
    p.MAXBACKUPS = static_cast<std::uint8_t>(maxBackups_->value());
    p.NOTES = notes_->toPlainText().toStdString();
    if (request_ == FormRequest::Add) {
        const auto prefix = TypedPrefix(prefix_->text().toStdString(), p.NAME);
        if (!prefix) {
            services_.dialogs.message(prefix.error(), kTitle, Icon::Exclamation);
            prefix_->setFocus();
            return;
        }
        p.PREFIX = *prefix;
    }
    auto saved = SaveProject(services_.catalog, p, request_ == FormRequest::Add);
    if (!saved) {
        services_.dialogs.message(saved.error(), kTitle, Icon::Exclamation);
        return;
    }
    record_ = *saved;
    applySchedule(*schedule);
    result_ = FormResult::Completed;
    QDialog::accept();
}

void ProjectForm::reject() {
    // Nothing is kept until OK: components added, changed or deleted go back as they were.
    if (componentsChanged_) {
        if (Status s = RestoreComponents(services_.catalog, record_.SYSID, originalComponents_); !s)
            services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        componentsChanged_ = false;
    }
    QDialog::reject();
}

FormResult UpdateProject(const Services& services, FormRequest request, Project& record,
                         const std::vector<std::string>& prefixesInUse, QWidget* parent) {
    if (Status s = services.catalog.open(); !s) {
        services.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        return FormResult::Cancelled;
    }
    ProjectForm form(services, request, record, prefixesInUse, parent);
    form.exec();
    if (form.result() == FormResult::Completed) record = form.record();
    services.catalog.close();
    return form.result();
}

}  // namespace quillet
