#include "maintenance/ui/MaskWindows.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "backup/SplitMaskList.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/NormalizeMaskList.h"
#include "maintenance/ui/BuildMasks.h"
#include "maintenance/ui/RecordListModel.h"
#include "maintenance/ui/UpdateMaskThemes.h"
#include "maintenance/ui/UpdateMasks.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr std::size_t kThemeNameWidth = 60;

// Help and F1 open the manual at the window's section.
QPushButton* helpButton(const QString& text, const Services& s, const char* anchor, QDialog* window) {
    QPushButton* b = makeButton(window, text, "helpButton");
    const std::string folder = s.paths.manualFolder, section = anchor;
    auto open = [folder, section] { HelpManual(folder).open(section); };
    QObject::connect(b, &QPushButton::clicked, window, open);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(f1, &QShortcut::activated, window, open);
    return b;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(withoutAccessKey(text));
    return label;
}

QTreeView* makeList(QAbstractItemModel* model, const char* name, const QString& accessibleName, QWidget* parent) {
    auto* list = new QTreeView(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(true);
    return list;
}

int currentRow(QTreeView* list) {
    const QModelIndex i = list->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void setCurrentRow(QTreeView* list, int row) {
    const int rows = list->model()->rowCount();
    if (rows == 0) return;
    list->setCurrentIndex(list->model()->index(std::clamp(row, 0, rows - 1), 0));
}

// Insert and Delete pressed on a list act as its buttons.
class ListKeys : public QObject {
public:
    ListKeys(QPushButton* insert, QPushButton* remove, QObject* parent)
        : QObject(parent), insert_(insert), remove_(remove) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Insert && insert_->isEnabled()) {
                insert_->click();
                return true;
            }
            if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Delete && remove_->isEnabled()) {
                remove_->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPushButton* insert_;
    QPushButton* remove_;
};

// The list's buttons in a column beside it, with Insert and Delete keys on the list.
struct BrowseButtons {
    QPushButton *insert, *change, *remove, *select, *help, *close;
};

BrowseButtons browseButtons(const Services& s, const char* anchor, const QString& closeText, QDialog* window,
                            QTreeView* list) {
    BrowseButtons b{makeButton(window, "&Insert", "insertButton"), makeButton(window, "&Change", "changeButton"),
                    makeButton(window, "&Delete", "deleteButton"), makeButton(window, "&Select", "selectButton"),
                    helpButton("&Help", s, anchor, window),        makeButton(window, closeText, "closeButton")};
    QObject::connect(b.close, &QPushButton::clicked, window, &QDialog::reject);
    list->installEventFilter(new ListKeys(b.insert, b.remove, list));
    return b;
}

void layOutBrowse(QDialog* window, QTreeView* list, const BrowseButtons& b) {
    auto* column = new QVBoxLayout;
    for (QPushButton* button : {b.insert, b.change, b.remove, b.select}) column->addWidget(button);
    column->addStretch(1);
    column->addWidget(b.help);
    column->addWidget(b.close);
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(list, 1);
    layout->addLayout(column);
}

void showError(const Services& s, const std::string& text) {
    s.dialogs.message(text, "Error", Icon::Exclamation);
}

bool confirmDelete(const Services& s) {
    return s.dialogs.message(masktext::DeleteQuestion, masktext::DeleteTitle, Icon::Question, buttons::YesNo,
                             answer::No) == answer::Yes;
}

// The OK, Cancel and Help row of a form.
QHBoxLayout* formButtons(const Services& s, const char* anchor, QDialog* form) {
    QPushButton* ok = makeButton(form, "OK", "okButton");
    ok->setDefault(true);
    QPushButton* cancel = makeButton(form, "Cancel", "cancelButton");
    QPushButton* help = helpButton("Help", s, anchor, form);
    QObject::connect(ok, &QPushButton::clicked, form, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, form, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);
    return row;
}

bool sameMask(std::string_view a, std::string_view b) {
    return upperCased(a) == upperCased(b);
}

}  // namespace

// --- Browse the Masks File -------------------------------------------------------------

MaskListWindow::MaskListWindow(const Services& services, QWidget* parent) : QDialog(parent), s_(services) {
    setObjectName("browseMasks");
    setWindowTitle("Browse the Masks File");
    model_ = new RecordListModel("Mask",
                                 {[this] { return static_cast<int>(masks_.size()); },
                                  [this](int row) { return QString::fromStdString(masks_[std::size_t(row)].MASK); },
                                  {},
                                  {}},
                                 this);
    list_ = makeList(model_, "maskList", "Mask", this);
    const BrowseButtons b = browseButtons(s_, "mask-list", "Close", this, list_);
    // Nothing asks this list for a mask: Select has no one to hand it to.
    b.select->setEnabled(false);
    connect(b.insert, &QPushButton::clicked, this, [this] { runForm(FormRequest::Add); });
    connect(b.change, &QPushButton::clicked, this, [this] { runForm(FormRequest::Change); });
    connect(b.remove, &QPushButton::clicked, this, [this] { runForm(FormRequest::Delete); });
    connect(list_, &QTreeView::activated, this, [this] { runForm(FormRequest::Change); });
    layOutBrowse(this, list_, b);
    resize(360, 320);
    reload();
}

