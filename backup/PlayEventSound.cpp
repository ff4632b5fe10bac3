#include "backup/PlayEventSound.h"

#include "platform/FileSystem.h"

namespace quillet {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

void PlayEventSound(SoundPlayer& player, const std::string& file) {
    const std::string name = trimmed(file);
    if (!name.empty()) player.play(name);
}

std::string soundFilePath(const std::string& file, const std::string& installData) {
    const std::string name = trimmed(file);
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos || name[0] == '~') return expandHome(name);
    return installData + name;
}

}  // namespace quillet
