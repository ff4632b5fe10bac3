#include "backup/ui/QtSoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace quillet {

QtSoundPlayer::QtSoundPlayer(std::string installData) : installData_(std::move(installData)) {}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::play(const std::string& file) {
    const QString path = QString::fromStdString(soundFilePath(file, installData_));
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    // One effect at a time: a new sound replaces one still playing.
    effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(path));
    effect_->play();
}

}  // namespace quillet
