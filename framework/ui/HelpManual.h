#pragma once

#include <QUrl>
#include <string>

namespace quillet {

// The user manual stands in for the help file: every Help button opens it in the
// browser at its own section.
class HelpManual {
public:
    explicit HelpManual(std::string manualFolder) : folder_(std::move(manualFolder)) {}

    // index.html of the manual folder, at the anchor when one is given.
    QUrl url(const std::string& section = {}) const;
    // Opens the manual in the desktop's browser; false when nothing could open it.
    bool open(const std::string& section = {}) const;

private:
    std::string folder_;
};

}  // namespace quillet
