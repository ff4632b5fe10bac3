// Renumbering a project's archives around a new one, over real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "backup/RotateArchives.h"
#include "framework/ScriptedDialogs.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using test::readFile;
using test::TempDir;
using Names = std::vector<std::string>;

struct Destination {
    TempDir dir;
    FileSystem fs{dir.path()};
    ScriptedDialogs dialogs;
    std::string folder = dir.path() + "/";

    // Archives with their own number as content, so moves can be followed.
    void archives(const Names& names) {
        for (const auto& n : names) dir.write(n, "was " + n);
    }
    void temporary() { dir.write(TemporaryArchiveName, "new backup"); }
    // The listing the console would hand over: PREF????.LSP in name order.
    BackupList list() const {
        auto listed = fs.list(folder + "PREF????.lsp", 0);
        EXPECT_TRUE(listed.ok()) << listed.error();
        BackupList l = *listed;
        std::sort(l.begin(), l.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
        return l;
    }
    Names files() const {
        Names out;
        auto listed = fs.list(folder + "*", 0);
        for (const auto& e : *listed) out.push_back(e.name);
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string content(const std::string& name) const { return readFile(folder + name); }
    RotationOutcome rotate(int maxBackups, BackupList& l, std::vector<int>* bar = nullptr,
                           std::string destination = {}) {
        RotationRequest r{destination.empty() ? folder : destination, "PREF", maxBackups};
        return RotateArchives(fs, dialogs, r, l, [bar](int p) {
            if (bar) bar->push_back(p);
        });
    }
};

TEST(RotateArchives, MaxThreeDropsTheOldestAndMovesTheOthersUp) {
    Destination d;
    d.archives({"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"});
    d.temporary();
    BackupList l = d.list();
    std::vector<int> bar;
    const RotationOutcome out = d.rotate(3, l, &bar);

    ASSERT_TRUE(out.completed);
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
    EXPECT_EQ(d.content("PREF0001.LSP"), "new backup");
    EXPECT_EQ(d.content("PREF0002.LSP"), "was PREF0001.LSP");
    EXPECT_EQ(d.content("PREF0003.LSP"), "was PREF0002.LSP");
    EXPECT_EQ(out.finalPath, d.folder + "PREF0001.LSP");
    EXPECT_EQ(out.compressedBytes, 10);
    // The list follows the renames: two archives left, now 0002 and 0003.
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].name, "PREF0002.LSP");
    EXPECT_EQ(l[1].name, "PREF0003.LSP");
    // Two passes over two archives: quarters, then the bar is hidden.
    EXPECT_EQ(bar, (std::vector<int>{0, 25, 50, 75, 100, -1}));
    EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
}

