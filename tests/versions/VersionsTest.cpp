// Finding every version of a file and what changed between backups, on archives made by
// real backups of the program, with the index of archive directories in its real place.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "CliRunner.h"
#include "catalog/ArchiveIndex.h"
#include "catalog/ItemChanges.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace quillet::test {
namespace {

class VersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = work.mkdir("home");
        docs = work.mkdir("docs");
        work.write("docs/stable.txt", "never changes\n");
        work.write("docs/photo.bin", randomBytes(50000, 3));
        ASSERT_EQ(run({"project", "add", "Docs", "--dest", "dest", "--prefix", "docs"}).status, 0);
        ASSERT_EQ(run({"component", "add", "docs", "--path", "docs", "--mask", "*.*", "--recurse"}).status, 0);
    }

    CliResult run(const std::vector<std::string>& args) { return runQuillet(home, work.path(), args); }
    void backUp() {
        const auto r = run({"backup", "docs"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }
    std::string archive(int number) const { return work.file("dest/DOCS000" + std::to_string(number) + ".LSP"); }
    std::string indexFile() const { return Paths::inFolder(home).dataFolder + ArchiveIndex::FileName; }

    // The rows of a find, without its two summary lines.
    std::vector<std::vector<std::string>> found(const CliResult& r) {
        std::vector<std::vector<std::string>> rows;
        const auto all = lines(r.out);
        EXPECT_GE(all.size(), 2u) << r.out << r.err;
        for (std::size_t i = 0; i + 2 < all.size(); ++i) rows.push_back(fields(all[i]));
        return rows;
    }

    TempDir work;
    std::string home, docs;
};

TEST_F(VersionsTest, FiveBackupsGiveFiveVersionsAndTheThirdRestoresItsContent) {
    for (int k = 1; k <= 5; ++k) {
        work.write("docs/letter.txt", "letter, draft " + std::to_string(k) + "\n");
        backUp();
    }
    const CliResult letter = run({"find", "LETTER.T?T", "docs"});
    ASSERT_EQ(letter.status, 0) << letter.err;
    const auto rows = found(letter);
    ASSERT_EQ(rows.size(), 5u) << letter.out;
    std::set<std::string> crcs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u);
        EXPECT_EQ(rows[i][0], docs + "/letter.txt");
        // Newest content first: version n is in archive n.
        EXPECT_EQ(rows[i][1], std::to_string(i + 1));
        EXPECT_EQ(rows[i][2], archive(static_cast<int>(i) + 1));
        EXPECT_EQ(rows[i][5], "16");
        crcs.insert(rows[i][6]);
    }
    EXPECT_EQ(crcs.size(), 5u);
    EXPECT_EQ(lines(letter.out)[5], "Items Found:\t1");

    // The version found in the third archive restores the third draft.
    const CliResult restored = run({"restore", rows[2][2], "--to", "out", "letter.txt"});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(readFile(work.file("out/letter.txt")), "letter, draft 3\n");

    // Identical versions share their number.
    const auto stable = found(run({"find", "stable.*"}));
    ASSERT_EQ(stable.size(), 5u);
    for (const auto& r : stable) EXPECT_EQ(r[1], "1");

    // The index only repeats the archives: without it, or damaged, the answer is the same.
    ASSERT_EQ(::unlink(indexFile().c_str()), 0);
    EXPECT_EQ(run({"find", "LETTER.T?T", "docs"}).out, letter.out);
    work.write("home/" + std::string(ArchiveIndex::FileName), std::string(4096, 'x'));
    EXPECT_EQ(run({"find", "LETTER.T?T", "docs"}).out, letter.out);
    const CliResult reindex = run({"reindex"});
    ASSERT_EQ(reindex.status, 0) << reindex.err;
    EXPECT_EQ(lines(reindex.out).back(), "Items:\t15");
    EXPECT_EQ(run({"find", "LETTER.T?T", "docs"}).out, letter.out);
    EXPECT_EQ(run({"find", "nothing.here"}).status, 1);
}

