#pragma once

// How every window names its controls, for tests (object name) and for screen readers
// (accessible name = the visible label without its access-key marks).

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <string>

#include "framework/ui/HelpManual.h"

namespace quillet {

// The visible label without its access-key marks: "&Date/Time" gives "Date/Time", "A&&B"
// gives "A&B".
inline QString withoutAccessKey(QString label) {
    label.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    label.remove(QLatin1Char('&'));
    label.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return label.trimmed();
}

// Names a control for tests and for assistive technology alike.
inline void nameControl(QWidget* widget, const char* objectName, const QString& label) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(withoutAccessKey(label));
}

// A push button that Enter does not press unless it is made the default.
inline QPushButton* makeButton(QWidget* parent, const QString& label, const char* objectName) {
    auto* button = new QPushButton(label, parent);
    nameControl(button, objectName, label);
    button->setAutoDefault(false);
    return button;
}

// The OK / Cancel / Help row at the foot of a small window: OK (the default) accepts,
// Cancel rejects, Help opens the window's section of the manual.
inline QHBoxLayout* okCancelHelpRow(QDialog* dialog, const std::string& manualFolder, const char* anchor) {
    auto* ok = makeButton(dialog, "&OK", "okButton");
    ok->setDefault(true);
    auto* cancel = makeButton(dialog, "&Cancel", "cancelButton");
    auto* help = makeButton(dialog, "&Help", "helpButton");
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(help, &QPushButton::clicked, dialog,
                     [folder = manualFolder, section = std::string(anchor)] { HelpManual(folder).open(section); });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);
    return row;
}

}  // namespace quillet
