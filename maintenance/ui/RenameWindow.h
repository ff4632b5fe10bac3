#pragma once

#include <QDialog>
#include <string>

#include "framework/Services.h"

class QLineEdit;

namespace quillet {

// "Rename File": "&New Filename:" ("newFilenameEntry", 99 characters, starting with the
// archive's name) and "&OK" ("okButton"), which renames the archive in its folder and
// closes whether or not that worked (a failure is shown first); "&Cancel"
// ("cancelButton"), "&Help" ("helpButton").
class RenameWindow : public QDialog {
    Q_OBJECT
public:
    RenameWindow(const Services& services, const std::string& archivePath, QWidget* parent = nullptr);

    QLineEdit* entry() const { return entry_; }
    bool renamed() const { return renamed_; }
    void accept() override;

private:
    Services services_;
    std::string archivePath_;
    QLineEdit* entry_ = nullptr;
    bool renamed_ = false;
};

}  // namespace quillet
