#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The four message icons.
enum class Icon { None, Information, Exclamation, Question, Hand };

// Standard button sets, written as bar-separated labels so that every message box is
// "buttons as text, answer = button number from 1". "&" marks the access key.
namespace buttons {
inline constexpr std::string_view Ok = "&OK";
inline constexpr std::string_view OkCancel = "&OK|&Cancel";
inline constexpr std::string_view YesNo = "&Yes|&No";
inline constexpr std::string_view YesNoCancel = "&Yes|&No|&Cancel";
inline constexpr std::string_view RetryCancel = "&Retry|&Cancel";
inline constexpr std::string_view AbortRetryIgnore = "&Abort|&Retry|&Ignore";
}  // namespace buttons

// Answers for the standard sets, by position.
namespace answer {
inline constexpr int Ok = 1;
inline constexpr int Yes = 1;
inline constexpr int No = 2;
inline constexpr int Cancel3 = 3;  // Cancel of Yes/No/Cancel
}  // namespace answer

struct MessageRequest {
    std::string text;    // "|" starts a new line
    std::string title;
    Icon icon = Icon::None;
    std::string buttons{buttons::Ok};  // bar-separated labels
    int defaultButton = 1;             // numbered from 1
};

// The one seam through which the program talks to the user: message boxes and questions,
// beeps, the wait cursor, and the folder and file choosers. Implementations: Qt
// (framework/ui), console (stderr, default answers) and scripted (tests).
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows the message and returns the number of the chosen button, from 1.
    virtual int message(const MessageRequest& request) = 0;

    int message(std::string text, std::string title, Icon icon, std::string_view buttonLabels = buttons::Ok,
                int defaultButton = 1) {
        return message(MessageRequest{std::move(text), std::move(title), icon, std::string(buttonLabels),
                                      defaultButton});
    }

    virtual void beep() = 0;
    // Wait cursor on and off; nested calls count.
    virtual void setWaitCursor(bool on) = 0;

    // Choosers return nothing when the user cancels. filter is a list of patterns such
    // as "Archives (*.lsp)|All files (*)".
    virtual std::optional<std::string> pickFolder(const std::string& title, const std::string& startFolder) = 0;
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                                const std::string& filter) = 0;
    virtual std::optional<std::string> saveFile(const std::string& title, const std::string& startFolder,
                                                const std::string& filter) = 0;
};

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    explicit WaitCursor(Dialogs& dialogs) : dialogs_(dialogs) { dialogs_.setWaitCursor(true); }
    ~WaitCursor() { dialogs_.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Dialogs& dialogs_;
};

}  // namespace quillet
