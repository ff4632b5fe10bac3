#pragma once

#include <QDialog>
#include <memory>

#include "catalog/Records.h"
#include "framework/Services.h"
#include "maintenance/ui/FormParts.h"

class QLineEdit;
class QPlainTextEdit;

namespace quillet {

// "Update Favorites Folder": a named folder that archives are copied into.
class FavoritesForm : public QDialog {
    Q_OBJECT
public:
    FavoritesForm(const Services& services, FormRequest request, const Project& record, QWidget* parent = nullptr);

    FormResult result() const { return result_; }
    const Project& record() const { return record_; }

    void accept() override;

private:
    void lookUpLocation();

    const Services& services_;
    FormRequest request_;
    Project record_;
    FormResult result_ = FormResult::Cancelled;
    QLineEdit* name_;
    QLineEdit* location_;
    QPlainTextEdit* notes_;
    std::unique_ptr<forms::FolderCheck> locationCheck_;
};

}  // namespace quillet
