#include "maintenance/ui/UpdateFavorites.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/ui/FavoritesForm.h"

namespace quillet {

namespace {

constexpr const char* kTitle = "Update Favorites Folder";

QString statusFor(FormRequest request) {
    switch (request) {
        case FormRequest::Add:
            return "Record will be Added";
        case FormRequest::Change:
            return "Record will be Changed";
        case FormRequest::Delete:
            return "Record will be Deleted";
    }
    return {};
}

}  // namespace

FavoritesForm::FavoritesForm(const Services& services, FormRequest request, const Project& record, QWidget* parent)
    : QDialog(parent), services_(services), request_(request), record_(record) {
    setObjectName("updateFavorites");
    setWindowTitle(kTitle);
    if (request == FormRequest::Add) {
        if (record_.SYSID == 0) {
            if (auto primed = services.catalog.projects().prime()) record_ = *primed;
        }
        record_.FAVORITES = 1;
        record_.PREFIX.clear();
        record_.recordId = 0;
    }

    name_ = forms::entry("name", this);
    location_ = forms::entry("location", this);
    auto* lookUp = forms::button("...", "locationLookUp", this, "Pick a path", "Pick a path");
    notes_ = new QPlainTextEdit(this);
    notes_->setObjectName("notes");
    notes_->setTabChangesFocus(true);
    notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 4 + 12);
    auto* status = new QLabel(statusFor(request), this);
    status->setObjectName("status");

    auto* ok = forms::button("&OK", "okButton", this);
    auto* cancel = forms::button("Cancel", "cancelButton", this);
    auto* help = forms::button("Help", "helpButton", this);
    ok->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(forms::labelFor("Name:", name_, this), name_);
    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(location_, 1);
    locationRow->addWidget(lookUp);
    form->addRow(forms::labelFor("&Location:", location_, this), locationRow);
    form->addRow(forms::labelFor("Notes:", notes_, this), notes_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(520);

    name_->setText(QString::fromStdString(record_.NAME));
    location_->setText(QString::fromStdString(record_.DESTINATIONPATH));
    notes_->setPlainText(QString::fromStdString(record_.NOTES));
    if (request == FormRequest::Delete)
        for (QWidget* w : std::initializer_list<QWidget*>{name_, location_, lookUp, notes_}) w->setEnabled(false);

    locationCheck_ = std::make_unique<forms::FolderCheck>(
        forms::FolderCheck{services_, location_, false, [this] { lookUpLocation(); }});

    connect(location_, &QLineEdit::editingFinished, this, [this] {
        if (location_->isModified() && forms::checkOnLeaving(location_)) locationCheck_->run();
    });
    connect(lookUp, &QPushButton::clicked, this, &FavoritesForm::lookUpLocation);
    connect(ok, &QPushButton::clicked, this, &FavoritesForm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { forms::openHelp(services_, "update-favorites"); });
}

void FavoritesForm::lookUpLocation() {
    const auto picked = services_.dialogs.pickFolder("Pick a path", location_->text().toStdString());
    if (picked) {
        location_->setText(QString::fromStdString(NormalizeFolderPath(*picked)));
        location_->setModified(false);
    }
    location_->setFocus();
}

void FavoritesForm::accept() {
    if (request_ == FormRequest::Delete) {
        if (Status s = services_.catalog.deleteProject(record_.SYSID); !s) {
            services_.dialogs.message(s.error(), kTitle, Icon::Exclamation);
            return;
        }
        result_ = FormResult::Completed;
        QDialog::accept();
        return;
    }
    // The folder must be there: archives are copied into it, never made there by a backup.
    if (!locationCheck_->run()) return;
    Project p = record_;
    p.NAME = name_->text().toStdString();
    p.DESTINATIONPATH = location_->text().toStdString();
    p.NOTES = notes_->toPlainText().toStdString();
    auto saved = SaveProject(services_.catalog, p, request_ == FormRequest::Add);
    if (!saved) {
        services_.dialogs.message(saved.error(), kTitle, Icon::Exclamation);
        return;
    }
    record_ = *saved;
    result_ = FormResult::Completed;
    QDialog::accept();
}

FormResult UpdateFavorites(const Services& services, FormRequest request, Project& record, QWidget* parent) {
    if (Status s = services.catalog.open(); !s) {
        services.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        return FormResult::Cancelled;
    }
    FavoritesForm form(services, request, record, parent);
    form.exec();
    if (form.result() == FormResult::Completed) record = form.record();
    services.catalog.close();
    return form.result();
}

}  // namespace quillet
