#include "framework/ConsoleDialogs.h"

#include <algorithm>
#include <iostream>

namespace quillet {

std::string messageLines(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '|', '\n');
    return out;
}

std::vector<std::string> splitButtons(std::string_view labels) {
    std::vector<std::string> out;
    if (labels.empty()) {
        out.emplace_back(buttons::Ok);
        return out;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = labels.find('|', start);
        out.emplace_back(labels.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return out;
}

int clampedDefault(const MessageRequest& request) {
    const int count = static_cast<int>(splitButtons(request.buttons).size());
    return std::clamp(request.defaultButton, 1, count);
}

ConsoleDialogs::ConsoleDialogs() : out_(std::cerr) {}

ConsoleDialogs::ConsoleDialogs(std::ostream& out) : out_(out) {}

int ConsoleDialogs::message(const MessageRequest& request) {
    if (!request.title.empty()) out_ << request.title << ": ";
    out_ << messageLines(request.text) << '\n';
    const std::vector<std::string> labels = splitButtons(request.buttons);
    const int chosen = clampedDefault(request);
    if (labels.size() > 1) {
        // A question nobody was there to answer: say what was taken for the answer.
        std::string label = labels[static_cast<std::size_t>(chosen - 1)];
        label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
        out_ << "(answered \"" << label << "\", the default)\n";
    }
    out_ << std::flush;
    return chosen;
}

void ConsoleDialogs::beep() {
    out_ << '\a' << std::flush;
}

}  // namespace quillet
