// The project and component rules against real record files: prefixes generated,
// derived and normalised, destinations and folders with their trailing "/", duplicate
// prefixes refused, masks normalised before they are stored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

#include "catalog/Catalog.h"
#include "maintenance/ProjectRules.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

// Letters from a list, then 'Z' for ever: lets a test decide every candidate.
LetterSource scriptedLetters(std::string letters) {
    auto queue = std::make_shared<std::deque<char>>(letters.begin(), letters.end());
    return [queue]() {
        if (queue->empty()) return 25;
        const char c = queue->front();
        queue->pop_front();
        return c - 'A';
    };
}

TEST(PrefixRulesTest, BlanksBecomeUnderscoresAndLettersCapitals) {
    EXPECT_EQ(NormalizePrefix("ab c"), "AB_C");
    EXPECT_EQ(NormalizePrefix("ab"), "AB__");
    EXPECT_EQ(NormalizePrefix("abcdef"), "ABCD");
    EXPECT_EQ(PrefixFromName("my project"), "MY_P");
    EXPECT_EQ(PrefixFromName("Al"), "AL__");
    // Characters are counted, not bytes; letters beyond ASCII stay as they are.
    EXPECT_EQ(NormalizePrefix("ébcde"), "éBCD");
}

TEST(PrefixRulesTest, CharactersThatWouldChangeTheArchiveNameBecomeUnderscores) {
    // "A*" + "????.LSP" would list (and rotate away) every other project's archives.
    EXPECT_EQ(NormalizePrefix("a*"), "A___");
    EXPECT_EQ(NormalizePrefix("?x?"), "_X__");
    EXPECT_EQ(NormalizePrefix("../x"), ".._X");
    EXPECT_EQ(NormalizePrefix("a\tb\\"), "A_B_");
}

TEST(PrefixRulesTest, GeneratedPrefixAvoidsThoseInUse) {
    EXPECT_EQ(GeneratePrefix({}, scriptedLetters("QRST")), "QRST");
    // The first two candidates are taken (in any letter case): the third is kept.
    EXPECT_EQ(GeneratePrefix({"aaaa", "BBBB"}, scriptedLetters("AAAABBBBCCCC")), "CCCC");
    // Twenty taken candidates: the last one is kept anyway, and saving will refuse it.
    EXPECT_EQ(GeneratePrefix({"ZZZZ"}, scriptedLetters("")), "ZZZZ");
}

TEST(PrefixRulesTest, SystemLettersAreCapitalsAndVary) {
    const LetterSource letters = systemLetterSource();
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string p = GeneratePrefix({}, letters);
        ASSERT_EQ(p.size(), 4u);
        for (char c : p) ASSERT_TRUE(c >= 'A' && c <= 'Z') << p;
        seen.insert(p);
    }
    EXPECT_GT(seen.size(), 40u);
}

TEST(FolderRulesTest, TrailingSlashAddedAndHomeExpanded) {
    EXPECT_EQ(NormalizeFolderPath("/data/backup"), "/data/backup/");
    EXPECT_EQ(NormalizeFolderPath("/data/backup/"), "/data/backup/");
    EXPECT_EQ(NormalizeFolderPath("  /data  "), "/data/");
    EXPECT_EQ(NormalizeFolderPath("~/saves"), homeFolder() + "/saves/");
    // Anything else is left as typed: the caller tests it like any other path.
    EXPECT_EQ(NormalizeFolderPath("backup/daily"), "backup/daily/");
}

class ProjectRulesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(catalog.open()); }

    Result<Project> add(std::string name, std::optional<std::string> prefix, std::string letters = "WXYZ") {
        ProjectRequest r;
        r.name = std::move(name);
        r.prefix = std::move(prefix);
        r.destination = dir.path() + "/dest";
        return AddProject(catalog, r, scriptedLetters(letters));
    }

    test::TempDir dir;
    Catalog catalog{dir.path()};
};

TEST_F(ProjectRulesTest, AddedProjectIsStoredWithTheFormsRules) {
    ProjectRequest r;
    r.name = "  Weekly ";
    r.destination = dir.path() + "/dest";
    r.maxBackups = 7;
    r.notes = "all the letters";
    auto added = AddProject(catalog, r, scriptedLetters("KLMN"));
    ASSERT_TRUE(added) << added.error();

    auto stored = catalog.projects().byName("WEEKLY");
    ASSERT_TRUE(stored && stored->has_value());
    const Project& p = **stored;
    EXPECT_EQ(p.SYSID, added->SYSID);
    EXPECT_EQ(p.NAME, "Weekly");
    EXPECT_EQ(p.PREFIX, "KLMN");
    EXPECT_EQ(p.DESTINATIONPATH, dir.path() + "/dest/");
    EXPECT_EQ(p.MAXBACKUPS, 7);
    EXPECT_EQ(p.NOTES, "all the letters");
    EXPECT_EQ(p.FAVORITES, 0);
}

