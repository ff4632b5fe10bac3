#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/ExecuteBackup.h"
#include "archive/lspclass.h"
#include "backup/BatchBackup.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet::test {

// Keeps what a run showed, and lets a test act when the run reaches a point.
class RecordingView : public BackupRunView {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int percent) override { progress.push_back(percent); }
    void setItemProgress(int percent) override { itemBar.push_back(percent); }
    bool cancelRequested() override { return cancel; }
    void pumpEvents() override {
        ++pumps;
        if (onPump) onPump();
    }
    void setFolderLine(const std::string&) override {}
    void clearCancelRequest() override { cancel = false; }
    void setCaption(const std::string& c) override { caption = c; }
    void hideFolderLine() override { folderLineHidden = true; }
    void showFiles(const BackupFileList& files) override {
        shownFiles = files.size();
        if (onShowFiles) onShowFiles(files);
    }
    void showNoFilesRow() override { noFilesRow = true; }
    void fileChanged(std::size_t index) override { changed.push_back(index); }
    void setTotals(std::int64_t files, std::int64_t bytes) override {
        totalFiles = files;
        totalBytes = bytes;
    }
    void setButtonLabel(const std::string& label) override { labels.push_back(label); }
    void setStatusAlert(bool a) override { alert = a; }
    void showResults(double s, std::int64_t bytes) override {
        seconds = s;
        compressed = bytes;
        resultsShown = true;
    }
    void closeWindow() override { ++closes; }

    std::vector<std::string> statuses, labels;
    std::vector<int> progress, itemBar;
    std::vector<std::size_t> changed;
    std::string caption;
    bool cancel = false, folderLineHidden = false, noFilesRow = false, alert = false, resultsShown = false;
    std::size_t shownFiles = 0;
    std::int64_t totalFiles = 0, totalBytes = 0, compressed = -1;
    double seconds = -1;
    int pumps = 0, closes = 0;
    std::function<void()> onPump;
    std::function<void(const BackupFileList&)> onShowFiles;
};

class RecordingSounds : public SoundPlayer {
public:
    void play(const std::string& file) override { played.push_back(file); }
    std::vector<std::string> played;
};

// A driver that lets a test decide how the run is stepped.
class ManualDriver : public BackupRunDriver {
public:
    ManualDriver(BackupRunView& view, std::function<void(BackupRun&)> body) : view_(view), body_(std::move(body)) {}
    BackupRunView& view() override { return view_; }
    void drive(BackupRun& run) override { body_(run); }

private:
    BackupRunView& view_;
    std::function<void(BackupRun&)> body_;
};

// A project over real folders: sources below src/, archives in dest/, the program's own
// files in home/, a real catalog and a real archive object.
struct BackupBench {
    TempDir dir;
    Paths paths = Paths::inFolder(dir.mkdir("home"));
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    ManualClock clock;
    Catalog catalog{paths.dataFolder};
    RecordingSounds sounds;
    lspclass archive{dialogs, paths.configFolder};
    std::string src = dir.mkdir("src");
    std::string dest = dir.mkdir("dest") + "/";
    Project project;
    std::int64_t freeBytes = std::int64_t(1) << 40;

    BackupBench(const std::string& name = "Accounts", int maxBackups = 3) {
        fs.setFreeSpaceProbe([this](const std::string&) -> Result<std::int64_t> { return freeBytes; });
        archive.Init();
        EXPECT_TRUE(catalog.open().ok());
        Project p;
        p.NAME = name;
        p.PREFIX = "PREF";
        p.DESTINATIONPATH = dest;
        p.MAXBACKUPS = static_cast<std::uint8_t>(maxBackups);
        p.NOTES = "Monthly books; keep three.";
        auto stored = catalog.projects().insert(p);
        EXPECT_TRUE(stored.ok()) << stored.error();
        project = *stored;
    }
    ~BackupBench() { catalog.close(); }

    void component(const std::string& path, const std::string& mask, bool recurse = true, bool exclude = false) {
        Component c;
        c.PROSYSID = project.SYSID;
        c.PATH = path;
        c.MASK = mask;
        c.RECURSE = recurse ? 1 : 0;
        c.EXCLUDE = exclude ? 1 : 0;
        auto stored = catalog.components().insert(c);
        EXPECT_TRUE(stored.ok()) << stored.error();
    }
    void saveProject() { EXPECT_TRUE(catalog.projects().update(project).ok()); }

    BackupServices services() { return {fs, dialogs, settings, clock, catalog, sounds}; }
    // The program's services over the bench's parts, as the console hands them on.
    Services commandServices() { return {fs, dialogs, settings, clock, catalog, sounds, archive, paths}; }
    // The arguments the backup command would give, for driving BatchBackup directly.
    BackupArguments arguments(BackupList* list = nullptr, ChangeWatchList* watch = nullptr) {
        archive.USE_LSP_MESSAGE_PUMP = 1;
        archive.COMPRESSION_METHOD = 2;
        archive.SetPackFlags();
        BackupArguments a;
        a.project = project;
        a.archivePath = dest + "QLTTemp.___";
        a.changeWatch = watch;
        a.archive = &archive;
        a.backupList = list;
        a.packFlag = archive.PACK_FLAG | 0x20 | 0x08;
        a.compMode = archive.COMP_MODE;
        a.tempPath = archive.TEMP_PATH;
        a.programFolder = paths.programFolder;
        return a;
    }
    // Runs the backup command once through the loop driver.
    ExecuteOutcome execute(BackupCommandState& state, RecordingView& view) {
        LoopBackupDriver driver(view);
        return ExecuteBackup(commandServices(), state, project, driver);
    }

    std::vector<std::string> destFiles() const {
        std::vector<std::string> out;
        auto listed = fs.list(dest, "*", 0);
        for (const auto& e : *listed) out.push_back(e.name);
        std::sort(out.begin(), out.end());
        return out;
    }
};

// `unzip -t` passes on the archive.
inline bool unzipTestPasses(const std::string& archive) {
    return runCommand("unzip -tqq '" + archive + "' >/dev/null 2>&1") == 0;
}

// The bytes of one item, read with unzip.
inline std::string unzipItem(const std::string& archive, const std::string& item) {
    TempDir out;
    runCommand("unzip -p '" + archive + "' '" + item + "' > '" + out.file("item") + "' 2>/dev/null");
    return readFile(out.file("item"));
}

// Item names as unzip lists them.
std::vector<std::string> unzipNames(const std::string& archive);

}  // namespace quillet::test