TEST_F(VersionsTest, DiffReportsExactlyTheChangedFilesAndThePreviewCountsMatch) {
    work.write("docs/letter.txt", "first\n");
    work.write("docs/old/gone.txt", "soon deleted\n");
    backUp();
    work.write("docs/letter.txt", "second, longer\n");
    work.write("docs/small.txt", "s");
    work.write("docs/sub/large.bin", randomBytes(20000, 9));
    ASSERT_EQ(::unlink(work.file("docs/old/gone.txt").c_str()), 0);

    const CliResult preview = run({"preview", "docs", "--changes"});
    ASSERT_EQ(preview.status, 0) << preview.err;
    const std::vector<std::string> expected = {
        "new\t" + docs + "/sub/large.bin\t20000",
        "new\t" + docs + "/small.txt\t1",
        "changed\t" + docs + "/letter.txt\t15\tsize, time",
        "vanished\t" + docs + "/old/gone.txt\t13",
        "Compared With:\t" + archive(1),
        "New Files:\t2",
        "Changed Files:\t1",
        "Vanished Files:\t1",
    };
    const auto previewLines = lines(preview.out);
    ASSERT_GE(previewLines.size(), expected.size()) << preview.out;
    EXPECT_EQ(std::vector<std::string>(previewLines.begin(), previewLines.begin() + 8), expected) << preview.out;

    backUp();
    const CliResult diff = run({"diff", archive(2), archive(1)});
    ASSERT_EQ(diff.status, 0) << diff.err;
    EXPECT_EQ(lines(diff.out), (std::vector<std::string>{
                                   "added\t" + docs + "/sub/large.bin\t20000",
                                   "added\t" + docs + "/small.txt\t1",
                                   "removed\t" + docs + "/old/gone.txt\t13",
                                   "changed\t" + docs + "/letter.txt\t15\tsize, time, CRC",
                                   "Added:\t2",
                                   "Removed:\t1",
                                   "Changed:\t1",
                               }));

    // Right after the backup nothing is new, changed or gone: times are kept exactly.
    const auto after = lines(run({"preview", "docs", "--changes"}).out);
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(after[1], "New Files:\t0");
    EXPECT_EQ(after[2], "Changed Files:\t0");
    EXPECT_EQ(after[3], "Vanished Files:\t0");
}

TEST_F(VersionsTest, IndexFollowsArchivesChangedBehindTheProgramsBack) {
    for (int k = 1; k <= 3; ++k) {
        work.write("docs/letter.txt", "draft " + std::to_string(k) + "\n");
        backUp();
    }
    const std::vector<std::string> all = {archive(1), archive(2), archive(3)};
    ArchiveIndex index(Paths::inFolder(home).dataFolder);
    // Each backup indexed its new archive and took over the renumbered ones.
    ASSERT_TRUE(index.update(all));
    EXPECT_EQ(index.directoriesRead(), 0);

    auto crcIn = [&](const std::vector<std::string>& archives) {
        std::vector<std::pair<std::string, std::uint32_t>> out;
        auto found = index.find("letter.txt", archives);
        EXPECT_TRUE(found) << found.error();
        if (found)
            for (const FoundVersion& v : *found) out.emplace_back(v.archive, v.item.crc);
        return out;
    };
    std::map<std::string, std::uint32_t> crc;
    for (const auto& [a, value] : crcIn(all)) crc[a] = value;
    ASSERT_EQ(crc.size(), 3u);
    const std::uint32_t draft2 = crc[archive(2)], draft3 = crc[archive(3)];

    struct Case {
        const char* what;
        std::string command;
        std::vector<std::string> archives;
        int reads;  // directories read again
        std::vector<std::pair<std::string, std::uint32_t>> expected;
    };
    const std::string d = work.file("dest/");
    const std::vector<Case> cases = {
        // Replaced in place: a new identity, read again.
        {"replaced",
         "cp '" + archive(3) + "' '" + archive(1) + "'",
         all,
         1,
         {{archive(3), draft3}, {archive(2), draft2}, {archive(1), draft3}}},
        // Renamed: the same file under a new name, not read again.
        {"renamed",
         "mv '" + archive(2) + "' '" + d + "DOCS0009.LSP'",
         {archive(1), d + "DOCS0009.LSP", archive(3)},
         0,
         {{archive(3), draft3}, {d + "DOCS0009.LSP", draft2}, {archive(1), draft3}}},
        // Deleted: gone from the answers.
        {"deleted",
         "rm '" + archive(3) + "'",
         {archive(1), d + "DOCS0009.LSP", archive(3)},
         0,
         {{d + "DOCS0009.LSP", draft2}, {archive(1), draft3}}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runCommand(c.command), 0) << c.what;
        const int readBefore = index.directoriesRead();
        auto got = crcIn(c.archives);
        std::sort(got.begin(), got.end());
        auto want = c.expected;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.what;
        EXPECT_EQ(index.directoriesRead() - readBefore, c.reads) << c.what;
    }
}

TEST(ItemChanges, TimesCompareAtThePrecisionTheyWereStoredWith) {
    auto item = [](std::int64_t seconds, std::uint32_t nanos, bool exact) {
        IndexedItem i;
        i.path = "/d/";
        i.name = "f";
        i.size = 10;
        i.mtime = seconds;
        i.nanos = nanos;
        i.exactTime = exact;
        return i;
    };
    struct Case {
        IndexedItem before, after;
        bool changed;
    };
    const std::vector<Case> cases = {
        {item(100, 5, true), item(100, 5, true), false},
        {item(100, 5, true), item(100, 6, true), true},    // rewritten within the second
        {item(100, 0, false), item(101, 7, true), false},  // a two-second stamp
        {item(100, 0, false), item(102, 0, true), true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ItemChanges c = compareItems({cases[i].before}, {cases[i].after});
        EXPECT_EQ(c.changed.size(), cases[i].changed ? 1u : 0u) << "case " << i;
        EXPECT_TRUE(c.added.empty() && c.removed.empty()) << "case " << i;
    }
}

}  // namespace
}  // namespace quillet::test
