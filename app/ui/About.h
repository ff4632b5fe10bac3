#pragma once

#include <QDialog>

namespace quillet {

struct Services;

// The "About" window: the program's name and version and the versions of the packing and
// unpacking libraries.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

void About(const Services& services, QWidget* parent = nullptr);

}  // namespace quillet
