#include "maintenance/ui/CopyProject.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/ui/CopyProjectForm.h"
#include "maintenance/ui/FormParts.h"

namespace quillet {

namespace {
constexpr const char* kTitle = "Copying A Project";
}

CopyProjectForm::CopyProjectForm(const Services& services, const Project& source,
                                 const std::vector<std::string>& prefixesInUse, QWidget* parent)
    : QDialog(parent), services_(services), source_(source) {
    setObjectName("copyProject");
    setWindowTitle(kTitle);

    name_ = forms::entry("name", this);
    prefix_ = forms::entry("prefix", this,
                           "A unique 4 character prefix for the project. All archives will begin with this prefix.");
    auto* status = new QLabel("Record will be Added", this);
    status->setObjectName("status");
    auto* ok = forms::button("OK", "okButton", this);
    auto* cancel = forms::button("Cancel", "cancelButton", this);
    auto* help = forms::button("&Help", "helpButton", this);
    ok->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(forms::labelFor("Name:", name_, this), name_);
    form->addRow(forms::labelFor("Prefix:", prefix_, this), prefix_);
    prefix_->setMaximumWidth(prefix_->fontMetrics().averageCharWidth() * 8 + 16);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(400);

    name_->setText(QString::fromStdString(CopyName(source.NAME)));
    prefix_->setText(QString::fromStdString(GeneratePrefix(prefixesInUse, systemLetterSource())));

    connect(prefix_, &QLineEdit::editingFinished, this, [this] {
        if (!prefix_->isModified()) return;
        prefix_->setModified(false);
        if (auto p = TypedPrefix(prefix_->text().toStdString(), name_->text().toStdString()))
            prefix_->setText(QString::fromStdString(*p));
    });
    connect(ok, &QPushButton::clicked, this, &CopyProjectForm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { forms::openHelp(services_, "copy-project"); });
}

void CopyProjectForm::accept() {
    auto copied = CopyProjectWithComponents(services_.catalog, source_.SYSID, name_->text().toStdString(),
                                            prefix_->text().toStdString());
    if (!copied) {
        services_.dialogs.message(copied.error(), kTitle, Icon::Exclamation);
        return;
    }
    copy_ = *copied;
    result_ = FormResult::Completed;
    QDialog::accept();
}

FormResult CopyProject(const Services& services, std::int32_t sourceSysId,
                       const std::vector<std::string>& prefixesInUse, QWidget* parent) {
    if (Status s = services.catalog.open(); !s) {
        services.dialogs.message(s.error(), kTitle, Icon::Exclamation);
        return FormResult::Cancelled;
    }
    FormResult result = FormResult::Cancelled;
    auto source = services.catalog.projects().bySysId(sourceSysId);
    if (!source || !source->has_value()) {
        services.dialogs.message(source ? "The project to copy is no longer in Project.tps." : source.error(), kTitle,
                                 Icon::Exclamation);
    } else {
        CopyProjectForm form(services, **source, prefixesInUse, parent);
        form.exec();
        result = form.result();
    }
    services.catalog.close();
    return result;
}

}  // namespace quillet
