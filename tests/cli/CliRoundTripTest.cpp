// A project built with the commands backs up, lists, tests and restores byte-identical
// files, through the real program and with nobody to answer a question.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "CliRunner.h"
#include "catalog/Catalog.h"
#include "support/TempDir.h"

namespace quillet::test {
namespace {

class CliRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = work.mkdir("home");
        docs = work.mkdir("docs");
        work.write("docs/letter.txt", "Dear reader,\nthe backup works.\n");
        work.write("docs/notes/ideas.txt", "one\ntwo\n");
        work.write("docs/notes/photo.bin", randomBytes(300000, 7));
        work.write("docs/notes/scratch.tmp", "leave me out");
        work.write("docs/other.doc", "not a text mask");
    }

    CliResult run(const std::vector<std::string>& args) { return runQuillet(home, work.path(), args); }

    // Builds the project "Docs" of two components with the commands, backs it up once.
    std::string backUpDocs() {
        auto added =
            run({"project", "add", "Docs", "--dest", "dest", "--prefix", "docs", "--notes", "Weekly set\nmore"});
        EXPECT_EQ(added.status, 0) << added.err;
        EXPECT_EQ(
            run({"component", "add", "docs", "--path", "docs", "--mask", "*.txt,*.bin ,\n*.tmp", "--recurse"}).status,
            0);
        EXPECT_EQ(run({"component", "add", "DOCS", "--path", docs + "/notes", "--mask", "*.tmp", "--exclude"}).status,
                  0);
        auto backup = run({"backup", "dOcS"});
        EXPECT_EQ(backup.status, 0) << backup.out << backup.err;
        return work.file("dest/DOCS0001.LSP");
    }

    TempDir work;
    std::string home, docs;
};

TEST_F(CliRoundTripTest, BackupListsTestsAndRestoresByteIdenticalFiles) {
    const std::string archive = backUpDocs();
    ASSERT_EQ(runCommand("unzip -tqq '" + archive + "' >/dev/null 2>&1"), 0);

    // The archives of the project: name, ISO date and time, size, first comment line.
    auto archives = run({"archives", "docs"});
    ASSERT_EQ(archives.status, 0) << archives.err;
    ASSERT_EQ(lines(archives.out).size(), 1u);
    const auto a = fields(lines(archives.out)[0]);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0], "DOCS0001.LSP");
    EXPECT_TRUE(std::regex_match(a[1], std::regex(R"(\d{4}-\d{2}-\d{2})"))) << a[1];
    EXPECT_TRUE(std::regex_match(a[2], std::regex(R"(\d{2}:\d{2}:\d{2})"))) << a[2];
    EXPECT_EQ(a[3], std::to_string(readFile(archive).size()));
    EXPECT_EQ(a[4], "Weekly set");

    // The contents: the three selected files (the excluded one is not there), then totals.
    auto contents = run({"contents", archive});
    ASSERT_EQ(contents.status, 0) << contents.err;
    const auto rows = lines(contents.out);
    ASSERT_EQ(rows.size(), 3u + 4u) << contents.out;
    std::set<std::string> stored;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto f = fields(rows[i]);
        ASSERT_EQ(f.size(), 11u) << rows[i];
        stored.insert(f[0] + f[1]);
        EXPECT_TRUE(std::regex_match(f[10], std::regex("[0-9a-f]{8}"))) << f[10];
    }
    EXPECT_EQ(stored,
              (std::set<std::string>{docs + "/letter.txt", docs + "/notes/ideas.txt", docs + "/notes/photo.bin"}));
    EXPECT_EQ(rows[3], "Files in Backup:\t3");
    EXPECT_EQ(rows[4], "Size (Before):\t" + std::to_string(31 + 8 + 300000));
    EXPECT_EQ(rows[5], "Size (After):\t" + a[3]);

    auto tested = run({"test", archive});
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    EXPECT_EQ(lines(tested.out).back(), "Completed - Archive Tests OK");
    EXPECT_EQ(lines(tested.out).size(), 4u);

    // Restored at their stored paths below the chosen folder, which is created.
    auto restored = run({"restore", archive, "--to", "back", "--paths", "--create-dirs"});
    ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
    for (const char* f : {"/letter.txt", "/notes/ideas.txt", "/notes/photo.bin"})
        EXPECT_EQ(readFile(work.file("back") + docs + f), readFile(docs + f)) << f;
    EXPECT_EQ(lines(restored.out).back(), "Completed - No Errors");
}

