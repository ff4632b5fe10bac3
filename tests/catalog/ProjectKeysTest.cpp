// Projects, components, masks and themes: priming and numbering, the unique keys,
// reads by key, the second handles, and the checks forms call.
#include <gtest/gtest.h>

#include "catalog/Catalog.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(catalog.open()); }

    Project addProject(const std::string& name, const std::string& prefix, std::uint8_t favourites = 0) {
        auto p = projects.prime();
        EXPECT_TRUE(p) << p.error();
        p->NAME = name;
        p->PREFIX = prefix;
        p->FAVORITES = favourites;
        auto stored = projects.insert(*p);
        EXPECT_TRUE(stored) << stored.error();
        return stored ? *stored : Project{};
    }

    Component addComponent(std::int32_t owner, const std::string& path, std::uint8_t exclude = 0) {
        Component c;
        c.PROSYSID = owner;
        c.PATH = path;
        c.MASK = "*.*";
        c.EXCLUDE = exclude;
        auto stored = catalog.components().insert(c);
        EXPECT_TRUE(stored) << stored.error();
        return stored ? *stored : Component{};
    }

    test::TempDir dir;
    Catalog catalog{dir.path()};
    ProjectStore projects = catalog.projects();
};

TEST_F(CatalogTest, PrimingNumbersFromOneAndGivesTheHighestNumberAgainAfterItsDeletion) {
    auto primed = projects.prime();
    ASSERT_TRUE(primed);
    EXPECT_EQ(primed->SYSID, 1);
    EXPECT_EQ(primed->MAXBACKUPS, 20);
    EXPECT_EQ(primed->FAVORITES, 0);
    EXPECT_TRUE(primed->NAME.empty() && primed->PREFIX.empty() && primed->DESTINATIONPATH.empty() &&
                primed->NOTES.empty());

    addProject("one", "ONE1");
    addProject("two", "TWO2");
    Project third = addProject("three", "THR3");
    EXPECT_EQ(third.SYSID, 3);
    ASSERT_TRUE(catalog.deleteProject(3));
    EXPECT_EQ(projects.prime()->SYSID, 3);
    ASSERT_TRUE(catalog.deleteProject(1));
    EXPECT_EQ(projects.prime()->SYSID, 3) << "only the highest number is reused";

    // A record stored without a number is numbered on the way in.
    Project unnumbered;
    unnumbered.NAME = "late";
    auto stored = projects.insert(unnumbered);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->SYSID, 3);

    auto themes = catalog.themes();
    auto t = themes.prime();
    EXPECT_EQ(t->SYSID, 1);
    EXPECT_TRUE(t->NAME.empty() && t->MASK.empty() && t->EXCLUDE == 0 && t->RECURSE == 0);
}

TEST_F(CatalogTest, PrefixesAreUniqueWithoutRegardToCaseButBlankOnesCoexist) {
    addProject("Favourites A", "", 1);
    addProject("Favourites B", "", 1);
    addProject("Favourites C", "", 1);
    Project abcd = addProject("Books", "ABCD");
    addProject("Books", "BOOK");  // the same name twice is allowed

    auto p = projects.prime();
    p->NAME = "Other";
    p->PREFIX = "abcd";
    auto refused = projects.insert(*p);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("Duplicate key K_Prefix"), std::string::npos) << refused.error();
    EXPECT_NE(refused.error().find("PRJ:PREFIX"), std::string::npos);

    // Nor may a change take another project's prefix.
    auto book = projects.byPrefix("book");
    ASSERT_TRUE(book && book->has_value());
    Project changed = **book;
    changed.PREFIX = "AbCd";
    EXPECT_FALSE(projects.update(changed));
    EXPECT_EQ(projects.byPrefix("BOOK")->value().recordId, changed.recordId);

    auto all = projects.all();
    EXPECT_EQ(all->size(), 5u);
    EXPECT_EQ(projects.byPrefix("abcd")->value().SYSID, abcd.SYSID);
}

TEST_F(CatalogTest, ThemeNamesAreUniqueWithoutRegardToCase) {
    auto themes = catalog.themes();
    auto t = themes.prime();
    t->NAME = "Office files";
    t->MASK = "*.doc, *.xls";
    ASSERT_TRUE(themes.insert(*t));

    auto again = themes.prime();
    EXPECT_EQ(again->SYSID, 2);
    again->NAME = "OFFICE FILES";
    auto refused = themes.insert(*again);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("Duplicate key K_Name"), std::string::npos) << refused.error();
    EXPECT_NE(refused.error().find("MTH:NAME"), std::string::npos);

    auto found = themes.byName("office files");
    ASSERT_TRUE(found->has_value());
    EXPECT_EQ((*found)->MASK, "*.doc, *.xls");
}

TEST_F(CatalogTest, NameLookupTakesTheFirstInKeyOrderWithoutRegardToCase) {
    addProject("zeta", "ZZZZ");
    Project first = addProject("MyProject", "MYP1");
    addProject("myproject", "MYP2");
    auto found = projects.byName("MYPROJECT");
    ASSERT_TRUE(found->has_value());
    EXPECT_EQ((*found)->SYSID, first.SYSID);
    EXPECT_FALSE(projects.byName("nobody")->has_value());

    // The handle keeps walking by its own key (K_SysID) from the record found.
    EXPECT_EQ(projects.next()->value().PREFIX, "MYP2");
}

