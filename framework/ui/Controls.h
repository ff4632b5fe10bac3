#pragma once

// How every window names its controls, for tests (object name) and for screen readers
// (accessible name = the visible label without its access-key marks).

#include <QPushButton>
#include <QString>
#include <QWidget>

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

}  // namespace quillet