TEST_F(CliRoundTripTest, NamedItemsAloneAreRestoredAndExistingFilesKeptUnlessOverwriting) {
    const std::string archive = backUpDocs();
    auto one = run({"restore", archive, "--to", "flat", "ideas.txt", docs + "/letter.txt"});
    ASSERT_EQ(one.status, 0) << one.out << one.err;
    EXPECT_EQ(readFile(work.file("flat/ideas.txt")), "one\ntwo\n");
    EXPECT_EQ(readFile(work.file("flat/letter.txt")), "Dear reader,\nthe backup works.\n");
    std::ifstream photo(work.file("flat/photo.bin"));
    EXPECT_FALSE(photo.good());

    work.write("flat/ideas.txt", "changed since");
    auto kept = run({"restore", archive, "--to", "flat", "ideas.txt"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("failed\t" + work.file("flat/ideas.txt") + "\tthe file exists"), std::string::npos)
        << kept.err;
    EXPECT_EQ(readFile(work.file("flat/ideas.txt")), "changed since");

    auto replaced = run({"restore", archive, "--to", "flat", "--overwrite", "ideas.txt"});
    EXPECT_EQ(replaced.status, 0) << replaced.out << replaced.err;
    EXPECT_EQ(readFile(work.file("flat/ideas.txt")), "one\ntwo\n");
}

TEST_F(CliRoundTripTest, TestReportsADamagedItemAndFailsTheRun) {
    const std::string archive = backUpDocs();
    // Stored data is the file's own bytes: damage one of the letter's.
    std::string bytes = readFile(archive);
    const auto at = bytes.find("the backup works.");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'T';
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << bytes;

    auto tested = run({"test", archive});
    EXPECT_EQ(tested.status, 1);
    EXPECT_NE(tested.out.find("bad\t" + docs + "/letter.txt\t"), std::string::npos) << tested.out;
    EXPECT_NE(tested.out.find("good\t" + docs + "/notes/ideas.txt"), std::string::npos) << tested.out;
    EXPECT_EQ(lines(tested.out).back(), "Completed - 1 Error(s)");
    // Testing only the good item succeeds.
    EXPECT_EQ(run({"test", archive, "ideas.txt"}).status, 0);
}

// Another tool's archive: bzip2 and deflate items are tested and restored; an item of a
// method this program cannot decode is named with its method, never passed as good.
TEST_F(CliRoundTripTest, OtherToolsArchiveNamesTheMethodItCannotRead) {
    const std::string archive = work.file("other.zip");
    ASSERT_EQ(runCommand("python3 -c 'import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                         "    z.writestr(\"squeezed.txt\", b\"bz \" * 999, zipfile.ZIP_BZIP2)\n"
                         "    z.writestr(\"plain.txt\", b\"df \" * 999, zipfile.ZIP_DEFLATED)\n"
                         "    z.writestr(\"lzma.txt\", b\"lz \" * 999, zipfile.ZIP_LZMA)' " +
                         archive),
              0);
    auto tested = run({"test", archive});
    EXPECT_EQ(tested.status, 1);
    EXPECT_NE(tested.out.find("good\tsqueezed.txt\n"), std::string::npos) << tested.out;
    EXPECT_NE(tested.out.find("good\tplain.txt\n"), std::string::npos) << tested.out;
    EXPECT_NE(tested.out.find("bad\tlzma.txt\tCompression method 14 is not supported\n"), std::string::npos)
        << tested.out;
    auto restored = run({"restore", archive, "--to", "out", "squeezed.txt"});
    EXPECT_EQ(restored.status, 0) << restored.out;
    EXPECT_EQ(readFile(work.file("out/squeezed.txt")), [] {
        std::string s;
        for (int i = 0; i < 999; ++i) s += "bz ";
        return s;
    }());
}

TEST_F(CliRoundTripTest, PreviewShowsWhatTheBackupWillHold) {
    backUpDocs();
    auto preview = run({"preview", "docs"});
    ASSERT_EQ(preview.status, 0) << preview.err;
    const auto rows = lines(preview.out);
    ASSERT_EQ(rows.size(), 5u) << preview.out;
    // Upper-cased path order, as the backup packs them.
    EXPECT_EQ(rows[0], docs + "/letter.txt\t31");
    EXPECT_EQ(rows[1], docs + "/notes/ideas.txt\t8");
    EXPECT_EQ(rows[2], docs + "/notes/photo.bin\t300000");
    EXPECT_EQ(rows[3], "Total Files:\t3");
    EXPECT_EQ(rows[4], "Total Bytes:\t300039");
}

TEST_F(CliRoundTripTest, RemovingAProjectTakesItsArchivesOnlyWhenAsked) {
    const std::string archive = backUpDocs();
    // A second project in the same folder whose archive must survive.
    ASSERT_EQ(run({"project", "add", "Other", "--dest", "dest", "--prefix", "OTHR"}).status, 0);
    ASSERT_EQ(run({"component", "add", "other", "--path", "docs", "--mask", "*.doc"}).status, 0);
    ASSERT_EQ(run({"backup", "other"}).status, 0);

    auto removed = run({"project", "remove", "DOCS", "--delete-archives"});
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "deleted\t" + archive + "\n");
    EXPECT_FALSE(std::ifstream(archive).good());
    EXPECT_TRUE(std::ifstream(work.file("dest/OTHR0001.LSP")).good());
    // The project and its components are gone; the other keeps its own.
    EXPECT_EQ(run({"component", "list", "docs"}).status, 2);
    auto list = run({"project", "list"});
    ASSERT_EQ(lines(list.out).size(), 1u);
    EXPECT_EQ(fields(lines(list.out)[0])[1], "Other");
    EXPECT_EQ(lines(run({"component", "list", "other"}).out).size(), 1u);

    ASSERT_EQ(run({"project", "remove", "other"}).status, 0);
    EXPECT_TRUE(std::ifstream(work.file("dest/OTHR0001.LSP")).good());
}

TEST_F(CliRoundTripTest, AFavouritesFolderNeverSharesAProjectsFolderNorDeletesItsArchives) {
    const std::string archive = backUpDocs();
    const std::string backup = readFile(archive);

    // Refused both ways round, whatever the spelling of the folder.
    auto refused = run({"project", "add", "Keepers", "--favorites", "--dest", work.file("dest") + "//"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("destination of the project Docs"), std::string::npos) << refused.err;
    ASSERT_EQ(run({"project", "add", "Keepers", "--favorites", "--dest", "favs"}).status, 0);
    refused = run({"project", "add", "Other", "--dest", "favs", "--prefix", "OTHR"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("favourites folder Keepers"), std::string::npos) << refused.err;
    EXPECT_EQ(lines(run({"project", "list"}).out).size(), 2u);

    // A favourites folder that shares the folder all the same (made before this rule, or
    // by hand): deleting it with its archives takes its own copies and leaves Docs' alone.
    {
        Catalog catalog(home);
        ASSERT_TRUE(catalog.open());
        Project shared;
        shared.NAME = "Old favourites";
        shared.FAVORITES = 1;
        shared.DESTINATIONPATH = work.file("dest") + "/";
        ASSERT_TRUE(catalog.projects().insert(shared));
        catalog.close();
    }
    work.write("dest/kept copy.lsp", backup);
    auto removed = run({"project", "remove", "old favourites", "--delete-archives"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "deleted\t" + work.file("dest/kept copy.lsp") + "\n");
    EXPECT_NE(removed.err.find("kept " + archive + ": it is an archive of the project Docs"), std::string::npos)
        << removed.err;
    EXPECT_EQ(readFile(archive), backup);
}

TEST_F(CliRoundTripTest, ProjectAndComponentLinesFollowTheFormsRules) {
    auto added = run({"project", "add", "my project", "--dest", "docs/../new/deep", "--prefix", "", "--max", "0"});
    ASSERT_EQ(added.status, 0) << added.err;
    auto f = fields(lines(added.out)[0]);
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[1], "my project");
    EXPECT_EQ(f[2], "MY_P");
    EXPECT_EQ(f[3], "normal");
    EXPECT_EQ(f[4], "0");
    EXPECT_EQ(f[5], work.path() + "/new/deep/");
    EXPECT_EQ(runCommand("test -d '" + work.path() + "/new/deep'"), 0);

    auto generated = run({"project", "add", "Second", "--dest", "dest"});
    ASSERT_EQ(generated.status, 0) << generated.err;
    f = fields(lines(generated.out)[0]);
    EXPECT_TRUE(std::regex_match(f[2], std::regex("[A-Z]{4}"))) << f[2];
    EXPECT_EQ(f[4], "20");

    auto spaced = run({"project", "add", "Third", "--dest", "dest", "--prefix", "a b"});
    ASSERT_EQ(spaced.status, 0) << spaced.err;
    EXPECT_EQ(fields(lines(spaced.out)[0])[2], "A_B_");

    auto duplicate = run({"project", "add", "Fourth", "--dest", "dest", "--prefix", "A_b_"});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_NE(duplicate.err.find("A_B_"), std::string::npos) << duplicate.err;
    EXPECT_NE(duplicate.err.find("Third"), std::string::npos) << duplicate.err;

    auto favourites = run({"project", "add", "Keep", "--dest", "keep", "--favorites"});
    ASSERT_EQ(favourites.status, 0) << favourites.err;
    EXPECT_EQ(fields(lines(favourites.out)[0])[2], "");
    EXPECT_EQ(fields(lines(favourites.out)[0])[3], "favourites");
    EXPECT_EQ(run({"component", "add", "keep", "--path", "docs", "--mask", "*.*"}).status, 1);

    // Listed in name order, one line each.
    auto list = run({"project", "list"});
    std::vector<std::string> names;
    for (const auto& line : lines(list.out)) names.push_back(fields(line)[1]);
    EXPECT_EQ(names, (std::vector<std::string>{"Keep", "my project", "Second", "Third"}));

    // Components: mask text normalised, folder with its "/", removal by folder.
    auto component = run({"component", "add", "MY PROJECT", "--path", "docs", "--mask", "*.doc,  *.txt ,*.dat"});
    ASSERT_EQ(component.status, 0) << component.err;
    EXPECT_EQ(component.out, docs + "/\tinclude\t-\t*.doc, *.txt, *.dat\n");
    auto missing = run({"component", "add", "my project", "--path", "nowhere", "--mask", "*.*", "--recurse"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.err.find("Directory Not Found: " + work.path() + "/nowhere/"), std::string::npos);
    EXPECT_EQ(lines(run({"component", "list", "my project"}).out).size(), 2u);
    auto gone = run({"component", "remove", "my project", "--path", docs});
    EXPECT_EQ(gone.status, 0) << gone.err;
    EXPECT_EQ(gone.out, component.out);
    EXPECT_EQ(run({"component", "list", "my project"}).out, work.path() + "/nowhere/\tinclude\trecurse\t*.*\n");
    EXPECT_EQ(run({"component", "remove", "my project", "--path", docs}).status, 2);
}

TEST_F(CliRoundTripTest, WithoutDestTheDefaultDestinationIsTaken) {
    // At the first start the working folder's backup/ becomes the default destination.
    auto first = run({"project", "add", "Plain"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(fields(lines(first.out)[0])[5], work.path() + "/backup/");
    EXPECT_EQ(runCommand("test -d '" + work.path() + "/backup'"), 0);
    // Once recorded, it stays the default wherever the command runs.
    auto second = runQuillet(home, docs, {"project", "add", "Also plain"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(fields(lines(second.out)[0])[5], work.path() + "/backup/");
}

}  // namespace
}  // namespace quillet::test

namespace quillet::test {
namespace {

// Archives written by other tools hold relative paths ("notes/"); they restore below the
// destination and the report names the files where they really are.
TEST_F(CliRoundTripTest, ArchivesOfOtherToolsRestoreBelowTheDestination) {
    const std::string archive = work.file("plain.zip");
    ASSERT_EQ(runCommand("cd '" + docs + "' && zip -q -r '" + archive + "' notes/ideas.txt letter.txt"), 0);

    auto restored = run({"restore", archive, "--to", "back", "--paths", "--create-dirs"});
    ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_EQ(readFile(work.file("back/notes/ideas.txt")), "one\ntwo\n");
    EXPECT_EQ(readFile(work.file("back/letter.txt")), "Dear reader,\nthe backup works.\n");
    EXPECT_NE(restored.out.find("restored\t" + work.file("back/notes/ideas.txt") + "\n"), std::string::npos)
        << restored.out;
    EXPECT_NE(restored.out.find("restored\t" + work.file("back/letter.txt") + "\n"), std::string::npos) << restored.out;
}

}  // namespace
}  // namespace quillet::test

namespace quillet::test {
namespace {

// Every name Linux allows comes back byte-identical from a real backup run, at any path
// length up to 4,000 bytes, and other unzip tools see the same names.
TEST_F(CliRoundTripTest, HostileNamesAndLongPathsRoundTripByteIdentical) {
    const std::string tree = work.mkdir("tree");
    std::vector<std::string> files = {"trail ", " lead", "line\nbreak",        "back\\slash", "star*",
                                      "what?",  "[set]", "\xff\xfe not utf-8", ".gitignore",  std::string(255, 'n')};
    std::string deep = "/deep";
    while ((tree + deep).size() < 4000 - 300) deep += "/" + std::string(200, 'd');
    files.push_back(deep.substr(1) + "/" + std::string(4000 - (tree + deep).size() - 1, 'f'));
    ASSERT_EQ((tree + "/" + files.back()).size(), 4000u);
    for (std::size_t i = 0; i < files.size(); ++i) work.write("tree/" + files[i], "content " + std::to_string(i));

    ASSERT_EQ(run({"project", "add", "Hostile", "--dest", "dest", "--prefix", "HOST"}).status, 0);
    ASSERT_EQ(run({"component", "add", "hostile", "--path", "tree", "--mask", "*", "--recurse"}).status, 0);
    auto backup = run({"backup", "hostile"});
    ASSERT_EQ(backup.status, 0) << backup.out << backup.err;
    const std::string archive = work.file("dest/HOST0001.LSP");
    ASSERT_EQ(runCommand("unzip -tqq '" + archive + "' >/dev/null 2>&1"), 0);

    auto tested = run({"test", archive});
    EXPECT_EQ(tested.status, 0) << tested.out;
    auto restored = run({"restore", archive, "--to", "back", "--paths", "--create-dirs"});
    ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
    ASSERT_EQ(runCommand("unzip -Z1 '" + archive + "' > '" + work.file("names") + "'"), 0);
    const std::string listedNames = readFile(work.file("names"));
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(readFile(work.file("back") + tree + "/" + files[i]), "content " + std::to_string(i)) << "file " << i;
        if (files[i].find('\n') == std::string::npos && files[i].find('\xff') == std::string::npos) {
            EXPECT_NE(listedNames.find(tree.substr(1) + "/" + files[i] + "\n"), std::string::npos)
                << "unzip names file " << i;
        }
    }
}

}  // namespace
}  // namespace quillet::test
