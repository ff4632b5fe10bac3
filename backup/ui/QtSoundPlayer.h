#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "backup/PlayEventSound.h"

class QSoundEffect;

namespace quillet {

// Event sounds through Qt Multimedia, played without waiting. A missing file, a file that
// cannot be decoded or the lack of an audio device play nothing and say nothing.
class QtSoundPlayer : public SoundPlayer {
public:
    // installData: where bare sound names are looked up (Paths::installData).
    explicit QtSoundPlayer(std::string installData);
    ~QtSoundPlayer() override;
    void play(const std::string& file) override;

private:
    std::string installData_;
    std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace quillet
