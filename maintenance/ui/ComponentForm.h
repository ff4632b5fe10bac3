#pragma once

#include <QDialog>

#include "catalog/Records.h"
#include "framework/Services.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace quillet {

// "Update project components": one folder-and-mask rule of a project.
class ComponentForm : public QDialog {
    Q_OBJECT
public:
    ComponentForm(const Services& services, FormRequest request, const Component& record, bool copy,
                  QWidget* parent = nullptr);

    FormResult result() const { return result_; }
    // What was stored (valid when completed).
    const Component& record() const { return record_; }

    void accept() override;

private:
    void display(const Component& c);
    void pathAccepted();
    void lookUpPath();
    void buildMasks();
    void importTheme();
    void noteFolder();

    const Services& services_;
    FormRequest request_;
    Component record_;
    FormResult result_ = FormResult::Cancelled;
    QLineEdit* path_;
    QPlainTextEdit* mask_;
    QCheckBox* exclude_;
    QCheckBox* recurse_;
};

}  // namespace quillet