TEST_F(ProjectRulesTest, PrefixGivenBlankOrGenerated) {
    EXPECT_EQ(add("first", std::string("ab"))->PREFIX, "AB__");
    EXPECT_EQ(add("my project", std::string(""))->PREFIX, "MY_P");
    // The generator skips the prefixes already stored.
    EXPECT_EQ(add("third", std::nullopt,
                  "ABAB"
                  "MY_P"
                  "QQQQ")
                  ->PREFIX,
              "ABAB");
    EXPECT_EQ(add("fourth", std::nullopt,
                  "ABAB"
                  "RRRR")
                  ->PREFIX,
              "RRRR");
}

TEST_F(ProjectRulesTest, DuplicatePrefixIsRefusedWithTheHoldersName) {
    ASSERT_TRUE(add("Daily", std::string("DAYS")));
    auto again = add("Nightly", std::string("days"));
    ASSERT_FALSE(again);
    EXPECT_NE(again.error().find("DAYS"), std::string::npos) << again.error();
    EXPECT_NE(again.error().find("Daily"), std::string::npos) << again.error();
    // A blank prefix derived from a name is refused the same way.
    ASSERT_FALSE(add("days off", std::string(" ")));
    EXPECT_EQ(*catalog.database().count(catalog::Project), 1);
}

TEST_F(ProjectRulesTest, BadFieldsAreRefusedAndNothingIsStored) {
    EXPECT_FALSE(add("   ", std::nullopt));
    auto longName = add("a name of twenty-one!", std::nullopt);
    ASSERT_FALSE(longName);
    EXPECT_NE(longName.error().find("20"), std::string::npos) << longName.error();
    ProjectRequest noDest;
    noDest.name = "nowhere";
    EXPECT_FALSE(AddProject(catalog, noDest, scriptedLetters("")));
    EXPECT_EQ(*catalog.database().count(catalog::Project), 0);
}

TEST_F(ProjectRulesTest, FavouritesFolderKeepsABlankPrefix) {
    ProjectRequest r;
    r.name = "Keepers";
    r.destination = dir.path() + "/keep";
    r.favorites = true;
    auto added = AddProject(catalog, r, scriptedLetters(""));
    ASSERT_TRUE(added) << added.error();
    EXPECT_EQ(added->PREFIX, "");
    EXPECT_EQ(added->FAVORITES, 1);
    // Two favourites folders may both have no prefix.
    r.name = "More keepers";
    EXPECT_TRUE(AddProject(catalog, r, scriptedLetters("")));
    r.prefix = "FAVS";
    EXPECT_FALSE(AddProject(catalog, r, scriptedLetters("")));
}

TEST_F(ProjectRulesTest, ComponentsAreStoredNormalised) {
    auto project = add("Docs", std::string("DOCS"));
    ASSERT_TRUE(project);
    auto c = AddComponent(catalog, project->SYSID, dir.path() + "/docs", "*.doc,  *.txt ,\n*.dat", false, true);
    ASSERT_TRUE(c) << c.error();
    auto stored = catalog.components().ofProject(project->SYSID);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 1u);
    EXPECT_EQ((*stored)[0].PATH, dir.path() + "/docs/");
    EXPECT_EQ((*stored)[0].MASK, "*.doc, *.txt, *.dat");
    EXPECT_EQ((*stored)[0].EXCLUDE, 0);
    EXPECT_EQ((*stored)[0].RECURSE, 1);

    EXPECT_FALSE(AddComponent(catalog, project->SYSID, dir.path(), " , ", false, false));
    EXPECT_FALSE(AddComponent(catalog, project->SYSID, "  ", "*.*", false, false));
    EXPECT_FALSE(AddComponent(catalog, project->SYSID, "/" + std::string(120, 'p'), "*.*", false, false));
    EXPECT_EQ(catalog.components().ofProject(project->SYSID)->size(), 1u);
}

// What the user typed is refused whole, never shortened: a cut mask list would silently
// leave its last masks' files out of every backup.
TEST_F(ProjectRulesTest, OverlongPrefixMaskOrMaskListIsRefusedNotCut) {
    auto longPrefix = add("Docs", std::string("DOCSX"));
    ASSERT_FALSE(longPrefix);
    EXPECT_NE(longPrefix.error().find("The prefix \"DOCSX\" has 5 characters; a prefix has at most 4."),
              std::string::npos)
        << longPrefix.error();
    auto project = add("Docs", std::string("DOCS"));
    ASSERT_TRUE(project) << project.error();

    std::string longList;
    while (longList.size() < 560) longList += "*.e" + std::to_string(longList.size()) + ", ";
    longList += "*.kdbx, *.gpg, *.pem, *.key";
    const struct {
        std::string masks;
        const char* why;
    } refused[] = {
        {"*.doc, " + std::string(18, 'x') + ".txt", "has 22 characters; a mask may have at most 20."},
        {longList, "; it may have at most 500."},
    };
    for (const auto& c : refused) {
        auto added = AddComponent(catalog, project->SYSID, dir.path(), c.masks, false, false);
        ASSERT_FALSE(added) << c.masks;
        EXPECT_NE(added.error().find(c.why), std::string::npos) << added.error();
    }
    EXPECT_TRUE(catalog.components().ofProject(project->SYSID)->empty());
    // Exactly at the limits is fine.
    EXPECT_TRUE(AddComponent(catalog, project->SYSID, dir.path(), std::string(16, 'y') + ".txt", false, false));
}

}  // namespace
}  // namespace quillet