void MaskListWindow::reload(const std::string& current) {
    int row = std::max(currentRow(list_), 0);
    auto all = s_.catalog.masks().all();
    if (!all) showError(s_, all.error());
    masks_ = all ? std::move(*all) : std::vector<Mask>{};
    model_->refresh();
    for (std::size_t i = 0; i < masks_.size() && !current.empty(); ++i)
        if (masks_[i].MASK == current) row = static_cast<int>(i);
    setCurrentRow(list_, row);
}

void MaskListWindow::runForm(FormRequest request) {
    Mask record;
    const int row = currentRow(list_);
    if (request != FormRequest::Add) {
        if (row < 0) return;
        record = masks_[std::size_t(row)];
    }
    if (UpdateMasks(s_, request, record, this) == FormResult::Completed)
        reload(request == FormRequest::Delete ? std::string() : record.MASK);
    list_->setFocus();
}

// --- Update Masks --------------------------------------------------------------------

MaskForm::MaskForm(const Services& services, FormRequest request, Mask& record, QWidget* parent)
    : QDialog(parent), s_(services), request_(request), record_(record) {
    setObjectName("updateMasks");
    setWindowTitle(request == FormRequest::Add ? "Adding a File Mask" : "Changing a File Mask");
    // No length limit on the entry: what is typed or pasted is checked whole, never cut.
    mask_ = new QLineEdit(QString::fromStdString(record.MASK), this);
    mask_->setObjectName("maskEntry");
    auto* fields = new QFormLayout;
    fields->addRow(buddyLabel("Mask:", mask_, this), mask_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(formButtons(s_, "mask-list", this));
    resize(340, sizeHint().height());
}

void MaskForm::accept() {
    const std::string mask = mask_->text().trimmed().toStdString();
    auto refuse = [this](const std::string& why) {
        s_.dialogs.message(why, "Update Masks", Icon::Exclamation);
        mask_->setFocus();
    };
    if (mask.empty()) return refuse("Enter a file mask, such as *.doc.");
    if (mask.find_first_of(",\r\n\t") != std::string::npos)
        return refuse("A mask cannot hold a comma or a line break: they separate masks. Enter one mask.");
    if (const std::string problem = MaskListProblem(mask, MaskWidth); !problem.empty()) return refuse(problem);
    auto all = s_.catalog.masks().all();
    if (!all) return refuse(all.error());
    for (const Mask& other : *all)
        if (other.recordId != record_.recordId && sameMask(other.MASK, mask))
            return refuse("The mask " + other.MASK + " is in the list already.");

    Mask changed = record_;
    changed.MASK = mask;
    if (request_ == FormRequest::Add) {
        auto stored = s_.catalog.masks().insert(changed);
        if (!stored) return refuse(stored.error());
        record_ = *stored;
    } else {
        if (Status saved = s_.catalog.masks().update(changed); !saved) return refuse(saved.error());
        record_ = changed;
    }
    QDialog::accept();
}

FormResult UpdateMasks(const Services& services, FormRequest request, Mask& record, QWidget* parent) {
    if (request == FormRequest::Delete) {
        if (!confirmDelete(services)) return FormResult::Cancelled;
        // Components that use the mask keep it: the pick list is a lookup only.
        if (Status gone = services.catalog.masks().erase(record); !gone) {
            showError(services, gone.error());
            return FormResult::Cancelled;
        }
        return FormResult::Completed;
    }
    MaskForm form(services, request, record, parent);
    return form.exec() == QDialog::Accepted ? FormResult::Completed : FormResult::Cancelled;
}

// --- Quillet - Mask Builder ------------------------------------------------------------

MaskBuilderWindow::MaskBuilderWindow(const Services& services, std::string text, std::size_t width, QWidget* parent)
    : QDialog(parent), s_(services), width_(width), builder_(text) {
    setObjectName("maskBuilder");
    setWindowTitle("Quillet - Mask Builder");
    auto all = s_.catalog.masks().all();
    if (!all) showError(s_, all.error());
    masks_ = all ? std::move(*all) : std::vector<Mask>{};
    model_ = new RecordListModel("Mask",
                                 {[this] { return static_cast<int>(masks_.size()); },
                                  [this](int row) { return QString::fromStdString(masks_[std::size_t(row)].MASK); },
                                  [this](int row) { return builder_.isMarked(masks_[std::size_t(row)].MASK); },
                                  [this](int row, bool marked) {
                                      builder_.setMarked(masks_[std::size_t(row)].MASK, marked);
                                      // Rows of the same mask (the pick list may hold it twice) show the one mark.
                                      model_->dataChanged(model_->index(0, 0), model_->index(model_->rowCount() - 1, 0),
                                                          {Qt::CheckStateRole});
                                  }},
                                 this);
    list_ = makeList(model_, "maskList", "Mask", this);
    setCurrentRow(list_, 0);

    QPushButton* ok = makeButton(this, "&OK", "okButton");
    ok->setDefault(true);
    QPushButton* help = helpButton("&Help", s_, "mask-builder", this);
    QPushButton* cancel = makeButton(this, "&Cancel", "cancelButton");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(help);
    row->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(row);
    resize(320, 360);
}

void MaskBuilderWindow::accept() {
    const std::string joined = builder_.text();
    if (const std::size_t chars = utf8Length(joined); chars > width_) {
        // Refused whole: the caller's text is never cut.
        s_.dialogs.message("The marked masks make a list of " + std::to_string(chars) +
                               " characters; it may have at most " + std::to_string(width_) + ". Unmark some masks.",
                           "Quillet - Mask Builder", Icon::Exclamation);
        return;
    }
    QDialog::accept();
}

// --- Mask Themes -----------------------------------------------------------------------

MaskThemeListWindow::MaskThemeListWindow(const Services& services, ThemeListMode mode, QWidget* parent)
    : QDialog(parent), s_(services), mode_(mode) {
    setObjectName("maskThemes");
    setWindowTitle("Mask Themes");
    model_ = new RecordListModel("Name",
                                 {[this] { return static_cast<int>(themes_.size()); },
                                  [this](int row) { return QString::fromStdString(themes_[std::size_t(row)].NAME); },
                                  {},
                                  {}},
                                 this);
    list_ = makeList(model_, "themeList", "Name", this);
    const bool selecting = mode == ThemeListMode::Select;
    const BrowseButtons b = browseButtons(s_, "mask-themes", selecting ? "&Cancel" : "&Close", this, list_);
    b.select->setEnabled(selecting);
    if (selecting) b.select->setDefault(true);
    connect(b.insert, &QPushButton::clicked, this, [this] { runForm(FormRequest::Add); });
    connect(b.change, &QPushButton::clicked, this, [this] { runForm(FormRequest::Change); });
    connect(b.remove, &QPushButton::clicked, this, [this] { runForm(FormRequest::Delete); });
    connect(b.select, &QPushButton::clicked, this, &MaskThemeListWindow::select);
    connect(list_, &QTreeView::activated, this, [this] {
        if (mode_ == ThemeListMode::Select)
            select();
        else
            runForm(FormRequest::Change);
    });
    layOutBrowse(this, list_, b);
    resize(420, 320);
    reload();
}

void MaskThemeListWindow::reload(std::int32_t currentSysId) {
    int row = std::max(currentRow(list_), 0);
    auto all = s_.catalog.themes().all();
    if (!all) showError(s_, all.error());
    themes_ = all ? std::move(*all) : std::vector<MaskTheme>{};
    model_->refresh();
    for (std::size_t i = 0; i < themes_.size() && currentSysId != 0; ++i)
        if (themes_[i].SYSID == currentSysId) row = static_cast<int>(i);
    setCurrentRow(list_, row);
}

void MaskThemeListWindow::runForm(FormRequest request) {
    MaskTheme record;
    const int row = currentRow(list_);
    if (request != FormRequest::Add) {
        if (row < 0) return;
        record = themes_[std::size_t(row)];
    }
    if (UpdateMaskThemes(s_, request, record, this) == FormResult::Completed)
        reload(request == FormRequest::Delete ? 0 : record.SYSID);
    list_->setFocus();
}

void MaskThemeListWindow::select() {
    const int row = currentRow(list_);
    if (mode_ != ThemeListMode::Select || row < 0) return;
    chosen_ = themes_[std::size_t(row)];
    accept();
}

// --- Update Mask Theme -----------------------------------------------------------------

MaskThemeForm::MaskThemeForm(const Services& services, FormRequest request, MaskTheme& record, QWidget* parent)
    : QDialog(parent), s_(services), request_(request), record_(record) {
    setObjectName("updateMaskTheme");
    setWindowTitle("Update Mask Theme");
    auto* status = new QLabel(request == FormRequest::Add ? "Record will be Added" : "Record will be Changed", this);
    status->setObjectName("statusText");

    name_ = new QLineEdit(QString::fromStdString(record.NAME), this);
    name_->setObjectName("nameEntry");
    name_->setToolTip("Name of the Mask Theme");
    mask_ = new QPlainTextEdit(QString::fromStdString(record.MASK), this);
    mask_->setObjectName("maskEntry");
    mask_->setToolTip("Combination of filemasks separated by commas (Wildcards are ok)");
    mask_->setTabChangesFocus(true);
    mask_->setFixedHeight(QFontMetrics(mask_->font()).lineSpacing() * 3 + 12);
    auto* lookUp = new QPushButton("...", this);
    lookUp->setObjectName("lookUpMasks");
    lookUp->setToolTip("Look Up Masks");
    lookUp->setAccessibleName("Look Up Masks");
    lookUp->setAutoDefault(false);
    lookUp->setFixedWidth(QFontMetrics(lookUp->font()).horizontalAdvance("...") + 24);
    connect(lookUp, &QPushButton::clicked, this, &MaskThemeForm::lookUpMasks);
    exclude_ = new QCheckBox("&Exclude all files with this mask", this);
    exclude_->setObjectName("excludeBox");
    exclude_->setAccessibleName("Exclude all files with this mask");
    exclude_->setChecked(record.EXCLUDE != 0);
    recurse_ = new QCheckBox("&Recurse Subdirectories", this);
    recurse_->setObjectName("recurseBox");
    recurse_->setAccessibleName("Recurse Subdirectories");
    recurse_->setChecked(record.RECURSE != 0);
    auto* note = new QLabel(masktext::MultipleMasksNote, this);
    note->setObjectName("maskNote");
    note->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->addWidget(buddyLabel("&Name:", name_, this), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(buddyLabel("&Mask:", mask_, this), 1, 0, Qt::AlignTop);
    grid->addWidget(mask_, 1, 1);
    grid->addWidget(lookUp, 1, 2, Qt::AlignTop);
    grid->addWidget(exclude_, 2, 1, 1, 2);
    grid->addWidget(recurse_, 3, 1, 1, 2);
    grid->addWidget(note, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    // The buttons in the order Help, Cancel, OK.
    QPushButton* help = helpButton("Help", s_, "mask-theme-form", this);
    QPushButton* cancel = makeButton(this, "Cancel", "cancelButton");
    QPushButton* ok = makeButton(this, "OK", "okButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(status, 1);
    row->addWidget(help);
    row->addWidget(cancel);
    row->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(row);
    resize(520, sizeHint().height());
}

void MaskThemeForm::lookUpMasks() {
    std::string text = mask_->toPlainText().toStdString();
    if (BuildMasks(s_, text, MaskTextWidth, this)) mask_->setPlainText(QString::fromStdString(text));
    mask_->setFocus();
}

void MaskThemeForm::accept() {
    auto refuse = [this](const std::string& why, QWidget* field) {
        s_.dialogs.message(why, "Update Mask Theme", Icon::Exclamation);
        field->setFocus();
    };
    const std::string name = name_->text().trimmed().toStdString();
    if (name.empty()) return refuse("Enter a name for the mask theme.", name_);
    if (const std::size_t chars = utf8Length(name); chars > kThemeNameWidth)
        return refuse("The name has " + std::to_string(chars) + " characters; it may have at most " +
                          std::to_string(kThemeNameWidth) + ".",
                      name_);
    std::string mask = mask_->toPlainText().toStdString();
    if (const std::string problem = MaskListProblem(mask, MaskTextWidth); !problem.empty())
        return refuse(problem, mask_);
    NormalizeMaskList(mask, MaskTextWidth);

    MaskTheme changed = record_;
    changed.NAME = name;
    changed.MASK = mask;
    changed.EXCLUDE = exclude_->isChecked() ? 1 : 0;
    changed.RECURSE = recurse_->isChecked() ? 1 : 0;
    if (request_ == FormRequest::Add) {
        // The unique name key refuses a name another theme has.
        auto stored = s_.catalog.themes().insert(changed);
        if (!stored) return refuse(stored.error(), name_);
        record_ = *stored;
    } else {
        if (Status saved = s_.catalog.themes().update(changed); !saved) return refuse(saved.error(), name_);
        record_ = changed;
    }
    QDialog::accept();
}

FormResult UpdateMaskThemes(const Services& services, FormRequest request, MaskTheme& record, QWidget* parent) {
    if (request == FormRequest::Delete) {
        if (!confirmDelete(services)) return FormResult::Cancelled;
        if (Status gone = services.catalog.themes().erase(record); !gone) {
            showError(services, gone.error());
            return FormResult::Cancelled;
        }
        return FormResult::Completed;
    }
    MaskThemeForm form(services, request, record, parent);
    return form.exec() == QDialog::Accepted ? FormResult::Completed : FormResult::Cancelled;
}

}  // namespace quillet
