#pragma once

#include "archive/ui/ArchiveRunWindow.h"
#include "framework/Services.h"

namespace quillet {

// The "Test Backup Integrity" window over a TestRun of services.archive. Built without
// exec() it can be driven by tests: open() builds the list and starts the run.
class TestWindow : public ArchiveRunWindow {
    Q_OBJECT
public:
    TestWindow(const Services& services, const std::string& projectName, QWidget* parent = nullptr);

    // Builds the work list; closes at once after "Nothing to Test" when nothing is marked.
    void open();
    // open() once the window is on screen, then its event loop until it closes.
    void execRun();

    TestRun& testRun() { return run_; }

protected:
    ArchiveRun& run() override { return run_; }

private:
    const Services& services_;
    TestRun run_;
};

}  // namespace quillet
