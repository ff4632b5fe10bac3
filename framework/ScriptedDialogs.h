#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/Dialogs.h"

namespace quillet {

// Dialogs for tests. Every message is recorded and answered from a queue of expected
// answers; a message with nothing queued for it, or whose text does not match what was
// queued, is a problem: it is answered with its default button so the code under test
// goes on, recorded in problems(), and passed to onProblem when set (a test can turn it
// into a failure there). A test ends by checking ok(), which also requires every queued
// answer to have been used.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        MessageRequest request;
        int answer = 0;
    };
    struct ChooserCall {
        enum Kind { Folder, Open, Save } kind = Folder;
        std::string title;
        std::string startFolder;
        std::string filter;
    };

    // The next message is answered with button (from 1), whatever its text.
    void answer(int button);
    // The next message must contain textPart (its raw text, with "|") and is answered
    // with button.
    void expect(std::string textPart, int button = 1);
    // Answers for the next chooser call of each kind; nullopt is a cancel.
    void queueFolder(std::optional<std::string> folder);
    void queueOpenFile(std::optional<std::string> file);
    void queueSaveFile(std::optional<std::string> file);

    using Dialogs::message;
    int message(const MessageRequest& request) override;
    void beep() override { ++beeps_; }
    void setWaitCursor(bool on) override;
    std::optional<std::string> pickFolder(const std::string& title, const std::string& startFolder) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                        const std::string& filter) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& startFolder,
                                        const std::string& filter) override;

    const std::vector<Shown>& shown() const { return shown_; }
    // The last message shown; an empty request when none was.
    MessageRequest last() const { return shown_.empty() ? MessageRequest{} : shown_.back().request; }
    const std::vector<ChooserCall>& chooserCalls() const { return choosers_; }
    int beeps() const { return beeps_; }
    int waitDepth() const { return waitDepth_; }

    // Unexpected or mismatched messages and chooser calls, one line each.
    const std::vector<std::string>& problems() const { return problems_; }
    // No problems, no answers left over and the wait cursor back off.
    bool ok() const;
    // problems() plus what is left over, as one text for a failure message.
    std::string report() const;
    // Forgets everything recorded and queued.
    void clear();

    std::function<void(const std::string&)> onProblem;

private:
    struct Expected {
        std::optional<std::string> textPart;
        int button = 1;
    };
    std::optional<std::string> takeChooser(std::deque<std::optional<std::string>>& queue, ChooserCall call,
                                           const char* what);
    void problem(std::string text);

    std::deque<Expected> answers_;
    std::deque<std::optional<std::string>> folders_, openFiles_, saveFiles_;
    std::vector<Shown> shown_;
    std::vector<ChooserCall> choosers_;
    std::vector<std::string> problems_;
    int beeps_ = 0;
    int waitDepth_ = 0;
};

}  // namespace quillet
