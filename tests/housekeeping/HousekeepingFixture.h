#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "archive/lspclass.h"
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

// The program's services over a folder of their own: real settings and record files, a
// real archive object, scripted dialogs that fail the test on any message nobody expected.
class HousekeepingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs.onProblem = [](const std::string& what) { ADD_FAILURE() << what; };
        ensureFolder(paths.configFolder);
        archive.Init("");
    }
    void TearDown() override { EXPECT_TRUE(dialogs.ok()) << dialogs.report(); }

    // A real archive in folder dir/<folder> named name, holding one small file per entry
    // of files (name and content).
    std::string makeArchive(const std::string& folder, const std::string& name,
                            std::initializer_list<std::pair<std::string, std::string>> files) {
        const std::string path = dir.mkdir(folder) + "/" + name;
        archive.ARCHIVE_NAME = path;
        for (const auto& [file, content] : files)
            EXPECT_EQ(archive.Add(dir.write("sources/" + file, content), "", "", 1), 0) << file;
        return path;
    }
    static bool unzipTestPasses(const std::string& path) {
        return runCommand("unzip -tqq '" + path + "' >/dev/null 2>&1") == 0;
    }
    // The bytes of the item named name (in any folder of the archive), as unzip gives them.
    std::string itemBytes(const std::string& archivePath, const std::string& name) const {
        const std::string out = dir.file("item.out");
        runCommand("unzip -p '" + archivePath + "' '" + name + "' '*/" + name + "' > '" + out + "' 2>/dev/null");
        return readFile(out);
    }
    // How many entries of the archive's directory have exactly this name.
    static int itemCount(const std::string& archivePath, const std::string& item) {
        for (int n = 0; n < 5; ++n)
            if (runCommand("test \"$(unzip -Z1 '" + archivePath + "' | grep -cx '" + item +
                           "')\" = " + std::to_string(n)) == 0)
                return n;
        return -1;
    }

    TempDir dir;
    Paths paths = Paths::inFolder(dir.path() + "/home");
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    ManualClock clock{1'700'000'000};
    Catalog catalog{paths.dataFolder};
    SilentSoundPlayer sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
};

}  // namespace quillet::test
