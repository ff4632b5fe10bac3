#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Dialogs.h"

namespace quillet {

// Dialogs for runs without a display: every message is printed to the error stream as
// "TITLE: text" (a "|" in the text starts a new line) and answered with its default
// button; a question (more than one button) is followed by the line
// "(answered "No", the default)". The choosers answer nothing, the wait cursor does nothing and a beep is a BEL
// character.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs();                            // writes to std::cerr
    explicit ConsoleDialogs(std::ostream& out);  // tests

    using Dialogs::message;
    int message(const MessageRequest& request) override;
    void beep() override;
    void setWaitCursor(bool) override {}
    std::optional<std::string> pickFolder(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> saveFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }

private:
    std::ostream& out_;
};

// The text of a message with each "|" turned into a line break.
std::string messageLines(const std::string& text);

// The bar-separated button labels, split; an empty text gives one "&OK".
std::vector<std::string> splitButtons(std::string_view labels);

// The default button of a request, kept within the number of buttons.
int clampedDefault(const MessageRequest& request);

}  // namespace quillet
