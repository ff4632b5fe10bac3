#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "records/RawSqlite.h"
#include "support/TempDir.h"

namespace quillet::test {

class PlayedSounds : public SoundPlayer {
public:
    void play(const std::string& file) override { played.push_back(file); }
    std::vector<std::string> played;
};

// Real settings, archive settings and record files in the test's own home.
struct PreferencesBench : ::testing::Test {
    TempDir dir;
    Paths paths = Paths::inFolder(dir.mkdir("home"));
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    ManualClock clock;
    Catalog catalog{paths.dataFolder};
    PlayedSounds sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    void SetUp() override {
        ASSERT_TRUE(catalog.open().ok());
        archive.Init();
    }
    void TearDown() override {
        EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        catalog.close();
    }

    std::int32_t addProject(const std::string& name, const std::string& destination, int favorites = 0) {
        auto store = catalog.projects();
        auto p = store.prime();
        EXPECT_TRUE(p);
        p->NAME = name;
        p->PREFIX = favorites ? "" : name.substr(0, 4);
        p->DESTINATIONPATH = destination;
        p->FAVORITES = std::uint8_t(favorites);
        auto stored = store.insert(*p);
        EXPECT_TRUE(stored) << stored.error();
        return stored->SYSID;
    }
    std::string destinationOf(std::int32_t sysId) {
        auto row = catalog.projects().bySysId(sysId);
        return row && row->has_value() ? (*row)->DESTINATIONPATH : std::string("<missing>");
    }
    // Plants a fault in Project.tps, with the catalog closed meanwhile.
    void plant(const std::string& sql) {
        catalog.close();
        {
            RawSqlite raw(projectFile(), std::string(catalog::OwnerPassword));
            ASSERT_EQ(raw.exec(sql), SQLITE_OK);
        }
        ASSERT_TRUE(catalog.open().ok());
    }
    std::string projectFile() const { return paths.dataFolder + std::string(catalog::ProjectFile); }
};

}  // namespace quillet::test
