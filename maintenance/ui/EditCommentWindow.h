#pragma once

#include <QDialog>

#include "catalog/ArchiveCommentRecord.h"
#include "framework/Services.h"

class QPlainTextEdit;

namespace quillet {

// "Edit Archive Comments": the notes of the archive named in services.archive
// ("notesEdit", at most 1000 bytes), "&OK" ("okButton") stores them as the archive's
// comment item, "&Cancel" ("cancelButton") leaves the archive alone, "&Date/Time"
// ("dateTimeButton") appends the date and time, "&Help" ("helpButton"). The comment is
// read when the window is built, so tests and screenshots can drive it without exec().
class EditCommentWindow : public QDialog {
    Q_OBJECT
public:
    explicit EditCommentWindow(const Services& services, QWidget* parent = nullptr);

    // The notes as the record keeps them (lines end in "\r\n").
    std::string notes() const;
    void setNotes(const std::string& notes);
    void appendDateTime();

    // Stores the comment; the window stays open when that fails (the reason was shown).
    void accept() override;

private:
    void keepWithinRecord();

    Services services_;
    ArchiveCommentRecord record_;
    QPlainTextEdit* notes_ = nullptr;
};

}  // namespace quillet