TEST_F(CatalogTest, SecondHandlesWalkWhileTheFirstHoldsItsRecord) {
    for (const char* prefix : {"CCCC", "AAAA", "BBBB"}) addProject(std::string("p") + prefix, prefix);
    auto edited = projects.bySysId(2);
    ASSERT_TRUE(edited->has_value());

    ProjectStore alias = catalog.projects();  // A_P
    ASSERT_TRUE(alias.setKey(catalog::K_Prefix));
    std::vector<std::string> prefixes;
    for (auto r = alias.first(); r && r->has_value(); r = alias.next()) prefixes.push_back((*r)->PREFIX);
    EXPECT_EQ(prefixes, (std::vector<std::string>{"AAAA", "BBBB", "CCCC"}));

    EXPECT_EQ(projects.cursor().current()->number(0), 2) << "the main handle did not move";
    EXPECT_EQ(projects.next()->value().SYSID, 3);
}

TEST_F(CatalogTest, ComponentsInFolderOrderOrIncludesBeforeExcludes) {
    Project p = addProject("Work", "WORK");
    Project other = addProject("Play", "PLAY");
    addComponent(p.SYSID, "/srv/b/", 1);
    addComponent(p.SYSID, "/srv/A/", 0);
    addComponent(other.SYSID, "/srv/0/", 0);
    addComponent(p.SYSID, "/srv/c/", 0);

    auto components = catalog.components();  // A_C style handle
    auto byPath = components.ofProject(p.SYSID);
    ASSERT_TRUE(byPath);
    std::vector<std::string> paths;
    for (const auto& c : *byPath) paths.push_back(c.PATH);
    EXPECT_EQ(paths, (std::vector<std::string>{"/srv/A/", "/srv/b/", "/srv/c/"}));

    auto byExclude = components.ofProject(p.SYSID, catalog::K_Exclude);
    ASSERT_EQ(byExclude->size(), 3u);
    EXPECT_EQ(byExclude->back().PATH, "/srv/b/");
    EXPECT_EQ(byExclude->front().EXCLUDE, 0);
}

TEST_F(CatalogTest, MaskLookupHasNoIntegrityRule) {
    Project p = addProject("Work", "WORK");
    Component c = addComponent(p.SYSID, "/srv/");
    c.MASK = "*.TXT";
    ASSERT_TRUE(catalog.components().update(c));

    auto masks = catalog.masks();
    Mask m;
    m.MASK = "*.txt";
    auto stored = masks.insert(m);
    ASSERT_TRUE(stored);
    auto found = catalog.maskOf(c);
    ASSERT_TRUE(found && found->has_value());
    EXPECT_EQ((*found)->MASK, "*.txt");

    ASSERT_TRUE(masks.erase(*stored));
    EXPECT_FALSE(catalog.maskOf(c)->has_value());
    EXPECT_EQ(catalog.components().ofProject(p.SYSID)->front().MASK, "*.TXT") << "the component keeps its mask";

    Mask orphan;
    orphan.MASK = "*.none";
    EXPECT_TRUE(masks.insert(orphan)) << "a mask needs no component";
}

TEST_F(CatalogTest, FieldChecksForFormsAndImports) {
    EXPECT_TRUE(checkField(projectLayout(), "NAME", Value(std::string(20, 'n'))));
    Status s = checkField(projectLayout(), "NAME", Value(std::string(21, 'n')));
    EXPECT_EQ(s.error(), "PRJ:NAME may hold at most 20 characters; the value given has 21.");
    EXPECT_FALSE(checkField(projectLayout(), "PREFIX", Value(std::string("ABCDE"))));
    EXPECT_TRUE(checkField(projectLayout(), "PREFIX", Value(std::string("ÄÖÜß"))));
    EXPECT_FALSE(checkField(projectLayout(), "MAXBACKUPS", Value(std::int64_t{256})));
    EXPECT_FALSE(checkField(projectLayout(), "NOTES", Value(std::string(1001, 'x'))));
    EXPECT_FALSE(checkField(maskThemeLayout(), "NAME", Value(std::string(61, 't'))));
    EXPECT_TRUE(checkField(maskThemeLayout(), "NAME", Value(std::string(60, 't') + "   ")));

    // The same checks guard the files.
    auto p = projects.prime();
    p->NAME = std::string(21, 'n');
    auto refused = projects.insert(*p);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "PRJ:NAME may hold at most 20 characters; the value given has 21.");
    EXPECT_EQ(projects.all()->size(), 0u);
}

TEST_F(CatalogTest, StoredTextIsTrimmedAndTheNumberNeverChanges) {
    Project p = addProject("Spaced   ", "AB  ");
    EXPECT_EQ(p.NAME, "Spaced");
    EXPECT_EQ(projects.byPrefix("AB")->value().PREFIX, "AB");
    p.SYSID = 99;
    Status s = projects.update(p);
    ASSERT_FALSE(s);
    EXPECT_FALSE(projects.bySysId(99)->has_value());
}

}  // namespace
}  // namespace quillet
