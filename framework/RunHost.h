#pragma once

#include <string>
#include <vector>

namespace quillet {

// What a long run (backup, preview scan, test, restore, destination update) needs from
// whoever drives it. The run is an engine that does one unit of work per step(); its
// window, the console loop or a test calls step() and implements this host. Messages and
// questions do not go through the host but through Dialogs.
class RunHost {
public:
    virtual ~RunHost() = default;

    // The status line ("Scanning Directories:", "Compressing Files...", ...).
    virtual void setStatus(const std::string& text) = 0;
    // Overall progress of the run, 0..100.
    virtual void setProgress(int percent) = 0;
    // Progress of the item in hand, 0..100; a negative value hides the item bar.
    virtual void setItemProgress(int percent) = 0;
    // True once the user has asked to stop (the run still confirms before stopping).
    virtual bool cancelRequested() = 0;
    // Lets pending input and repaints through during a long single unit of work.
    virtual void pumpEvents() = 0;
    // The folder line: the folder being scanned, given whole (the display shortens it).
    virtual void setFolderLine(const std::string& /*folder*/) {}
    // Forgets a stop request the user declined when asked to confirm it.
    virtual void clearCancelRequest() {}
};

// A host without a window: keeps what it was told, so console runs can print it and
// tests can read it; requestCancel() stands in for the Cancel button.
class PlainRunHost : public RunHost {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int percent) override { progress = percent; }
    void setItemProgress(int percent) override { itemProgress = percent; }
    bool cancelRequested() override { return cancel; }
    void pumpEvents() override { ++pumps; }
    void setFolderLine(const std::string& folder) override {
        folderLine = folder;
        ++folderLineUpdates;
    }
    void clearCancelRequest() override { cancel = false; }

    void requestCancel() { cancel = true; }
    std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }

    std::vector<std::string> statuses;
    int progress = 0;
    int itemProgress = -1;
    bool cancel = false;
    int pumps = 0;
    std::string folderLine;
    int folderLineUpdates = 0;
};

}  // namespace quillet
