#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "backup/ScanProjectFiles.h"
#include "framework/RunHost.h"
#include "framework/ScriptedDialogs.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace quillet::test {

// A host that records every folder line with the status shown at the time, and lets a
// test act at the scan's polling points (to press Cancel, or change the tree mid-scan).
class RecordingHost : public PlainRunHost {
public:
    void setFolderLine(const std::string& folder) override {
        PlainRunHost::setFolderLine(folder);
        folderLines.emplace_back(status(), folder);
        if (onFolderLine) onFolderLine(folder);
    }
    void pumpEvents() override {
        PlainRunHost::pumpEvents();
        if (onPump) onPump(pumps);
    }

    std::vector<std::pair<std::string, std::string>> folderLines;  // (status, folder)
    std::function<void(const std::string&)> onFolderLine;
    std::function<void(int)> onPump;
};

// The services over a fresh temporary tree.
struct ScanBench {
    TempDir dir;
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    RecordingHost host;
    ScanServices services{fs, dialogs, host};

    static Component component(std::string path, std::string mask, bool recurse = false, bool exclude = false) {
        Component c;
        c.PROSYSID = 1;
        c.PATH = std::move(path);
        c.MASK = std::move(mask);
        c.RECURSE = recurse ? 1 : 0;
        c.EXCLUDE = exclude ? 1 : 0;
        return c;
    }

    // FILENAMEs of a list, with the temporary folder's path taken off the front.
    std::vector<std::string> names(const BackupFileList& list) const {
        std::vector<std::string> out;
        for (const auto& e : list)
            out.push_back(e.FILENAME.rfind(dir.path(), 0) == 0 ? e.FILENAME.substr(dir.path().size()) : e.FILENAME);
        return out;
    }
};

}  // namespace quillet::test
