#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "framework/Services.h"
#include "maintenance/Preferences.h"
#include "maintenance/ui/FormParts.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace quillet {

// "Quillet - Preferences": every setting of the program on five pages. The application
// settings are local copies written only on OK; the archive controls edit the console's
// archive object directly, and Cancel takes its stored settings back.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // toolTipsDisabled: the console's tool-tip flag, which "Shut off Tooltips" edits.
    PreferencesDialog(const Services& services, bool toolTipsDisabled, QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // What the dialog holds now (the entries as typed, the checks as set).
    AppPreferences preferences() const;
    // Whether the default destination question was answered Yes and the update ran.
    bool destinationUpdateRan() const { return destinationUpdateRan_; }

    void accept() override;
    void reject() override;

private:
    QWidget* buildGeneral();
    QWidget* buildFilePaths();
    QWidget* buildSounds();
    QWidget* buildUnused();
    QWidget* buildOptimization();
    void showValues();
    void intervalAccepted();
    void lookUpFolder(QLineEdit* entry, bool temporaryFolder);
    bool folderAccepted(forms::FolderCheck& check, bool temporaryFolder);
    void soundAccepted(QLineEdit* entry, int which);
    void lookUpSound(QLineEdit* entry, int which);
    void lookUpTheme();
    bool checkWidths();
    void showPageOf(QWidget* control);

    const Services& s_;
    AppPreferences read_;         // as read when the dialog opened
    std::string oldDestination_;  // the default destination as read
    bool destinationUpdateRan_ = false;

    QTabWidget* pages_;
    QButtonGroup* compression_;
    QButtonGroup* pathInfo_;
    QSpinBox* interval_;
    QCheckBox* showPopup_;
    QCheckBox* suspendTimer_;
    QCheckBox* remindOnlyIfChanged_;
    QButtonGroup* unpackOverwrite_;
    QCheckBox* createDirectory_;
    QCheckBox* usePathInfo_;
    QCheckBox* startMinimized_;
    QCheckBox* confirmExit_;
    QCheckBox* disableToolTips_;
    QLineEdit* maskName_;
    QLineEdit* destination_;
    QLineEdit* extraction_;
    QLineEdit* tempPath_;
    QLineEdit* completedSound_;
    QLineEdit* reminderSound_;
    QLineEdit* errorSound_;
    QButtonGroup* packOverwrite_;
    QCheckBox* quietMode_;
    QCheckBox* retain_;
    QCheckBox* readOnly_;
    QCheckBox* hidden_;
    QCheckBox* system_;
    QButtonGroup* speed_;
    std::unique_ptr<forms::FolderCheck> destinationCheck_;
    std::unique_ptr<forms::FolderCheck> extractionCheck_;
    std::unique_ptr<forms::FolderCheck> tempCheck_;
};

// The preferences dialog, modal. The console re-reads its settings when it returns.
void SetPreferences(const Services& services, bool toolTipsDisabled, QWidget* parent = nullptr);

}  // namespace quillet
