#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/Records.h"
#include "framework/Services.h"

class QLineEdit;

namespace quillet {

// "Copying A Project": a new project with the source's settings and components.
class CopyProjectForm : public QDialog {
    Q_OBJECT
public:
    CopyProjectForm(const Services& services, const Project& source, const std::vector<std::string>& prefixesInUse,
                    QWidget* parent = nullptr);

    FormResult result() const { return result_; }
    // The new project (valid when completed).
    const Project& copy() const { return copy_; }

    void accept() override;

private:
    const Services& services_;
    Project source_;
    Project copy_;
    FormResult result_ = FormResult::Cancelled;
    QLineEdit* name_;
    QLineEdit* prefix_;
};

}  // namespace quillet