TEST(RotateArchives, MaxZeroKeepsEveryArchiveAndMaxOneKeepsOnlyTheNew) {
    Destination d;
    d.archives({"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP", "PREF0004.LSP", "PREF0005.LSP"});
    d.temporary();
    BackupList l = d.list();
    ASSERT_TRUE(d.rotate(0, l).completed);
    EXPECT_EQ(d.files(),
              (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP", "PREF0004.LSP", "PREF0005.LSP", "PREF0006.LSP"}));
    EXPECT_EQ(d.content("PREF0006.LSP"), "was PREF0005.LSP");

    d.temporary();
    l = d.list();
    ASSERT_TRUE(d.rotate(1, l).completed);
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP"}));
    EXPECT_EQ(d.content("PREF0001.LSP"), "new backup");
}

TEST(RotateArchives, GapsCloseUpAndOtherProjectsFilesAreLeftAlone) {
    Destination d;
    d.archives({"PREF0001.LSP", "PREF0002.LSP", "PREF0005.LSP", "OTHR0001.LSP", "notes.txt"});
    d.temporary();
    BackupList l = d.list();
    ASSERT_TRUE(d.rotate(20, l).completed);
    EXPECT_EQ(d.files(),
              (Names{"OTHR0001.LSP", "PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP", "PREF0004.LSP", "notes.txt"}));
    EXPECT_EQ(d.content("PREF0002.LSP"), "was PREF0001.LSP");
    EXPECT_EQ(d.content("PREF0003.LSP"), "was PREF0002.LSP");
    EXPECT_EQ(d.content("PREF0004.LSP"), "was PREF0005.LSP");
    EXPECT_EQ(d.content("OTHR0001.LSP"), "was OTHR0001.LSP");
}

TEST(RotateArchives, FirstBackupOnlyMovesTheTemporaryArchive) {
    Destination d;
    d.temporary();
    BackupList l;
    std::vector<int> bar;
    const RotationOutcome out = d.rotate(3, l, &bar);
    ASSERT_TRUE(out.completed);
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP"}));
    EXPECT_EQ(bar, (std::vector<int>{0, -1}));
}

TEST(RotateArchives, DestinationWithoutTrailingSlashStillDeletesTheSurplus) {
    Destination d;
    d.archives({"PREF0001.LSP", "PREF0002.LSP"});
    d.temporary();
    BackupList l = d.list();
    ASSERT_TRUE(d.rotate(2, l, nullptr, d.dir.path()).completed);
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
    EXPECT_EQ(d.content("PREF0002.LSP"), "was PREF0001.LSP");
}

TEST(RotateArchives, LeftoversOfAnInterruptedRotationAreNumberedAgain) {
    // A run stopped between the two passes leaves its archives at 1002 and up.
    Destination d;
    d.archives({"PREF1002.LSP", "PREF1003.LSP", "PREF1004.LSP"});
    d.temporary();
    BackupList l = d.list();
    ASSERT_TRUE(d.rotate(0, l).completed) << d.dialogs.report();
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP", "PREF0004.LSP"}));
    EXPECT_EQ(d.content("PREF0002.LSP"), "was PREF1002.LSP");
    EXPECT_EQ(d.content("PREF0004.LSP"), "was PREF1004.LSP");
    EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
}

TEST(RotateArchives, AFailedRenameIsReportedAndStopsWithoutReplacingAnything) {
    // A file in the way of the first pass: the rename must not replace it.
    Destination d;
    d.archives({"PREF0001.LSP", "PREF0002.LSP"});
    d.dir.write("PREF1002.LSP", "in the way");
    d.temporary();
    BackupList l = d.list();  // as listed before the stray file came
    std::erase_if(l, [](const DirEntry& e) { return e.name == "PREF1002.LSP"; });
    d.dialogs.expect("Error - Renaming " + std::to_string(EEXIST) + "|" + d.folder + "PREF0001.LSP|" + d.folder +
                     "PREF1002.LSP");
    const RotationOutcome out = d.rotate(0, l);
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(d.dialogs.last().title, "Rename Error");
    EXPECT_EQ(d.dialogs.last().icon, Icon::Exclamation);
    // The first pass moved 0002 before it met the stray file; it stopped there, and the
    // new archive kept its temporary name. The plan stays for the next run to finish.
    EXPECT_EQ(d.files(),
              (Names{"PREF0001.LSP", "PREF1002.LSP", "PREF1003.LSP", RotationPlanName, TemporaryArchiveName}));
    EXPECT_EQ(d.content("PREF1002.LSP"), "in the way");
    EXPECT_EQ(d.content("PREF1003.LSP"), "was PREF0002.LSP");
    EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
}

TEST(RotateArchives, AMissingArchiveOrAMissingTemporaryIsFileNotFound) {
    Destination d;
    d.archives({"PREF0001.LSP"});
    BackupList l = d.list();
    d.dialogs.expect("Error! - File Not Found|" + d.folder + TemporaryArchiveName + " " + d.folder + "PREF0001.LSP");
    EXPECT_FALSE(d.rotate(0, l).completed);
    // Both passes ran; only the last rename failed.
    EXPECT_EQ(d.files(), (Names{"PREF0002.LSP", RotationPlanName}));
    EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
}

TEST(RotateArchives, AReadOnlyDestinationIsAccessDeniedAndNothingMoves) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    Destination d;
    d.archives({"PREF0001.LSP"});
    d.temporary();
    BackupList l = d.list();
    ::chmod(d.dir.path().c_str(), 0555);
    d.dialogs.expect("Error! - Access Denied|" + d.folder + "PREF0001.LSP " + d.folder + "PREF1002.LSP");
    EXPECT_FALSE(d.rotate(0, l).completed);
    ::chmod(d.dir.path().c_str(), 0755);
    EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", TemporaryArchiveName}));
    EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
}

TEST(ReportRenameError, TextsFollowTheSystemError) {
    ScriptedDialogs dialogs;
    dialogs.answer(1);
    dialogs.answer(1);
    dialogs.answer(1);
    ReportRenameError(dialogs, EXDEV, "/a/QLTTemp.___", "/b/X0001.LSP");
    ReportRenameError(dialogs, EPERM, "/a/x", "/a/y");
    ReportRenameError(dialogs, ENAMETOOLONG, "/a/x", "/a/y");
    ASSERT_EQ(dialogs.shown().size(), 3u);
    EXPECT_EQ(dialogs.shown()[0].request.text, "Error! - Not Same Device|/a/QLTTemp.___|/b/X0001.LSP");
    EXPECT_EQ(dialogs.shown()[1].request.text, "Error! - Access Denied|/a/x /a/y");
    EXPECT_EQ(dialogs.shown()[2].request.text, "Error - Renaming " + std::to_string(ENAMETOOLONG) + "|/a/x|/a/y");
    EXPECT_EQ(dialogs.shown()[2].request.buttons, "&OK");
}

TEST(ArchiveFileName, FourDigitsAfterThePrefix) {
    EXPECT_EQ(archiveFileName("AB  ", 7), "AB0007.LSP");
    EXPECT_EQ(archiveFileName("PREF", 1002), "PREF1002.LSP");
}

// A run that died during (or just before) its read-back check leaves its plan beside a new
// archive that may be no backup: the recovery reads it back itself and never numbers one
// that fails; it removes it only while the older archives are still where they were.
TEST(RotateArchives, AnInterruptedRotationWhoseNewArchiveDoesNotReadBackNeverNumbersIt) {
    for (const bool started : {false, true}) {
        SCOPED_TRACE(started ? "after the first rename" : "before any step");
        Destination d;
        d.archives({"PREF0001.LSP", "PREF0002.LSP"});
        d.temporary();  // not an archive at all
        BackupList l = d.list();
        const std::string plan = d.folder + RotationPlanName, temp = d.folder + TemporaryArchiveName;
        // What a kill during the check leaves: links keep the very files the plan names.
        const RotationOutcome outcome = RotateArchives(d.fs, d.dialogs, {d.folder, "PREF", 3}, l, {}, [&] {
            EXPECT_EQ(::link(plan.c_str(), (plan + ".kept").c_str()), 0);
            EXPECT_EQ(::link(temp.c_str(), (temp + ".kept").c_str()), 0);
            return false;
        });
        EXPECT_TRUE(outcome.checkFailed);
        EXPECT_FALSE(outcome.completed);
        // The failed check itself removes the archive and its plan and moves nothing.
        EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF0002.LSP", "QLTPlan.___.kept", "QLTTemp.___.kept"}));
        ASSERT_EQ(::rename((plan + ".kept").c_str(), plan.c_str()), 0);
        ASSERT_EQ(::rename((temp + ".kept").c_str(), temp.c_str()), 0);
        if (started) {
            // The plan's first step (the oldest archive out of the way) was done.
            ASSERT_EQ(::rename((d.folder + "PREF0002.LSP").c_str(), (d.folder + "PREF1003.LSP").c_str()), 0);
            d.dialogs.expect("of an interrupted renumbering of backups cannot be read back");
            EXPECT_EQ(CompleteInterruptedRotation(&d.dialogs, d.folder), RecoveryOutcome::Failed);
            EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF1003.LSP", "QLTPlan.___", "QLTTemp.___"}));
        } else {
            EXPECT_EQ(CompleteInterruptedRotation(&d.dialogs, d.folder), RecoveryOutcome::Completed);
            EXPECT_EQ(d.files(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));
            EXPECT_EQ(d.content("PREF0002.LSP"), "was PREF0002.LSP");
        }
        EXPECT_TRUE(d.dialogs.ok()) << d.dialogs.report();
    }
}

}  // namespace
}  // namespace quillet
