#pragma once

#include <QDialog>
#include <string>

#include "archive/lspclass.h"
#include "framework/Dialogs.h"

class QLineEdit;

namespace quillet {

// "Enter Path": asks for the base folder that stored paths are made relative to. The
// entry ("pathEntry", 127 characters) starts with the current base folder; "..."
// ("browseButton") picks a folder through the Dialogs seam; "&OK" ("okButton") and
// "&Cancel" ("cancelButton").
class EnterPathDialog : public QDialog {
    Q_OBJECT
public:
    EnterPathDialog(Dialogs& dialogs, const std::string& currentBase, QWidget* parent = nullptr);

    // The entry after OK, "/" when it was left empty; "" after Cancel.
    std::string result() const { return result_; }

    // Shows the dialog modally and returns result().
    static std::string ask(Dialogs& dialogs, const std::string& currentBase, QWidget* parent = nullptr);

private:
    void browse();
    void accept() override;

    Dialogs& dialogs_;
    QLineEdit* entry_ = nullptr;
    std::string result_;
};

// The seam lspclass asks through when paths are stored relative.
EnterPathFunction enterPathDialog(Dialogs& dialogs, QWidget* parent = nullptr);

}  // namespace quillet
