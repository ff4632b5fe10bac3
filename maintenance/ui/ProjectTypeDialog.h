#pragma once

#include <QDialog>

#include "framework/Services.h"

class QRadioButton;

namespace quillet {

// The "New Project" choice between a normal project and a favourites folder.
class ProjectTypeDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProjectTypeDialog(const Services& services, QWidget* parent = nullptr);

    // 1 normal project, 2 favourites folder: the option chosen now.
    int choice() const;

private:
    QRadioButton* normal_;
    QRadioButton* favorites_;
};

}  // namespace quillet
