#include "maintenance/ui/FormParts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "framework/CreateFolderPath.h"
#include "framework/Dialogs.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/ProjectRules.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::forms {

namespace {

constexpr const char* kInvalidTitle = "Invalid Directory";

std::string projectFormText(const std::string& path) {
    return "Directory Not Found:||" + path +
           "||What would you like to do?||You may ignore this invalid path temporarily. ||**NOTE!!: You should only "
           "choose IGNORE if you know for a fact that the destination path will be available when you execute the "
           "backup!!";
}

}  // namespace

QPushButton* button(const QString& text, const char* objectName, QWidget* parent, const QString& tip,
                    const QString& accessibleName) {
    auto* b = makeButton(parent, text, objectName);
    if (!accessibleName.isEmpty()) b->setAccessibleName(accessibleName);
    if (!tip.isEmpty()) b->setToolTip(tip);
    // A look-up button is as narrow as its dots allow.
    if (text == "...")
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(text) + 4 * b->fontMetrics().averageCharWidth());
    return b;
}

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(buddy->objectName() + "Label");
    label->setBuddy(buddy);
    QString name = withoutAccessKey(text);
    if (name.endsWith(':')) name.chop(1);
    buddy->setAccessibleName(name);
    return label;
}

QLineEdit* entry(const char* objectName, QWidget* parent, const QString& tip) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(objectName);
    if (!tip.isEmpty()) e->setToolTip(tip);
    return e;
}

bool checkOnLeaving(const QWidget* entry) {
    const QWidget* next = QApplication::focusWidget();
    return next != entry && !qobject_cast<const QAbstractButton*>(next);
}

void openHelp(const Services& services, const std::string& anchor) {
    HelpManual(services.paths.manualFolder).open(anchor);
}

bool folderEnters(FileSystem& fs, const std::string& folder) {
    const std::string remembered = fs.currentFolder();
    const bool enters = static_cast<bool>(fs.setCurrentFolder(folder));
    (void)fs.setCurrentFolder(remembered);
    return enters;
}

bool FolderCheck::run() {
    if (ignored) return true;
    const std::string typed = entry->text().toStdString();
    if (typed.find_first_not_of(" \t") == std::string::npos) return true;  // saving says a folder is needed
    const std::string path = NormalizeFolderPath(typed);
    entry->setText(QString::fromStdString(path));
    entry->setModified(false);
    if (folderEnters(services.fs, path)) return true;

    const int choice = allowIgnore
                           ? services.dialogs.message(projectFormText(path), kInvalidTitle, Icon::Exclamation,
                                                      "&Create|&Look Up|&Try Again|&Ignore")
                           : services.dialogs.message("Directory Not Found. What would you like to do?", kInvalidTitle,
                                                      Icon::Exclamation, "&Create|&Look Up|&Try Again");
    switch (choice) {
        case 1:
            // quiet: a folder that cannot be created shows by staying missing.
            CreateFolderPath(path, true, services.dialogs);
            entry->setFocus();
            return folderEnters(services.fs, path);
        case 2:
            if (lookUp) lookUp();
            return false;
        case 4:
            if (!allowIgnore) return false;
            ignored = true;
            return true;
        default:
            entry->setFocus();
            return false;
    }
}

}  // namespace quillet::forms
