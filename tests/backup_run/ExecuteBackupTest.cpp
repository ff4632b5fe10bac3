// The backup command around the run: destination and disk-space checks, the temporary
// archive, the recent-projects list, the archive list and the unattended "-P" run.
#include <gtest/gtest.h>

#include <cerrno>

#include "BackupBench.h"
#include "app/CheckProjectPath.h"
#include "app/LastBackedList.h"
#include "app/RefreshBackupList.h"
#include "app/UnattendedRun.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::readFile;
using test::RecordingView;
using Names = std::vector<std::string>;

TEST(ExecuteBackup, UnreachableDestinationAsksAndContinueCreatesIt) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.project.DESTINATIONPATH = b.dir.file("later/backups/");
    b.saveProject();
    const std::string question = "The destination path is currently unavailable! If you click \"Continue\"";

    BackupCommandState state;
    RecordingView view;
    b.dialogs.expect(question, 1);  // &Cancel
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Declined);
    EXPECT_EQ(b.dialogs.last().title, "Path Not Available");
    EXPECT_EQ(b.dialogs.last().buttons, "&Cancel|C&ontinue");
    EXPECT_FALSE(b.fs.folderExists(b.dir.file("later")));
    EXPECT_EQ(state.backups.pathErrorText, "ERROR: \r\n\r\n" + b.dir.file("later/backups/") + " is unavailable!");

    b.dialogs.expect(question, 2);  // C&ontinue
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded);
    EXPECT_TRUE(test::unzipTestPasses(b.dir.file("later/backups/PREF0001.LSP")));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ExecuteBackup, NewestArchiveMayBeUpToThreeTimesTheFreeSpace) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.dir.write("dest/PREF0001.LSP", std::string(3000, 'n'));  // the newest: it decides
    b.dir.write("dest/PREF0002.LSP", std::string(9000, 'o'));
    BackupCommandState state;
    RecordingView view;

    b.freeBytes = 999;  // 3000 > 2997
    b.dialogs.expect("The available disk space on drive \"/\" is too low to complete the operation");
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Declined);
    EXPECT_EQ(b.dialogs.last().title, "Not Enough Disk Space!");
    EXPECT_EQ(b.dialogs.beeps(), 1);
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP"}));

    b.freeBytes = 1000;  // exactly three times: not greater, so it goes on
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded);
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "PREF0002.LSP", "PREF0003.LSP"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ExecuteBackup, FirstBackupAsksBelowFiveMillionBytes) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    BackupCommandState state;
    RecordingView view;
    const std::string question =
        "The available disk space on drive \"/\" is getting mighty low, do you want to continue?";

    b.freeBytes = 4'999'999;
    b.dialogs.expect(question, 2);
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Declined);
    EXPECT_EQ(b.dialogs.last().title, "Disk Space is getting low!");
    EXPECT_EQ(b.dialogs.last().defaultButton, 2);
    EXPECT_TRUE(b.destFiles().empty());

    b.dialogs.expect(question, 1);
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded);

    // With an archive present only the three-times rule counts.
    b.freeBytes = 5'000'000;
    b.dialogs.clear();
    std::remove((b.dest + "PREF0001.LSP").c_str());
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded);
    EXPECT_TRUE(b.dialogs.shown().empty());
}

