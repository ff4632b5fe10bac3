#include "maintenance/ui/FindFile.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "archive/lspclass.h"
#include "framework/Settings.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/FindItems.h"
#include "maintenance/ui/FindFileWindow.h"
#include "platform/Paths.h"

namespace quillet {

namespace {

constexpr int EntryWidth = 100;
constexpr const char* Section = "FindFile";
constexpr const char* DeselectKey = "Deselect";
constexpr const char* ShowCountKey = "ShowCount";

FindRequest requestFrom(const Settings& settings, const std::string& text, std::int64_t startRow, bool all) {
    FindRequest request;
    request.text = text;
    request.startRow = startRow;
    request.all = all;
    request.deselect = settings.readFlag(Section, DeselectKey);
    request.showCount = settings.readFlag(Section, ShowCountKey);
    return request;
}

}  // namespace

FindFileWindow::FindFileWindow(const Services& services, std::string& searchText, std::int64_t startRow,
                               QWidget* parent)
    : QDialog(parent), services_(services), searchText_(searchText), currentRow_(startRow) {
    setObjectName("findFileWindow");
    setWindowTitle("Find File in Backup Set");

    auto* label = new QLabel("&Search For:", this);
    entry_ = new QLineEdit(this);
    nameControl(entry_, "searchEntry", label->text());
    entry_->setMaxLength(EntryWidth);
    entry_->setToolTip("Enter a filename or part of a filename to search for, such as .DOC or .TXT");
    entry_->setText(QString::fromStdString(searchText).left(EntryWidth));
    entry_->selectAll();
    entry_->setMinimumWidth(260);
    label->setBuddy(entry_);

    auto* findButton = makeButton(this, "&Find", "findButton");
    findButton->setDefault(true);
    auto* findAllButton = makeButton(this, "Find &All", "findAllButton");
    auto* note = new QLabel("Do Not Use WildCard characters (*,?)", this);
    note->setObjectName("wildcardNote");
    deselect_ = new QCheckBox("&De-Select all non-matching files if previously selected.", this);
    nameControl(deselect_, "deselectCheck", deselect_->text());
    showCount_ = new QCheckBox("Show the &number of records selected by Find All.", this);
    nameControl(showCount_, "showCountCheck", showCount_->text());
    deselect_->setChecked(services_.settings.readFlag(Section, DeselectKey));
    showCount_->setChecked(services_.settings.readFlag(Section, ShowCountKey));
    auto* helpButton = makeButton(this, "&Help", "helpButton");
    auto* cancelButton = makeButton(this, "&Cancel", "cancelButton");

    connect(findButton, &QPushButton::clicked, this, [this] { find(false); });
    connect(findAllButton, &QPushButton::clicked, this, [this] { find(true); });
    connect(helpButton, &QPushButton::clicked, this,
            [this] { HelpManual(services_.paths.manualFolder).open("find-file"); });
    connect(cancelButton, &QPushButton::clicked, this, &FindFileWindow::reject);

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(label);
    entryRow->addWidget(entry_, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(findButton);
    side->addWidget(findAllButton);
    side->addStretch(1);
    side->addWidget(helpButton);
    side->addWidget(cancelButton);
    auto* left = new QVBoxLayout;
    left->addLayout(entryRow);
    left->addWidget(note);
    left->addSpacing(6);
    left->addWidget(deselect_);
    left->addWidget(showCount_);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(side);
    entry_->setFocus();
}

void FindFileWindow::find(bool all) {
    searchText_ = entry_->text().toStdString();
    FindRequest request;
    request.text = searchText_;
    request.startRow = currentRow_;
    request.all = all;
    request.deselect = deselect_->isChecked();
    request.showCount = showCount_->isChecked();
    currentRow_ = FindItems(services_.dialogs, services_.archive.LSPQ, request);
    accept();
}

void FindFileWindow::done(int result) {
    services_.settings.writeFlag(Section, DeselectKey, deselect_->isChecked());
    services_.settings.writeFlag(Section, ShowCountKey, showCount_->isChecked());
    QDialog::done(result);
}

std::int64_t FindFile(const Services& services, std::string& searchText, std::int64_t startRow, bool findAgain,
                      QWidget* parent) {
    if (findAgain)
        return FindItems(services.dialogs, services.archive.LSPQ,
                         requestFrom(services.settings, searchText, startRow, false));
    FindFileWindow window(services, searchText, startRow, parent);
    window.exec();
    return window.currentRow();
}

}  // namespace quillet
