#include "maintenance/ui/EditComment.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalog/ArchiveComment.h"
#include "framework/Clock.h"
#include "framework/Dialogs.h"
#include "framework/ui/Controls.h"
#include "framework/ui/HelpManual.h"
#include "maintenance/HousekeepingRules.h"
#include "maintenance/ui/EditCommentWindow.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

// The record keeps Windows line breaks; the editor shows plain ones.
QString forDisplay(const std::string& notes) {
    QString text = QString::fromStdString(notes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string forRecord(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out.toStdString();
}

}  // namespace

EditCommentWindow::EditCommentWindow(const Services& services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName("editCommentWindow");
    setWindowTitle("Edit Archive Comments");

    notes_ = new QPlainTextEdit(this);
    nameControl(notes_, "notesEdit", "Comments");
    notes_->setTabChangesFocus(true);
    notes_->setMinimumSize(420, 200);

    auto* dateButton = makeButton(this, "&Date/Time", "dateTimeButton");
    connect(dateButton, &QPushButton::clicked, this, &EditCommentWindow::appendDateTime);

    auto* buttons = okCancelHelpRow(this, services_.paths.manualFolder, "edit-comment");
    buttons->insertWidget(0, dateButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notes_, 1);
    layout->addLayout(buttons);

    // An archive without a comment item starts from a blank record and gets its first.
    record_ = ReadArchiveCommentRecord(services_.archive, services_.paths.programFolder);
    setNotes(record_.NOTES);
    connect(notes_, &QPlainTextEdit::textChanged, this, &EditCommentWindow::keepWithinRecord);
    notes_->setFocus();
}

std::string EditCommentWindow::notes() const {
    return forRecord(notes_->toPlainText());
}

void EditCommentWindow::setNotes(const std::string& notes) {
    notes_->setPlainText(forDisplay(notes));
    notes_->moveCursor(QTextCursor::End);
}

void EditCommentWindow::keepWithinRecord() {
    // The record's notes field holds 1000 bytes: refuse what does not fit, as a full
    // entry does, rather than cutting it silently when saving.
    const std::string text = notes();
    if (text.size() <= archive_comment::NotesWidth) return;
    const QSignalBlocker block(notes_);
    setNotes(std::string(utf8CutBytes(text, archive_comment::NotesWidth)));
    services_.dialogs.beep();
}

void EditCommentWindow::appendDateTime() {
    setNotes(NotesWithDateTime(notes(), services_.clock.now()));
    keepWithinRecord();
    notes_->setFocus();
}

void EditCommentWindow::accept() {
    record_.NOTES = notes();
    if (ReplaceArchiveComment(services_.archive, services_.paths.programFolder, record_) != 0) return;
    QDialog::accept();
}

FormResult EditComment(const Services& services, QWidget* parent) {
    EditCommentWindow window(services, parent);
    return window.exec() == QDialog::Accepted ? FormResult::Completed : FormResult::Cancelled;
}

}  // namespace quillet
