#include "framework/ScriptedDialogs.h"

#include "framework/ConsoleDialogs.h"

namespace quillet {

void ScriptedDialogs::answer(int button) {
    answers_.push_back({std::nullopt, button});
}

void ScriptedDialogs::expect(std::string textPart, int button) {
    answers_.push_back({std::move(textPart), button});
}

void ScriptedDialogs::queueFolder(std::optional<std::string> folder) {
    folders_.push_back(std::move(folder));
}
void ScriptedDialogs::queueOpenFile(std::optional<std::string> file) {
    openFiles_.push_back(std::move(file));
}
void ScriptedDialogs::queueSaveFile(std::optional<std::string> file) {
    saveFiles_.push_back(std::move(file));
}

void ScriptedDialogs::problem(std::string text) {
    problems_.push_back(text);
    if (onProblem) onProblem(text);
}

int ScriptedDialogs::message(const MessageRequest& request) {
    const std::string described = "\"" + request.title + "\": \"" + request.text + "\"";
    int answer = clampedDefault(request);
    if (answers_.empty()) {
        problem("unexpected message " + described);
    } else {
        Expected next = answers_.front();
        answers_.pop_front();
        if (next.textPart && request.text.find(*next.textPart) == std::string::npos) {
            problem("message " + described + " shown where one containing \"" + *next.textPart + "\" was expected");
        } else {
            const int count = static_cast<int>(splitButtons(request.buttons).size());
            if (next.button < 1 || next.button > count)
                problem("queued answer " + std::to_string(next.button) + " is not a button of " + described);
            else
                answer = next.button;
        }
    }
    shown_.push_back({request, answer});
    return answer;
}

void ScriptedDialogs::setWaitCursor(bool on) {
    if (on) {
        ++waitDepth_;
    } else if (waitDepth_ > 0) {
        --waitDepth_;
    } else {
        problem("wait cursor turned off more often than on");
    }
}

std::optional<std::string> ScriptedDialogs::takeChooser(std::deque<std::optional<std::string>>& queue, ChooserCall call,
                                                        const char* what) {
    choosers_.push_back(call);
    if (queue.empty()) {
        problem(std::string("unexpected ") + what + " \"" + call.title + "\"");
        return std::nullopt;
    }
    auto value = std::move(queue.front());
    queue.pop_front();
    return value;
}

std::optional<std::string> ScriptedDialogs::pickFolder(const std::string& title, const std::string& startFolder) {
    return takeChooser(folders_, {ChooserCall::Folder, title, startFolder, {}}, "folder chooser");
}

std::optional<std::string> ScriptedDialogs::openFile(const std::string& title, const std::string& startFolder,
                                                     const std::string& filter) {
    return takeChooser(openFiles_, {ChooserCall::Open, title, startFolder, filter}, "open-file chooser");
}

std::optional<std::string> ScriptedDialogs::saveFile(const std::string& title, const std::string& startFolder,
                                                     const std::string& filter) {
    return takeChooser(saveFiles_, {ChooserCall::Save, title, startFolder, filter}, "save-file chooser");
}

bool ScriptedDialogs::ok() const {
    return problems_.empty() && answers_.empty() && folders_.empty() && openFiles_.empty() && saveFiles_.empty() &&
           waitDepth_ == 0;
}

std::string ScriptedDialogs::report() const {
    std::string out;
    for (const std::string& p : problems_) out += p + "\n";
    for (const Expected& e : answers_)
        out += "queued answer " + std::to_string(e.button) + (e.textPart ? " for \"" + *e.textPart + "\"" : "") +
               " was never used\n";
    const std::size_t choosersLeft = folders_.size() + openFiles_.size() + saveFiles_.size();
    if (choosersLeft) out += std::to_string(choosersLeft) + " queued chooser answer(s) never used\n";
    if (waitDepth_) out += "wait cursor left on\n";
    return out;
}

void ScriptedDialogs::clear() {
    answers_.clear();
    folders_.clear();
    openFiles_.clear();
    saveFiles_.clear();
    shown_.clear();
    choosers_.clear();
    problems_.clear();
    beeps_ = 0;
    waitDepth_ = 0;
}

}  // namespace quillet
