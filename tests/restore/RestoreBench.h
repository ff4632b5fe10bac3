#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveRuns.h"
#include "backup_run/BackupBench.h"

namespace quillet::test {

// Keeps what a test or restore run showed.
class RunRecorder : public ArchiveRunView {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int percent) override { progress.push_back(percent); }
    void setItemProgress(int percent) override {
        itemBar.push_back(percent);
        if (onItemProgress) onItemProgress(percent);
    }
    void showWork(const WorkList& work) override { shownRows = work.size(); }
    void entryChanged(std::size_t row) override { changed.push_back(row); }
    void setButtonLabel(const std::string& label) override { labels.push_back(label); }
    void showStatusLine() override { statusShown = true; }
    void closeWindow() override { ++closes; }

    std::vector<std::string> statuses, labels;
    std::vector<int> progress, itemBar;
    std::vector<std::size_t> changed;
    std::size_t shownRows = 0;
    bool statusShown = false;
    int closes = 0;
    std::function<void(int)> onItemProgress;
};

// A real backup of a few files (one exactly 132000 bytes, one 132001, both random so the
// library stores them as they are) made by the backup run, listed into the archive object
// with every entry marked.
struct RestoreBench : BackupBench {
    std::string archivePath;
    std::vector<std::pair<std::string, std::string>> sources;  // path, content

    RestoreBench() {
        add("src/a.txt", "alpha\n");
        add("src/edge.bin", randomBytes(132000, 3));
        add("src/sub/big.bin", randomBytes(132001, 4));
        add("src/sub/c.doc", std::string(5000, 'c'));
        component(src, "*.*");
        RecordingView view;
        BackupCommandState state;
        EXPECT_EQ(execute(state, view), ExecuteOutcome::Succeeded) << dialogs.report();
        archivePath = dest + "PREF0001.LSP";
        relist();
    }
    void add(const std::string& relative, const std::string& content) {
        sources.emplace_back(dir.write(relative, content), content);
    }
    // Lists the archive again and marks every entry.
    void relist() {
        archive.ARCHIVE_NAME = archivePath;
        archive.ReadDirectory();
        for (LSPQEntry& e : archive.LSPQ) e.MARK = 1;
    }
    ArchiveRunServices services() { return {fs, dialogs, settings, sounds, archive}; }
    std::size_t row(const WorkList& work, const std::string& name) const {
        for (std::size_t i = 0; i < work.size(); ++i)
            if (archive.LSPQ[work[i].index].FILENAME == name) return i;
        ADD_FAILURE() << "no row for " << name;
        return 0;
    }
    // Changes one byte of a stored item's data inside the archive.
    void damage(const std::string& content) {
        std::string bytes = readFile(archivePath);
        const std::size_t at = bytes.find(content.substr(1000, 64));
        ASSERT_NE(at, std::string::npos);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5a);
        std::ofstream(archivePath, std::ios::binary | std::ios::trunc) << bytes;
    }
};

}  // namespace quillet::test
