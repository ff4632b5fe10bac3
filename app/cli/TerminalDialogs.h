#pragma once

#include <iosfwd>

#include "framework/Dialogs.h"

namespace quillet::cli {

// Dialogs that really ask: a question (more than one button) is printed to err with its
// choices and answered from a line of in: a button's access letter or its label, in any
// letter case. At the end of the input the default button is taken. Everything else
// goes to the dialogs it wraps.
class TerminalDialogs : public Dialogs {
public:
    TerminalDialogs(Dialogs& inner, std::istream& in, std::ostream& err) : inner_(inner), in_(in), err_(err) {}

    using Dialogs::message;
    int message(const MessageRequest& request) override;
    void beep() override { inner_.beep(); }
    void setWaitCursor(bool on) override { inner_.setWaitCursor(on); }
    std::optional<std::string> pickFolder(const std::string& title, const std::string& start) override {
        return inner_.pickFolder(title, start);
    }
    std::optional<std::string> openFile(const std::string& title, const std::string& start,
                                        const std::string& filter) override {
        return inner_.openFile(title, start, filter);
    }
    std::optional<std::string> saveFile(const std::string& title, const std::string& start,
                                        const std::string& filter) override {
        return inner_.saveFile(title, start, filter);
    }

private:
    Dialogs& inner_;
    std::istream& in_;
    std::ostream& err_;
};

}  // namespace quillet::cli
