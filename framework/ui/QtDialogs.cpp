#include "framework/ui/QtDialogs.h"

#include "framework/ui/Controls.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "framework/ConsoleDialogs.h"

namespace quillet {

namespace {

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Hand:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString plainLabel(const std::string& label) {
    return quillet::withoutAccessKey(QString::fromStdString(label));
}

bool isPattern(const QString& s) {
    return !s.contains(QLatin1Char('(')) && (s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')));
}

QString normalisedPatterns(QString patterns) {
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    QStringList parts = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& p : parts) {
        if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    return parts.join(QLatin1Char(' '));
}

}  // namespace

QtDialogs::~QtDialogs() {
    while (waitDepth_ > 0) setWaitCursor(false);
}

QWidget* QtDialogs::dialogParent() const {
    if (parent_) return parent_;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

int QtDialogs::message(const MessageRequest& request) {
    QMessageBox box(dialogParent());
    box.setObjectName(QStringLiteral("quilletMessageBox"));
    box.setWindowTitle(QString::fromStdString(request.title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(messageLines(request.text)));
    box.setIcon(qtIcon(request.icon));

    // One role for every button keeps them in the order of their labels.
    const std::vector<std::string> labels = splitButtons(request.buttons);
    std::vector<QPushButton*> added;
    QPushButton* escape = nullptr;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        QPushButton* b = box.addButton(QString::fromStdString(labels[i]), QMessageBox::ActionRole);
        b->setObjectName(QStringLiteral("messageButton%1").arg(i + 1));
        added.push_back(b);
        if (plainLabel(labels[i]).compare(QLatin1String("Cancel"), Qt::CaseInsensitive) == 0) escape = b;
    }
    box.setDefaultButton(added[static_cast<std::size_t>(clampedDefault(request) - 1)]);
    box.setEscapeButton(escape ? escape : added.back());

    // An arrow over the box even while a run shows the wait cursor.
    if (waitDepth_ > 0) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (waitDepth_ > 0) QGuiApplication::restoreOverrideCursor();

    for (std::size_t i = 0; i < added.size(); ++i) {
        if (box.clickedButton() == added[i]) return static_cast<int>(i) + 1;
    }
    return static_cast<int>(added.size());  // closed some other way: as Escape
}

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::setWaitCursor(bool on) {
    if (on) {
        if (waitDepth_++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waitDepth_ > 0) {
        if (--waitDepth_ == 0) QGuiApplication::restoreOverrideCursor();
    }
}

std::optional<std::string> QtDialogs::pickFolder(const std::string& title, const std::string& startFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(dialogParent(), QString::fromStdString(title),
                                                             QString::fromStdString(startFolder));
    if (chosen.isEmpty()) return std::nullopt;
    std::string folder = chosen.toStdString();
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::optional<std::string> QtDialogs::openFile(const std::string& title, const std::string& startFolder,
                                               const std::string& filter) {
    const QString chosen = QFileDialog::getOpenFileName(dialogParent(), QString::fromStdString(title),
                                                        QString::fromStdString(startFolder), qtFileFilter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::optional<std::string> QtDialogs::saveFile(const std::string& title, const std::string& startFolder,
                                               const std::string& filter) {
    const QString chosen = QFileDialog::getSaveFileName(dialogParent(), QString::fromStdString(title),
                                                        QString::fromStdString(startFolder), qtFileFilter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        const auto open = part.indexOf(QLatin1Char('('));
        const auto close = part.lastIndexOf(QLatin1Char(')'));
        if (open >= 0 && close > open) {
            out << part.left(open + 1) + normalisedPatterns(part.mid(open + 1, close - open - 1)) + part.mid(close);
        } else if (i + 1 < parts.size() && !isPattern(part) && isPattern(parts[i + 1].trimmed())) {
            out << part + QStringLiteral(" (") + normalisedPatterns(parts[i + 1].trimmed()) + QLatin1Char(')');
            ++i;
        } else if (isPattern(part)) {
            out << normalisedPatterns(part);
        } else {
            out << part;
        }
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace quillet
