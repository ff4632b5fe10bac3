#pragma once

#include <QString>
#include <functional>
#include <string>

#include "framework/Services.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quillet {

class FileSystem;

// Small pieces shared by the project, component, favourites and copy forms, so every one of
// them names its controls for the keyboard and for screen readers the same way.
namespace forms {

// A push button with its object name and the accessible name of its text (or of
// accessibleName when the text says nothing, as "..." does).
QPushButton* button(const QString& text, const char* objectName, QWidget* parent, const QString& tip = {},
                    const QString& accessibleName = {});
// A label that is the buddy's caption: the buddy takes the label's text as its accessible name.
QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent);
// A single-line entry; no maximum length, so nothing typed or pasted is ever cut (the
// stored width is checked when the form is saved).
QLineEdit* entry(const char* objectName, QWidget* parent, const QString& tip = {});

// Whether an entry's accepted check that may ask the user should run now, as the entry
// loses the focus: not when the focus goes to a button (OK checks again anyway, and Cancel,
// Help or a look-up should not be met by a question) nor when it stays (Enter, which
// presses OK next).
bool checkOnLeaving(const QWidget* entry);

// Opens the manual at the form's section.
void openHelp(const Services& services, const std::string& anchor);

// Whether the folder can be made the current folder; the current folder is the same
// afterwards.
bool folderEnters(FileSystem& fs, const std::string& folder);

// The check of a destination or favourites folder. The entry's text is completed with
// NormalizeFolderPath; when the folder cannot be entered the user chooses Create, Look Up,
// Try Again or (with allowIgnore) Ignore. Returns true when the form may be saved with the
// folder: it exists (also once created) or the user chose Ignore, which sets ignored so
// later checks of this form pass at once.
struct FolderCheck {
    const Services& services;
    QLineEdit* entry;
    bool allowIgnore;
    std::function<void()> lookUp;
    bool ignored = false;

    bool run();
};

}  // namespace forms
}  // namespace quillet
