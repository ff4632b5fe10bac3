#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "HousekeepingFixture.h"
#include "catalog/ArchiveComment.h"
#include "catalog/ArchiveCommentRecord.h"
#include "maintenance/HousekeepingRules.h"
#include "platform/FolderLock.h"

namespace quillet::test {
namespace {

using Housekeeping = HousekeepingFixture;

TEST(HousekeepingNames, ExtensionAndTargets) {
    EXPECT_EQ(WithLspExtension("Keep"), "Keep.lsp");
    EXPECT_EQ(WithLspExtension("ABCD0003.LSP"), "ABCD0003.LSP");
    EXPECT_EQ(WithLspExtension("old.LsP.bak"), "old.LsP.bak");
    EXPECT_EQ(WithLspExtension("notes.ls"), "notes.ls.lsp");

    EXPECT_EQ(RenameSourcePath("/b/ABCD0003.LSP"), "/b/ABCD0003.LSP");
    EXPECT_EQ(RenameSourcePath("/b/ABCD0003"), "/b/ABCD0003.lsp");
    EXPECT_EQ(RenameTargetPath("/b/ABCD0003.LSP", "Keep"), "/b/Keep.lsp");
    EXPECT_EQ(RenameTargetPath("/b/ABCD0003.LSP", "Keep.Lsp "), "/b/Keep.Lsp");

    EXPECT_EQ(CopyTargetPath("copy", "/b"), "/b/copy.lsp");
    EXPECT_EQ(CopyTargetPath("../other/x.LSP", "/b/sub"), "/b/other/x.LSP");
    EXPECT_EQ(CopyTargetPath("/fav/ABCD0001.LSP", "/b"), "/fav/ABCD0001.LSP");
    EXPECT_EQ(CopyTargetPath("~/fav/a", "/b"), homeFolder() + "/fav/a.lsp");
    EXPECT_EQ(CopyTargetPath("   ", "/b"), "");

    // 5 March 2024, 2:07 PM; trailing blanks of the notes go, the stamp starts a new line.
    EXPECT_EQ(NotesWithDateTime("seen  ", {81517, 5082001}), "seen\r\n03/05/2024 2:07 PM");
    EXPECT_EQ(NotesWithDateTime("", {81517, 5082001}), "\r\n03/05/2024 2:07 PM");
}

TEST_F(Housekeeping, RenameKeepsTheFolderAndNeverReplaces) {
    const std::string folder = dir.mkdir("dest");
    const std::string old = dir.write("dest/ABCD0003.LSP", "archive three");
    EXPECT_TRUE(RenameArchiveFile(dialogs, old, "Keep"));
    EXPECT_EQ(readFile(folder + "/Keep.lsp"), "archive three");
    EXPECT_FALSE(fs.fileExists(old));

    struct Refusal {
        const char* what;
        std::string entry;
        std::string text;
        Icon icon;
    };
    dir.write("dest/ABCD0002.LSP", "archive two");
    dir.mkdir("dest/Folder.lsp");
    ASSERT_EQ(::symlink("/nonexistent/target", (folder + "/Dangling.lsp").c_str()), 0);
    const std::string from = folder + "/ABCD0002.LSP";
    const std::vector<Refusal> refusals{
        {"an existing file", "Keep", "Error - Renaming 80 " + from + " " + folder + "/Keep.lsp", Icon::None},
        {"the same name in other case", "keep.LSP", "", Icon::None},
        {"an existing folder", "Folder", "Error - Renaming 80 " + from + " " + folder + "/Folder.lsp", Icon::None},
        {"a link to nothing", "Dangling", "Error - Renaming 80 " + from + " " + folder + "/Dangling.lsp", Icon::None},
        {"out of the folder", "../Moved", "Error - Renaming 123 " + from + " " + folder + "/../Moved.lsp", Icon::None},
        {"a blank name", "  ", "Error - Renaming 123 " + from + " " + folder + "/.lsp", Icon::None},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        if (r.text.empty()) {
            // Names differ by case only: a different file here, renamed as asked, then back.
            EXPECT_TRUE(RenameArchiveFile(dialogs, from, r.entry));
            EXPECT_TRUE(RenameArchiveFile(dialogs, folder + "/" + r.entry, "ABCD0002.LSP"));
            continue;
        }
        dialogs.expect(r.text);
        EXPECT_FALSE(RenameArchiveFile(dialogs, from, r.entry));
        EXPECT_EQ(dialogs.last().text, r.text);
        EXPECT_EQ(dialogs.last().title, "Rename Error");
        EXPECT_EQ(dialogs.last().icon, r.icon);
        EXPECT_EQ(readFile(from), "archive two");
        EXPECT_EQ(readFile(folder + "/Keep.lsp"), "archive three");
    }

    const std::string gone = folder + "/ABCD0009.LSP";
    dialogs.expect("Error! - File Not Found " + gone + " " + folder + "/Other.lsp");
    EXPECT_FALSE(RenameArchiveFile(dialogs, gone, "Other"));
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    EXPECT_FALSE(RenameArchiveFile(dialogs, from, "ABCD0002.LSP")) << "nothing to do";
}

TEST_F(Housekeeping, RenameInAFolderWithoutWriteAccessIsDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    const std::string folder = dir.mkdir("locked");
    const std::string old = dir.write("locked/ABCD0001.LSP", "one");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    dialogs.expect("Error! - Access Denied " + old + " " + folder + "/Keep.lsp");
    EXPECT_FALSE(RenameArchiveFile(dialogs, old, "Keep"));
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(readFile(old), "one");
}

TEST_F(Housekeeping, CopyReplacesOnlyWhole) {
    const std::string source = dir.write("dest/ABCD0001.LSP", std::string(300'000, 'a'));
    const std::string target = dir.write("fav/ABCD0001.LSP", "older copy");
    ::chmod(source.c_str(), 0600);
    EXPECT_TRUE(CopyArchiveFile(dialogs, source, target));
    EXPECT_EQ(readFile(target), readFile(source));
    EXPECT_EQ(runCommand("test \"$(ls -A '" + dir.file("fav") + "')\" = ABCD0001.LSP"), 0)
        << "no temporary file or lock file left";
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a copy of an archive stays private";

    // A target folder that does not exist: said so, nothing made.
    dialogs.expect("Cannot copy");
    EXPECT_FALSE(CopyArchiveFile(dialogs, source, dir.file("missing/ABCD0001.LSP")));
    EXPECT_EQ(dialogs.last().title, "Copy Error");
    EXPECT_FALSE(fs.folderExists(dir.file("missing")));
}

TEST_F(Housekeeping, ACommentEditGivesTheArchiveOneCommentItem) {
    const std::string path = makeArchive("dest", "ABCD0001.LSP", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    EXPECT_EQ(itemCount(path, "LSPComments.inb"), 0);
    EXPECT_EQ(ReadArchiveCommentRecord(archive, paths.programFolder).NOTES, "");

    ArchiveCommentRecord record;
    record.NOTES = "first note";
    EXPECT_EQ(ReplaceArchiveComment(archive, paths.programFolder, record), 0);
    const std::string bytes = itemBytes(path, "LSPComments.inb");
    ASSERT_EQ(bytes.size(), 1016u);
    EXPECT_EQ(bytes.substr(0, 16), std::string(16, '\0')) << "no creation stamp, no sizes";
    EXPECT_EQ(bytes.substr(16), "first note" + std::string(990, ' '));
    EXPECT_TRUE(unzipTestPasses(path));
    EXPECT_EQ(itemBytes(path, "a.txt"), "alpha");
    EXPECT_FALSE(fs.fileExists(paths.programFolder + "LSPComments.inb")) << "the working copy goes";

    // A second edit replaces the item, keeping the record's stamp.
    record = ReadArchiveCommentRecord(archive, paths.programFolder);
    record.DATECREATED = 81517;
    record.NOTES = "second note";
    EXPECT_EQ(ReplaceArchiveComment(archive, paths.programFolder, record), 0);
    EXPECT_EQ(itemCount(path, "LSPComments.inb"), 1);
    EXPECT_EQ(ReadArchiveComment(archive, paths.programFolder), "Comments:\r\n\r\nsecond note");
    EXPECT_EQ(ReadArchiveCommentRecord(archive, paths.programFolder).DATECREATED, 81517);
    archive.ReadDirectory();
    EXPECT_EQ(archive.LSPQ.size(), 2u);
}

TEST_F(Housekeeping, ACommentIsNotStoredWhereItCannotGo) {
    ArchiveCommentRecord record;
    record.NOTES = "lost?";
    // A vanished archive: packing would make a new one holding only the comment.
    archive.ARCHIVE_NAME = dir.file("dest/ABCD0007.LSP");
    dir.mkdir("dest");
    dialogs.expect("Error opening archive");
    EXPECT_NE(ReplaceArchiveComment(archive, paths.programFolder, record), 0);
    EXPECT_FALSE(fs.fileExists(archive.ARCHIVE_NAME));

    // Not a ZIP archive: the library's error text, the file untouched.
    archive.ARCHIVE_NAME = dir.write("dest/ABCD0008.LSP", "not an archive");
    dialogs.expect("");
    EXPECT_NE(ReplaceArchiveComment(archive, paths.programFolder, record), 0);
    EXPECT_EQ(dialogs.last().title, "Error");
    EXPECT_EQ(readFile(archive.ARCHIVE_NAME), "not an archive");
}

}  // namespace
}  // namespace quillet::test
