#include "app/ui/DesktopViewer.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cstdlib>

namespace quillet {

namespace {

bool startEditor(const std::string& file) {
    QStringList candidates;
    for (const char* variable : {"VISUAL", "EDITOR"})
        if (const char* v = std::getenv(variable); v && *v) candidates << QString::fromLocal8Bit(v);
    candidates << "gnome-text-editor"
               << "gedit"
               << "kwrite"
               << "kate"
               << "mousepad"
               << "xed"
               << "pluma"
               << "featherpad"
               << "leafpad";
    for (const QString& candidate : candidates) {
        // $EDITOR may carry arguments ("code -w"): the first word is the program.
        QStringList words = QProcess::splitCommand(candidate);
        if (words.isEmpty()) continue;
        const QString program = QStandardPaths::findExecutable(words.takeFirst());
        if (program.isEmpty()) continue;
        words << QString::fromStdString(file);
        if (QProcess::startDetached(program, words)) return true;
    }
    return false;
}

}  // namespace

FileViewer desktopFileViewer() {
    FileViewer viewer;
    viewer.openWithDesktop = [](const std::string& file) {
        OpenAttempt attempt;
        // The desktop's opener reports nothing more than whether something took the file.
        attempt.opened = QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
        attempt.noAssociation = !attempt.opened;
        return attempt;
    };
    viewer.openInTextEditor = startEditor;
    return viewer;
}

}  // namespace quillet
