#include "maintenance/ui/RenameDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/HousekeepingRules.h"
#include "maintenance/ui/RenameWindow.h"
#include "platform/Paths.h"

namespace quillet {

namespace {
constexpr int EntryWidth = 99;
}

RenameWindow::RenameWindow(const Services& services, const std::string& archivePath, QWidget* parent)
    : QDialog(parent), services_(services), archivePath_(archivePath) {
    setObjectName("renameWindow");
    setWindowTitle("Rename File");

    auto* label = new QLabel("&New Filename:", this);
    entry_ = new QLineEdit(this);
    nameControl(entry_, "newFilenameEntry", label->text());
    entry_->setMaxLength(EntryWidth);
    entry_->setMinimumWidth(280);
    label->setBuddy(entry_);
    const std::size_t slash = archivePath.rfind('/');
    entry_->setText(QString::fromStdString(slash == std::string::npos ? archivePath : archivePath.substr(slash + 1)));
    entry_->selectAll();

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(label);
    entryRow->addWidget(entry_, 1);
    auto* buttons = okCancelHelpRow(this, services_.paths.manualFolder, "rename-file");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entryRow);
    layout->addLayout(buttons);
    entry_->setFocus();
}

void RenameWindow::accept() {
    renamed_ = RenameArchiveFile(services_.dialogs, archivePath_, entry_->text().toStdString());
    QDialog::accept();
}

bool RenameDialog(const Services& services, const std::string& archivePath, QWidget* parent) {
    RenameWindow window(services, archivePath, parent);
    window.exec();
    return window.renamed();
}

}  // namespace quillet
