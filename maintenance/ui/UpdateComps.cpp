#include "maintenance/ui/UpdateComps.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "framework/ui/Controls.h"
#include "maintenance/NormalizeMaskList.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/ui/BrowseMaskThemes.h"
#include "maintenance/ui/BuildMasks.h"
#include "maintenance/ui/ComponentForm.h"
#include "maintenance/ui/FormParts.h"

namespace quillet {

namespace {

constexpr const char* kTitle = "Update project components";

QString titleFor(FormRequest request) {
    switch (request) {
        case FormRequest::Add:
            return "Adding a Project Component";
        case FormRequest::Change:
            return "Changing a Project Component";
        case FormRequest::Delete:
            return "Deleting a Project Component";
    }
    return kTitle;
}

}  // namespace

std::string& LastComponentFolder() {
    static std::string folder;
    return folder;
}

ComponentForm::ComponentForm(const Services& services, FormRequest request, const Component& record, bool copy,
                             QWidget* parent)
    : QDialog(parent), services_(services), request_(request), record_(record) {
    setObjectName("updateComps");
    setWindowTitle(titleFor(request));

    if (request == FormRequest::Add) {
        // A new component starts with the default theme's settings, or empty without one.
        record_.MASK.clear();
        record_.EXCLUDE = 0;
        record_.RECURSE = 0;
        const std::string themeName = services.settings.read("Preferences", "DefaultMaskName");
        if (themeName.find_first_not_of(' ') != std::string::npos) {
            auto theme = services.catalog.themes().byName(themeName);
            if (theme && theme->has_value()) {
                record_.MASK = (*theme)->MASK;
                record_.EXCLUDE = (*theme)->EXCLUDE;
                record_.RECURSE = (*theme)->RECURSE;
            }
        }
        record_.PATH = LastComponentFolder();
        if (copy) {
            record_.PATH = record.PATH;
            record_.MASK = record.MASK;
            record_.EXCLUDE = record.EXCLUDE;
            record_.RECURSE = record.RECURSE;
        }
        record_.recordId = 0;
    }

    path_ = forms::entry("path", this);
    auto* pathLookUp = forms::button("...", "pathLookUp", this, "Lookup the path", "Lookup the path");
    mask_ = new QPlainTextEdit(this);
    mask_->setObjectName("mask");
    mask_->setTabChangesFocus(true);
    mask_->setFixedHeight(mask_->fontMetrics().lineSpacing() * 4 + 12);
    auto* maskLookUp = forms::button("...", "maskLookUp", this, "Look Up Masks", "Look Up Masks");
    auto* theme = forms::button("Mask &Theme", "maskTheme", this, "Import a Mask Theme");
    exclude_ = new QCheckBox("&Exclude all files with this mask", this);
    exclude_->setObjectName("exclude");
    recurse_ = new QCheckBox("&Recurse Subdirectories", this);
    recurse_->setObjectName("recurse");
    for (QCheckBox* c : {exclude_, recurse_}) c->setAccessibleName(withoutAccessKey(c->text()));
    auto* note = new QLabel(
        "You can enter multiple file masks in the MASKS field. These masks must be separated by a comma (such as: "
        "*.doc, *.txt, *.dat). You can press the [...] button to assist you in building these masks. (Max 500 "
        "characters) (Wildcards are ok)",
        this);
    note->setObjectName("maskNote");
    note->setWordWrap(true);

    auto* ok = forms::button("&OK", "okButton", this);
    auto* cancel = forms::button("Cancel", "cancelButton", this);
    auto* help = forms::button("Help", "helpButton", this);
    ok->setDefault(true);

    auto* form = new QFormLayout;
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(pathLookUp);
    form->addRow(forms::labelFor("&Path:", path_, this), pathRow);
    auto* maskRow = new QHBoxLayout;
    maskRow->addWidget(mask_, 1);
    auto* maskButtons = new QVBoxLayout;
    maskButtons->addWidget(maskLookUp);
    maskButtons->addWidget(theme);
    maskButtons->addStretch();
    maskRow->addLayout(maskButtons);
    form->addRow(forms::labelFor("&Mask:", mask_, this), maskRow);
    form->addRow(QString(), exclude_);
    form->addRow(QString(), recurse_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    display(record_);
    if (request == FormRequest::Delete)
        for (QWidget* w :
             std::initializer_list<QWidget*>{path_, pathLookUp, mask_, maskLookUp, theme, exclude_, recurse_})
            w->setEnabled(false);

    connect(path_, &QLineEdit::editingFinished, this, &ComponentForm::pathAccepted);
    connect(pathLookUp, &QPushButton::clicked, this, &ComponentForm::lookUpPath);
    connect(maskLookUp, &QPushButton::clicked, this, &ComponentForm::buildMasks);
    connect(theme, &QPushButton::clicked, this, &ComponentForm::importTheme);
    connect(ok, &QPushButton::clicked, this, &ComponentForm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { forms::openHelp(services_, "update-components"); });
}

void ComponentForm::display(const Component& c) {
    path_->setText(QString::fromStdString(c.PATH));
    mask_->setPlainText(QString::fromStdString(c.MASK));
    exclude_->setChecked(c.EXCLUDE == 1);
    recurse_->setChecked(c.RECURSE == 1);
}

void ComponentForm::noteFolder() {
    LastComponentFolder() = path_->text().toStdString();
}

void ComponentForm::pathAccepted() {
    if (!path_->isModified() || !forms::checkOnLeaving(path_)) return;
    path_->setModified(false);
    const std::string typed = path_->text().toStdString();
    if (typed.find_first_not_of(" \t") == std::string::npos) return;
    const std::string path = NormalizeFolderPath(typed);
    path_->setText(QString::fromStdString(path));
    noteFolder();
    if (!forms::folderEnters(services_.fs, path)) lookUpPath();
}

void ComponentForm::lookUpPath() {
    const auto picked = services_.dialogs.pickFolder("Pick a path", path_->text().toStdString());
    if (picked) {
        path_->setText(QString::fromStdString(NormalizeFolderPath(*picked)));
        path_->setModified(false);
        noteFolder();
    }
    path_->setFocus();
}

void ComponentForm::buildMasks() {
    std::string text = mask_->toPlainText().toStdString();
    if (BuildMasks(services_, text, MaskTextWidth, this)) mask_->setPlainText(QString::fromStdString(text));
    mask_->setFocus();
}

void ComponentForm::importTheme() {
    // A cancelled theme list leaves the component as it was.
    if (const auto theme = BrowseMaskThemes(services_, ThemeListMode::Select, this)) {
        Component c = record_;
        c.PATH = path_->text().toStdString();
        c.MASK = theme->MASK;
        c.EXCLUDE = theme->EXCLUDE;
        c.RECURSE = theme->RECURSE;
        display(c);
    }
    mask_->setFocus();
}

void ComponentForm::accept() {
    ComponentStore store = services_.catalog.components();
    if (request_ == FormRequest::Delete) {
        if (Status s = store.erase(record_); !s) {
            services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
            return;
        }
        result_ = FormResult::Completed;
        QDialog::accept();
        return;
    }
    Component c = record_;
    c.PATH = path_->text().toStdString();
    c.MASK = mask_->toPlainText().toStdString();
    c.EXCLUDE = exclude_->isChecked() ? 1 : 0;
    c.RECURSE = recurse_->isChecked() ? 1 : 0;
    if (Status s = CheckComponent(c); !s) {
        services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        if (path_->text().trimmed().isEmpty())
            path_->setFocus();
        else
            mask_->setFocus();
        return;
    }
    if (request_ == FormRequest::Add) {
        auto stored = store.insert(c);
        if (!stored) {
            services_.dialogs.message(stored.error(), kTitle, Icon::Exclamation);
            return;
        }
        c = *stored;
    } else if (Status s = store.update(c); !s) {
        services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        return;
    }
    record_ = c;
    LastComponentFolder() = c.PATH;
    result_ = FormResult::Completed;
    QDialog::accept();
}

FormResult UpdateComps(const Services& services, FormRequest request, Component& record, bool copy, QWidget* parent) {
    if (Status s = services.catalog.open(); !s) {
        services.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        return FormResult::Cancelled;
    }
    ComponentForm form(services, request, record, copy, parent);
    form.exec();
    if (form.result() == FormResult::Completed) record = form.record();
    services.catalog.close();
    return form.result();
}

}  // namespace quillet
