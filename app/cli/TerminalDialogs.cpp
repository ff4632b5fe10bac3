#include "app/cli/TerminalDialogs.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "framework/ConsoleDialogs.h"

namespace quillet::cli {

namespace {

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The letter after "&", lower-cased; 0 when there is none.
char accessLetter(const std::string& label) {
    const std::size_t amp = label.find('&');
    if (amp == std::string::npos || amp + 1 >= label.size()) return 0;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(label[amp + 1])));
}

std::string plain(std::string label) {
    label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
    return label;
}

}  // namespace

int TerminalDialogs::message(const MessageRequest& request) {
    const std::vector<std::string> labels = splitButtons(request.buttons);
    if (labels.size() < 2) return inner_.message(request);
    const int fallback = clampedDefault(request);
    if (!request.title.empty()) err_ << request.title << ": ";
    err_ << messageLines(request.text) << '\n';
    std::string choices;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i) choices += ", ";
        const char letter = accessLetter(labels[i]);
        choices += plain(labels[i]);
        if (letter) choices += std::string(" (") + letter + ")";
    }
    while (true) {
        err_ << choices << "? " << std::flush;
        std::string line;
        if (!std::getline(in_, line)) {
            err_ << "\n(answered \"" << plain(labels[static_cast<std::size_t>(fallback - 1)]) << "\", the default)\n"
                 << std::flush;
            return fallback;
        }
        line = lowered(line.substr(0, line.find_last_not_of(" \t\r") + 1));
        line.erase(0, line.find_first_not_of(" \t"));
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const bool byLetter = line.size() == 1 && line[0] == accessLetter(labels[i]);
            if (byLetter || (!line.empty() && line == lowered(plain(labels[i])))) return static_cast<int>(i + 1);
        }
    }
}

}  // namespace quillet::cli