TEST(ExecuteBackup, StaleTemporaryArchivesAreDeletedBeforeAndAfterAFailedRun) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.dir.write("dest/QLTTemp.___", "left by a run that was killed");
    b.dir.write("dest/QLTTemp.___.lsptmp-AbC123", "unfinished copy of the library");
    b.dir.write("dest/other.lsptmp-AbC123", "not ours");
    BackupCommandState state;
    RecordingView view;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "other.lsptmp-AbC123"}));
    EXPECT_EQ(test::unzipNames(b.dest + "PREF0001.LSP").size(), 2u);

    // A run stopped while packing leaves no temporary archive behind.
    b.dialogs.expect("Are you sure that you want to Cancel?", 1);
    view.onShowFiles = [&](const BackupFileList&) { view.cancel = true; };
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);
    EXPECT_EQ(b.destFiles(), (Names{"PREF0001.LSP", "other.lsptmp-AbC123"}));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ExecuteBackup, ANewBackupThatCannotTakeItsNumberFailsAndIsKept) {
    // The oldest archive goes as surplus, then the new one cannot become 0001 (a folder
    // has that name). The run must not report success, and the new archive - now the
    // only backup there is - must not be cleaned away as a leftover.
    BackupBench b("Accounts", 1);
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.dir.write("dest/PREF0002.LSP", "oldest");
    b.dir.mkdir("dest/PREF0001.LSP");
    BackupCommandState state;
    RecordingView view;
    b.dialogs.expect("Error - Renaming " + std::to_string(EEXIST) + "|" + b.dest + "QLTTemp.___|" + b.dest +
                     "PREF0001.LSP");
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Failed);
    EXPECT_EQ(b.dialogs.last().title, "Rename Error");
    // The folder in the way is not listed; the plan stays for the next run to finish.
    EXPECT_EQ(b.destFiles(), (Names{RotationPlanName, "QLTTemp.___"}));
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "QLTTemp.___"));
    EXPECT_EQ(state.lastBacked.entries[0], 0);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ExecuteBackup, ABackupThatWouldNeedNumber10000IsRefusedBeforePacking) {
    BackupBench b("Accounts", 0);  // keep every archive
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    for (int i = 1; i <= 9999; ++i) b.dir.write("dest/" + archiveFileName("PREF", i), "");
    BackupCommandState state;
    RecordingView view;
    b.dialogs.expect("The project \"Accounts\" already has 9999 backups in " + b.dest);
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Declined);
    EXPECT_EQ(b.dialogs.last().title, "Too Many Backups");
    EXPECT_EQ(b.destFiles().size(), 9999u);
    EXPECT_EQ(b.destFiles().back(), "PREF9999.LSP");

    // With a maximum the surplus goes first, so the same folder is no obstacle.
    b.project.MAXBACKUPS = 20;
    b.saveProject();
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_EQ(b.destFiles().size(), 20u);
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(ExecuteBackup, ArchiveObjectIsPreparedForTheTemporaryArchive) {
    BackupBench b;
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.archive.COMPRESSION_METHOD = 3;
    b.archive.PACK_FLAG = 0xFFFF;  // whatever an earlier command left
    BackupCommandState state;
    std::uint32_t flagsSeen = 0;
    std::string nameSeen;
    RecordingView view;
    view.onShowFiles = [&](const BackupFileList&) {
        flagsSeen = b.archive.PACK_FLAG;
        nameSeen = b.archive.ARCHIVE_NAME;
    };
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded);
    EXPECT_EQ(nameSeen, b.dest + "QLTTemp.___");
    // Full paths (0x0002), batch (0x0020), absolute (0x0008), message pump (0x4000).
    EXPECT_EQ(flagsSeen, 0x0002u | 0x0020u | 0x0008u | 0x4000u);
    EXPECT_EQ(b.archive.COMPRESSION_METHOD, 2);
    EXPECT_EQ(b.archive.USE_LSP_MESSAGE_PUMP, 1);
    EXPECT_FALSE(state.reminderSuspended);
}

TEST(ExecuteBackup, FavouritesFolderIsNeverBackedUp) {
    BackupBench b;
    b.project.FAVORITES = 1;
    BackupCommandState state;
    RecordingView view;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::NotRun);
    EXPECT_TRUE(b.dialogs.shown().empty());
}

TEST(LastBackedList, BackupsMoveTheirProjectToTheFront) {
    LastBackedList l;
    for (int id : {10, 20, 10, 30}) l.record(id);
    EXPECT_EQ(l.entries, (std::array<std::int32_t, 5>{30, 10, 20, 0, 0}));
    l.record(30);  // already first: unchanged
    EXPECT_EQ(l.entries, (std::array<std::int32_t, 5>{30, 10, 20, 0, 0}));
    l.record(20);  // from slot 3 to 1, the others shift down
    EXPECT_EQ(l.entries, (std::array<std::int32_t, 5>{20, 30, 10, 0, 0}));
    for (int id : {40, 50, 60}) l.record(id);
    EXPECT_EQ(l.entries, (std::array<std::int32_t, 5>{60, 50, 40, 20, 30}));
}

TEST(LastBackedList, SavedWithZerosAndLoadedWithEmptySlotsAsZero) {
    BackupBench b;
    b.settings.write("LastBacked", "1", "12");
    b.settings.write("LastBacked", "3", "x");
    LastBackedList l = LastBackedList::load(b.settings);
    EXPECT_EQ(l.entries, (std::array<std::int32_t, 5>{12, 0, 0, 0, 0}));
    l.record(7);
    ASSERT_TRUE(l.save(b.settings));
    EXPECT_EQ(b.settings.read("LastBacked", "1"), "7");
    EXPECT_EQ(b.settings.read("LastBacked", "2"), "12");
    EXPECT_EQ(b.settings.read("LastBacked", "5"), "0");
}

