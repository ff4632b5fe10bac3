// Draws the program icon as PNG files for the hicolor icon theme, with the very drawing the
// console's window uses, so the launcher, the menu and the window show one icon.
// Usage: quillet_icons FOLDER   writes FOLDER/NxN/apps/quillet.png for every size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "app/ui/ConsoleIcons.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: quillet_icons FOLDER\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QIcon icon = quillet::consoleIcon(quillet::ConsoleIcon::Program);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        icon.paint(&painter, QRect(0, 0, size, size));
        painter.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + "/quillet.png", "PNG")) {
            std::fprintf(stderr, "quillet_icons: cannot write %s/quillet.png\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
