#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/lspclass.h"
#include "framework/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace quillet::test {

// A folder of its own, scripted dialogs that fail the test on any message nobody
// expected, and an archive object whose settings file lives in that folder.
class ArchiveFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs.onProblem = [](const std::string& what) { ADD_FAILURE() << what; };
        archive = std::make_unique<lspclass>(dialogs, dir.path());
        archive->Init("");
    }
    void TearDown() override { EXPECT_EQ(dialogs.waitDepth(), 0) << "wait cursor left on"; }

    // Packs files into ARCHIVE_NAME through Add without a dialog; fails the test on any
    // status but 0.
    void addFiles(std::initializer_list<std::string> files) {
        for (const std::string& f : files) ASSERT_EQ(archive->Add(f, "", "", 1), 0) << f;
    }
    // An entry by name; null when not listed.
    const LSPQEntry* entry(const std::string& name) const {
        for (const auto& e : archive->LSPQ)
            if (e.FILENAME == name) return &e;
        return nullptr;
    }
    bool unzipTestPasses(const std::string& path) const {
        return runCommand("unzip -tqq '" + path + "' >/dev/null 2>&1") == 0;
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<lspclass> archive;
};

}  // namespace quillet::test