TEST(RefreshBackupList, ListsThePrefixArchivesInNumberOrderWhateverTheirCase) {
    BackupBench b;
    b.dir.write("dest/pref0002.lsp", "22");
    b.dir.write("dest/PREF0001.LSP", "1");
    b.dir.write("dest/PREF0003.LSP", "333");
    b.dir.write("dest/PREF12.LSP", "too short");
    b.dir.write("dest/OTHR0001.LSP", "other project");
    BackupListState state;
    RefreshBackupList(b.fs, b.project, b.paths.programFolder, state);
    ASSERT_TRUE(state.reachable);
    ASSERT_EQ(state.count, 3);
    EXPECT_EQ(state.list[0].name, "PREF0001.LSP");
    EXPECT_EQ(state.list[1].name, "pref0002.lsp");
    EXPECT_EQ(state.list[2].name, "PREF0003.LSP");
    EXPECT_EQ(state.totalBytes, 6);

    Project favourites = b.project;
    favourites.FAVORITES = 1;
    RefreshBackupList(b.fs, favourites, b.paths.programFolder, state);
    EXPECT_EQ(state.count, 5);

    RefreshBackupList(b.fs, std::nullopt, b.paths.programFolder, state);
    EXPECT_EQ(state.count, 0);
    EXPECT_EQ(state.pathErrorText, NoProjectsText);
}

TEST(RefreshBackupList, NeverTakesTheArchivesOfAnotherProject) {
    // Prefixes are unique with A-Z folded only, so "ÉCRI" may belong to another project
    // than "éCRI"; the wildcard listing alone would take its archives and the rotation
    // would delete them.
    BackupBench b("Writing", 1);
    b.project.PREFIX = "éCRI";
    b.saveProject();
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.dir.write("dest/ÉCRI0001.LSP", "another project's only backup");
    b.dir.write("dest/écri0001.lsp", "ours");
    BackupListState listed;
    RefreshBackupList(b.fs, b.project, b.paths.programFolder, listed);
    ASSERT_EQ(listed.count, 1);
    EXPECT_EQ(listed.list[0].name, "écri0001.lsp");

    BackupCommandState state;
    RecordingView view;
    EXPECT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
    EXPECT_EQ(b.destFiles(), (Names{"ÉCRI0001.LSP", "éCRI0001.LSP"}));
    EXPECT_EQ(readFile(b.dest + "ÉCRI0001.LSP"), "another project's only backup");

    // A prefix holding a wildcard (a record written before the form refused them) is
    // read as text, not as a pattern.
    b.project.PREFIX = "P?EF";
    b.dir.write("dest/PREF0001.LSP", "PREF's");
    b.dir.write("dest/P?EF0001.LSP", "ours");
    RefreshBackupList(b.fs, b.project, b.paths.programFolder, listed);
    ASSERT_EQ(listed.count, 1);
    EXPECT_EQ(listed.list[0].name, "P?EF0001.LSP");
}

TEST(CheckProjectPath, ReachableLeavesTheCurrentFolderWhereItWas) {
    BackupBench b;
    b.fs.setCurrentFolder(b.paths.programFolder);
    EXPECT_FALSE(CheckProjectPath(b.fs, b.dest, b.paths.programFolder).has_value());
    EXPECT_EQ(b.fs.currentFolder() + "/", b.paths.programFolder);
    const auto text = CheckProjectPath(b.fs, b.dir.file("gone/ "), b.paths.programFolder);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "ERROR: \r\n\r\n" + b.dir.file("gone/") + " is unavailable!");
    EXPECT_EQ(b.fs.currentFolder() + "/", b.paths.programFolder);
}

TEST(UnattendedRun, FindsTheProjectByNameKeepsTheRecentListAndReportsImproperNames) {
    BackupBench b("MyProject");
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    b.settings.write("LastBacked", "1", "7");
    b.settings.write("LastBacked", "2", "8");
    b.catalog.close();  // the run opens the record files itself

    const Services s = b.commandServices();
    RecordingView view;
    LoopBackupDriver driver(view);
    EXPECT_EQ(RunUnattendedBackup(s, "MYPROJECT", driver), unattended::Succeeded) << b.dialogs.report();
    EXPECT_TRUE(test::unzipTestPasses(b.dest + "PREF0001.LSP"));
    EXPECT_EQ(LastBackedList::load(b.settings).entries, (std::array<std::int32_t, 5>{b.project.SYSID, 7, 8, 0, 0}));

    b.dialogs.expect("Improper Project Name Passed:||NOSUCH");
    EXPECT_EQ(RunUnattendedBackup(s, "NOSUCH", driver), unattended::ImproperName);
    EXPECT_EQ(b.dialogs.last().title, "Quillet Message");
    EXPECT_EQ(b.dialogs.last().icon, Icon::Exclamation);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    EXPECT_FALSE(b.catalog.isOpen());
    b.catalog.open();
}

}  // namespace
}  // namespace quillet
