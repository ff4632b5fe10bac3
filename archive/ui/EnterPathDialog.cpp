#include "archive/ui/EnterPathDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

namespace {
constexpr int EntryWidth = 127;
}

EnterPathDialog::EnterPathDialog(Dialogs& dialogs, const std::string& currentBase, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName("enterPathDialog");
    setWindowTitle("Enter Path");

    auto* prompt = new QLabel("Path", this);
    entry_ = new QLineEdit(this);
    entry_->setObjectName("pathEntry");
    entry_->setMaxLength(EntryWidth);
    entry_->setText(QString::fromStdString(currentBase).left(EntryWidth));
    entry_->setMinimumWidth(320);
    prompt->setBuddy(entry_);

    auto* browseButton = new QPushButton("...", this);
    browseButton->setObjectName("browseButton");
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &EnterPathDialog::browse);

    auto* okButton = new QPushButton("&OK", this);
    okButton->setObjectName("okButton");
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton("&Cancel", this);
    cancelButton->setObjectName("cancelButton");
    cancelButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &EnterPathDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &EnterPathDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(prompt);
    row->addWidget(entry_, 1);
    row->addWidget(browseButton);
    auto* buttonsRow = new QHBoxLayout;
    buttonsRow->addStretch(1);
    buttonsRow->addWidget(okButton);
    buttonsRow->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttonsRow);
}

void EnterPathDialog::browse() {
    std::optional<std::string> folder = dialogs_.pickFolder("Enter Path", entry_->text().toStdString());
    if (folder) entry_->setText(QString::fromStdString(*folder).left(EntryWidth));
}

void EnterPathDialog::accept() {
    std::string text = entry_->text().trimmed().toStdString();
    result_ = text.empty() ? std::string("/") : text;
    QDialog::accept();
}

std::string EnterPathDialog::ask(Dialogs& dialogs, const std::string& currentBase, QWidget* parent) {
    EnterPathDialog dialog(dialogs, currentBase, parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.result();
}

EnterPathFunction enterPathDialog(Dialogs& dialogs, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [&dialogs, owner](const std::string& currentBase) {
        return EnterPathDialog::ask(dialogs, currentBase, owner.data());
    };
}

}  // namespace quillet
