// Takes the manual's pictures: every registered shot is built, shown, grabbed and saved
// as PNG. scripts/screenshots runs this twice, at scale 1 and 2.
//   quillet_screenshots OUTPUT_FOLDER [SUFFIX] [NAME...]
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Screenshots.h"

namespace quillet::shots {

namespace {
std::vector<Shot>& registry() {
    static std::vector<Shot> shots;
    return shots;
}
}  // namespace

bool registerShot(Shot shot) {
    registry().push_back(std::move(shot));
    return true;
}

const std::string& sampleFolder() {
    static QTemporaryDir dir;
    static const std::string path = dir.path().toStdString();
    return path;
}

}  // namespace quillet::shots

int main(int argc, char** argv) {
    using namespace quillet::shots;
    // Quillet's own files go to a throw-away home, so shots never touch the user's.
    QTemporaryDir home;
    if (!qEnvironmentVariableIsSet("QUILLET_HOME")) qputenv("QUILLET_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [SUFFIX] [NAME...]\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QStringList wanted;
    for (int i = 3; i < argc; ++i) wanted << QString::fromLocal8Bit(argv[i]);
    QDir().mkpath(output);
    int failures = 0;
    for (const Shot& shot : registry()) {
        const QString name = QString::fromStdString(shot.name);
        if (!wanted.isEmpty() && !wanted.contains(name)) continue;
        std::unique_ptr<QWidget> widget = shot.make();
        if (!widget) {
            std::fprintf(stderr, "%s: could not be built\n", qPrintable(name));
            ++failures;
            continue;
        }
        widget->show();
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const QString file = output + "/" + name + suffix + ".png";
        if (!widget->grab().save(file)) {
            std::fprintf(stderr, "%s: could not be written\n", qPrintable(file));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    }
    return failures ? 1 : 0;
}
