#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "catalog/Records.h"
#include "framework/Services.h"
#include "maintenance/MaskBuilder.h"
#include "maintenance/ui/BrowseMaskThemes.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

// The windows of the mask pick list, the mask builder and the mask themes. Each can be
// built without exec() so tests and the manual's pictures can drive it; the entry points
// (BrowseMasks, UpdateMasks, BuildMasks, BrowseMaskThemes, UpdateMaskThemes) open the
// catalog, run one of these modally and close the catalog again.
namespace quillet {

class RecordListModel;

namespace masktext {
inline constexpr const char* DeleteQuestion = "Are you sure you want to delete the highlighted record?";
inline constexpr const char* DeleteTitle = "Confirm Delete";
inline constexpr const char* MultipleMasksNote =
    "You can enter multiple file masks in the MASKS field. These masks must be separated by a comma (such as: "
    "*.doc, *.txt, *.dat). You can press the [...] button to assist you in building these masks. (Max 500 "
    "characters) (Wildcards are ok)";
}  // namespace masktext

// "Browse the Masks File": the pick list by K_Mask.
class MaskListWindow : public QDialog {
    Q_OBJECT
public:
    MaskListWindow(const Services& services, QWidget* parent = nullptr);
    const std::vector<Mask>& masks() const { return masks_; }
    // Reads the list again, keeping the row of the given mask current when it is there.
    void reload(const std::string& current = {});

private:
    void runForm(FormRequest request);
    const Services& s_;
    std::vector<Mask> masks_;
    RecordListModel* model_;
    QTreeView* list_;
};

// "Update Masks": one mask.
class MaskForm : public QDialog {
    Q_OBJECT
public:
    MaskForm(const Services& services, FormRequest request, Mask& record, QWidget* parent = nullptr);
    void accept() override;  // checks and saves; stays open when refused

private:
    const Services& s_;
    FormRequest request_;
    Mask& record_;
    QLineEdit* mask_;
};

// "Quillet - Mask Builder": the pick list with a mark per mask.
class MaskBuilderWindow : public QDialog {
    Q_OBJECT
public:
    MaskBuilderWindow(const Services& services, std::string text, std::size_t width, QWidget* parent = nullptr);
    // The text OK gives (the marked masks, joined).
    std::string text() const { return builder_.text(); }
    const MaskBuilder& builder() const { return builder_; }
    void accept() override;  // refuses a list over the width

private:
    const Services& s_;
    std::size_t width_;
    std::vector<Mask> masks_;
    MaskBuilder builder_;
    RecordListModel* model_;
    QTreeView* list_;
};

// "Mask Themes": the themes by K_Name; in select mode Select returns the current one.
class MaskThemeListWindow : public QDialog {
    Q_OBJECT
public:
    MaskThemeListWindow(const Services& services, ThemeListMode mode, QWidget* parent = nullptr);
    const std::vector<MaskTheme>& themes() const { return themes_; }
    // The theme chosen with Select (select mode only).
    const std::optional<MaskTheme>& chosen() const { return chosen_; }
    void reload(std::int32_t currentSysId = 0);

private:
    void runForm(FormRequest request);
    void select();
    const Services& s_;
    ThemeListMode mode_;
    std::vector<MaskTheme> themes_;
    std::optional<MaskTheme> chosen_;
    RecordListModel* model_;
    QTreeView* list_;
};

// "Update Mask Theme": one theme.
class MaskThemeForm : public QDialog {
    Q_OBJECT
public:
    MaskThemeForm(const Services& services, FormRequest request, MaskTheme& record, QWidget* parent = nullptr);
    void accept() override;  // normalises the masks and saves; stays open when refused

private:
    void lookUpMasks();
    const Services& s_;
    FormRequest request_;
    MaskTheme& record_;
    QLineEdit* name_;
    QPlainTextEdit* mask_;
    QCheckBox* exclude_;
    QCheckBox* recurse_;
};

}  // namespace quillet
