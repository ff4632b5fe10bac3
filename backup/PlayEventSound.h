#pragma once

#include <string>

namespace quillet {

// Plays event sounds (completion, error, reminder) without waiting for them to end. An
// implementation plays nothing, silently, when the file is missing or there is no sound
// device.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // file is a full path, or a bare name looked up in the program's data folder.
    virtual void play(const std::string& file) = 0;
};

// For runs without a display, and wherever sound is not wanted.
class SilentSoundPlayer : public SoundPlayer {
public:
    void play(const std::string&) override {}
};

// Plays the sound unless the name is blank.
void PlayEventSound(SoundPlayer& player, const std::string& file);

// Where a sound setting points: a name with a '/' as it stands (a leading "~" is the home
// folder), a bare name in installData (which ends with '/').
std::string soundFilePath(const std::string& file, const std::string& installData);

}  // namespace quillet
