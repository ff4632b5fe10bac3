// The catalog's files on disk: where they are, which are encrypted, and what happens
// when Project.tps is damaged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalog/Catalog.h"
#include "platform/Paths.h"
#include "records/RawSqlite.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;

const std::string SqliteHeader("SQLite format 3\0", 16);

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(CatalogFiles, CreatedInTheDataFolderEncryptedWhereOwnedAndPlainElsewhere) {
    const std::string data = Paths::fromEnvironment().dataFolder;
    {
        Catalog catalog(data);
        ASSERT_TRUE(catalog.open());
        auto projects = catalog.projects();
        auto p = projects.prime();
        p->NAME = "Letters";
        p->PREFIX = "LETT";
        ASSERT_TRUE(projects.insert(*p));
        Component c;
        c.PROSYSID = p->SYSID;
        c.PATH = "/home/me/letters/";
        c.MASK = "*.odt";
        ASSERT_TRUE(catalog.components().insert(c));
        Mask m;
        m.MASK = "*.odt";
        ASSERT_TRUE(catalog.masks().insert(m));
        auto themes = catalog.themes();
        auto t = themes.prime();
        t->NAME = "Documents";
        ASSERT_TRUE(themes.insert(*t));
        catalog.close();
    }
    for (const char* name : {"Project.tps", "Comps.tps"}) {
        SCOPED_TRACE(name);
        const std::string bytes = readFile(data + name);
        ASSERT_GE(bytes.size(), 16u);
        EXPECT_NE(bytes.substr(0, 16), SqliteHeader);
        test::RawSqlite plain(data + name);
        EXPECT_EQ(plain.scalar("SELECT count(*) FROM sqlite_master").rfind("ERROR", 0), 0u);
        if (exists("/usr/bin/sqlite3")) {
            EXPECT_NE(test::runCommand("/usr/bin/sqlite3 '" + data + name +
                                       "' 'SELECT * FROM sqlite_master' >/dev/null 2>&1"),
                      0);
        }
        test::RawSqlite owner(data + name, "harborlinnetquartzfolio");
        EXPECT_EQ(owner.scalar("PRAGMA integrity_check"), "ok");
    }
    for (const char* name : {"Masks.tps", "MskTheme.Tps"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(data + name).substr(0, 16), SqliteHeader);
    }
    test::RawSqlite masks(data + "Masks.tps");
    EXPECT_EQ(masks.scalar("SELECT MASK FROM Masks"), "*.odt");
    test::RawSqlite themes(data + "MskTheme.Tps");
    EXPECT_EQ(themes.scalar("SELECT NAME FROM MskTheme"), "Documents");
    if (exists("/usr/bin/sqlite3")) {
        EXPECT_EQ(
            test::runCommand("/usr/bin/sqlite3 '" + data + "MskTheme.Tps' 'SELECT NAME FROM MskTheme' >/dev/null"), 0);
    }
}

TEST(CatalogFiles, ADamagedProjectFileIsReportedAtOpenAndLeftAsItWas) {
    test::TempDir dir;
    {
        Catalog catalog(dir.path());
        ASSERT_TRUE(catalog.open());
        auto projects = catalog.projects();
        for (int i = 0; i < 60; ++i) {
            auto p = projects.prime();
            p->NAME = "Project " + std::to_string(i);
            p->NOTES = std::string(900, 'n');
            ASSERT_TRUE(projects.insert(*p));
        }
    }
    std::string bytes = readFile(dir.file("Project.tps"));
    ASSERT_GT(bytes.size(), 3u * 4096);
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 100; ++i) bytes[i] = '\0';
    dir.write("Project.tps", bytes);
    const std::string comps = readFile(dir.file("Comps.tps"));

    Catalog catalog(dir.path());
    Status s = catalog.open();
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error().rfind("The record file " + dir.path() + "/Project.tps cannot be opened: ", 0), 0u) << s.error();
    EXPECT_NE(s.error().find("damaged"), std::string::npos) << s.error();
    EXPECT_FALSE(catalog.isOpen());
    EXPECT_EQ(readFile(dir.file("Project.tps")), bytes);
    EXPECT_EQ(readFile(dir.file("Comps.tps")), comps);
    // A second attempt finds the same file, not a fresh empty one.
    EXPECT_FALSE(catalog.open());
    EXPECT_EQ(readFile(dir.file("Project.tps")), bytes);
}

TEST(CatalogFiles, LostProjectsAreReportedAndNoNewProjectTakesTheirComponents) {
    test::TempDir dir;
    const auto addProject = [&](Catalog& catalog, const std::string& name) {
        auto p = catalog.projects().prime();
        p->NAME = name;
        auto stored = catalog.projects().insert(*p);
        EXPECT_TRUE(stored) << stored.error();
        Component c;
        c.PROSYSID = stored->SYSID;
        c.PATH = "/home/me/" + name + "/";
        c.MASK = "*.*";
        EXPECT_TRUE(catalog.components().insert(c));
        return stored->SYSID;
    };
    {
        Catalog catalog(dir.path());
        ASSERT_TRUE(catalog.open());
        ASSERT_EQ(addProject(catalog, "thesis"), 1);
    }
    const std::string firstProjects = readFile(dir.file("Project.tps"));
    {
        Catalog catalog(dir.path());
        ASSERT_TRUE(catalog.open());
        ASSERT_EQ(addProject(catalog, "mail"), 2);
    }
    const std::string comps = readFile(dir.file("Comps.tps"));

    // Project.tps emptied, then gone: reported, and neither file is touched or created.
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "missing" : "empty");
        if (removed)
            ASSERT_EQ(::unlink(dir.file("Project.tps").c_str()), 0);
        else
            dir.write("Project.tps", "");
        Catalog catalog(dir.path());
        const Status s = catalog.open();
        ASSERT_FALSE(s);
        EXPECT_NE(s.error().find(std::string("Project.tps") + (removed ? " is missing" : " is empty")),
                  std::string::npos)
            << s.error();
        EXPECT_NE(s.error().find("holds 2 components"), std::string::npos) << s.error();
        EXPECT_FALSE(catalog.isOpen());
        EXPECT_EQ(exists(dir.file("Project.tps")), !removed);
        if (!removed) {
            EXPECT_EQ(readFile(dir.file("Project.tps")), "");
        }
        EXPECT_EQ(readFile(dir.file("Comps.tps")), comps);
    }

    // An older copy of Project.tps put back: the next project is numbered above the
    // components of the one it lacks, and starts without components.
    dir.write("Project.tps", firstProjects);
    Catalog catalog(dir.path());
    ASSERT_TRUE(catalog.open());
    auto primed = catalog.projects().prime();
    ASSERT_TRUE(primed);
    EXPECT_EQ(primed->SYSID, 3);
    Project p;
    p.NAME = "photos";
    auto stored = catalog.projects().insert(p);
    ASSERT_TRUE(stored) << stored.error();
    EXPECT_EQ(stored->SYSID, 3);
    EXPECT_TRUE(catalog.components().ofProject(3, catalog::K_Path)->empty());
}

TEST(CatalogFiles, OpenAndCloseAreCounted) {
    test::TempDir dir;
    Catalog catalog(dir.path());
    ASSERT_TRUE(catalog.open());
    ASSERT_TRUE(catalog.open());
    catalog.close();
    EXPECT_TRUE(catalog.isOpen()) << "still in use by the first opener";
    catalog.close();
    EXPECT_FALSE(catalog.isOpen());
    catalog.close();
    EXPECT_FALSE(catalog.isOpen());
}

}  // namespace
}  // namespace quillet
