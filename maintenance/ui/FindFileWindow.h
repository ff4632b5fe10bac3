#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "framework/Services.h"

class QCheckBox;
class QLineEdit;

namespace quillet {

// "Find File in Backup Set": "&Search For:" ("searchEntry", 100 characters), "&Find"
// ("findButton") marks the next matching item after the start row, "Find &All"
// ("findAllButton") every matching item; either closes the window. The check boxes
// "deselectCheck" and "showCountCheck" are [FindFile] Deselect and ShowCount, read when
// the window is built and written when it closes. "&Help" ("helpButton"), "&Cancel"
// ("cancelButton").
class FindFileWindow : public QDialog {
    Q_OBJECT
public:
    FindFileWindow(const Services& services, std::string& searchText, std::int64_t startRow, QWidget* parent = nullptr);

    QLineEdit* entry() const { return entry_; }
    QCheckBox* deselectCheck() const { return deselect_; }
    QCheckBox* showCountCheck() const { return showCount_; }
    // The current row: the start row until a search moves it.
    std::int64_t currentRow() const { return currentRow_; }

    void find(bool all);
    void done(int result) override;

private:
    Services services_;
    std::string& searchText_;
    std::int64_t currentRow_;
    QLineEdit* entry_ = nullptr;
    QCheckBox* deselect_ = nullptr;
    QCheckBox* showCount_ = nullptr;
};

}  // namespace quillet
