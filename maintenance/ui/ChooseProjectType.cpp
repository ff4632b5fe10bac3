#include "maintenance/ui/ChooseProjectType.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "framework/ui/Controls.h"
#include "maintenance/ui/FormParts.h"
#include "maintenance/ui/ProjectTypeDialog.h"

namespace quillet {

ProjectTypeDialog::ProjectTypeDialog(const Services& services, QWidget* parent) : QDialog(parent) {
    setObjectName("chooseProjectType");
    setWindowTitle("New Project");

    normal_ = new QRadioButton("Normal Project (The standard configuration)", this);
    normal_->setObjectName("normalProject");
    normal_->setChecked(true);
    favorites_ = new QRadioButton("\"Favorites\" Folder", this);
    favorites_->setObjectName("favoritesFolder");
    for (QRadioButton* r : {normal_, favorites_}) r->setAccessibleName(withoutAccessKey(r->text()));

    auto* note = new QLabel(
        "A \"Favorites\" Folder:<ul><li>Does not allow the backing up of a project, but allows you to store/view files "
        "in a particular folder.</li><li>Backup files can be copied into it, where they are kept: they are never "
        "rotated away as new backups are made.</li></ul>",
        this);
    note->setObjectName("favoritesNote");
    note->setWordWrap(true);
    note->setTextFormat(Qt::RichText);
    note->setIndent(20);

    auto* ok = forms::button("&OK", "okButton", this);
    auto* cancel = forms::button("&Cancel", "cancelButton", this);
    auto* help = forms::button("&Help", "helpButton", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [&services] { forms::openHelp(services, "new-project"); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(normal_);
    layout->addWidget(favorites_);
    layout->addWidget(note);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

int ProjectTypeDialog::choice() const {
    return favorites_->isChecked() ? 2 : 1;
}

int ChooseProjectType(const Services& services, QWidget* parent) {
    ProjectTypeDialog dialog(services, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.choice() : 0;
}

}  // namespace quillet
