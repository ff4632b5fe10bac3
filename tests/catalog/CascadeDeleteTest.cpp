// Deleting a project takes its components with it in one transaction over Project.tps
// and Comps.tps; a failure anywhere leaves both files exactly as they were.
#include <gtest/gtest.h>

#include "catalog/Catalog.h"
#include "records/RawSqlite.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;

class CascadeDeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(catalog.open());
        auto projects = catalog.projects();
        auto components = catalog.components();
        for (const char* prefix : {"KEEP", "GONE", "ALSO"}) {
            auto p = projects.prime();
            p->NAME = prefix;
            p->PREFIX = prefix;
            ASSERT_TRUE(projects.insert(*p));
            for (int i = 1; i <= 5; ++i) {
                Component c;
                c.PROSYSID = p->SYSID;
                c.PATH = "/" + std::string(prefix) + "/" + std::to_string(i) + "/";
                c.MASK = "*.*";
                c.EXCLUDE = i == 5;
                ASSERT_TRUE(components.insert(c));
            }
        }
        gone = catalog.projects().byPrefix("GONE")->value().SYSID;
    }

    std::size_t componentsOf(std::int32_t sysId) { return catalog.components().ofProject(sysId)->size(); }

    // Plants a fault in one of the files, with the catalog closed meanwhile.
    void plant(const char* file, const std::string& sql) {
        catalog.close();
        test::RawSqlite raw(dir.file(file), std::string(catalog::OwnerPassword));
        ASSERT_EQ(raw.exec(sql), SQLITE_OK);
        ASSERT_TRUE(catalog.open());
    }

    test::TempDir dir;
    Catalog catalog{dir.path()};
    std::int32_t gone = 0;
};

TEST_F(CascadeDeleteTest, DeletesAllOfTheProjectsComponentsAndNoOthers) {
    ASSERT_EQ(componentsOf(gone), 5u);
    ASSERT_TRUE(catalog.deleteProject(gone));
    EXPECT_FALSE(catalog.projects().bySysId(gone)->has_value());
    EXPECT_EQ(componentsOf(gone), 0u);
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 10);
    EXPECT_EQ(componentsOf(catalog.projects().byPrefix("KEEP")->value().SYSID), 5u);
    EXPECT_EQ(componentsOf(catalog.projects().byPrefix("ALSO")->value().SYSID), 5u);

    Status again = catalog.deleteProject(gone);
    EXPECT_FALSE(again) << "deleting a project that is not there is not a success";
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 10);
}

TEST_F(CascadeDeleteTest, AFailureAfterTheComponentsAreGoneRestoresThemAll) {
    plant("Project.tps",
          "CREATE TRIGGER fault BEFORE DELETE ON Project BEGIN SELECT RAISE(ABORT, 'planted fault'); END");
    const std::string projectBytes = readFile(dir.file("Project.tps"));
    const std::string compsBytes = readFile(dir.file("Comps.tps"));

    Status s = catalog.deleteProject(gone);
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Project.tps"), std::string::npos) << s.error();
    EXPECT_NE(s.error().find("planted fault"), std::string::npos) << s.error();

    EXPECT_TRUE(catalog.projects().bySysId(gone)->has_value());
    EXPECT_EQ(componentsOf(gone), 5u);
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 15);
    catalog.close();
    EXPECT_EQ(readFile(dir.file("Project.tps")), projectBytes);
    EXPECT_EQ(readFile(dir.file("Comps.tps")), compsBytes);
}

TEST_F(CascadeDeleteTest, AFailureAmongTheComponentsLeavesBothFilesAsTheyWere) {
    plant("Comps.tps",
          "CREATE TRIGGER fault BEFORE DELETE ON Comps WHEN old.PATH = '/GONE/3/' "
          "BEGIN SELECT RAISE(ABORT, 'planted fault'); END");
    const std::string projectBytes = readFile(dir.file("Project.tps"));
    const std::string compsBytes = readFile(dir.file("Comps.tps"));

    Status s = catalog.deleteProject(gone);
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Comps.tps"), std::string::npos) << s.error();
    EXPECT_EQ(componentsOf(gone), 5u);
    EXPECT_TRUE(catalog.projects().bySysId(gone)->has_value());
    catalog.close();
    EXPECT_EQ(readFile(dir.file("Project.tps")), projectBytes);
    EXPECT_EQ(readFile(dir.file("Comps.tps")), compsBytes);

    // The other projects can still go: the fault is only in GONE's third folder.
    ASSERT_TRUE(catalog.open());
    EXPECT_TRUE(catalog.deleteProject(catalog.projects().byPrefix("ALSO")->value().SYSID));
    EXPECT_EQ(*catalog.database().count(catalog::Comps), 10);
    EXPECT_EQ(componentsOf(gone), 5u);
}

}  // namespace
}  // namespace quillet
