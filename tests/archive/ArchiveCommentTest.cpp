#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveTestSupport.h"
#include "catalog/ArchiveComment.h"
#include "catalog/ArchiveCommentRecord.h"
#include "framework/Clock.h"
#include "lsp/lsp.h"
#include "platform/DateCodes.h"
#include "platform/FileSystem.h"

namespace quillet::test {
namespace {

class Comments : public ArchiveFixture {
protected:
    void SetUp() override {
        ArchiveFixture::SetUp();
        program = dir.mkdir("program");
        workingCopy = program + "/LSPComments.inb";
    }
    // A fresh archive with one file, named name.
    std::string archiveWithFile(const std::string& name) {
        archive->ARCHIVE_NAME = dir.file(name);
        archive->Add(dir.write("data/" + name + ".txt", "payload of " + name), "", "", 1);
        return archive->ARCHIVE_NAME;
    }
    int commentItemsIn(const std::string& path) const {
        return runCommand("test \"$(unzip -Z1 '" + path + "' | grep -c '^LSPComments.inb$')\" = 1") == 0 ? 1 : 0;
    }

    ManualClock clock{1'700'000'000};
    std::string program;
    std::string workingCopy;
};

TEST_F(Comments, ANoteOfExactlyThousandCharactersMakesTheRoundTrip) {
    std::string notes;
    for (int i = 0; notes.size() < 1000; ++i) notes += "line " + std::to_string(i) + "\r\n";
    notes.resize(999);
    notes += "!";  // the last character must survive
    ASSERT_EQ(notes.size(), 1000u);

    const std::string path = archiveWithFile("full.lsp");
    EXPECT_EQ(WriteArchiveComment(*archive, program, notes, clock), LSP_OK);

    // The working copy stays: one 1016-byte record, creation stamp from the clock.
    const std::string bytes = readFile(workingCopy);
    ASSERT_EQ(bytes.size(), 1016u);
    std::int32_t date = 0, time = 0;
    std::memcpy(&date, bytes.data(), 4);
    std::memcpy(&time, bytes.data() + 4, 4);
    EXPECT_EQ(date, clock.now().date);
    EXPECT_EQ(time, clock.now().time);
    EXPECT_EQ(bytes.substr(8, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(16), notes);

    EXPECT_TRUE(unzipTestPasses(path));
    EXPECT_EQ(commentItemsIn(path), 1);
    archive->ReadDirectory();
    EXPECT_EQ(archive->LSPQ.size(), 1u) << "the comment is not listed";

    const std::string text = ReadArchiveComment(*archive, program);
    EXPECT_EQ(text, std::string("Comments:\r\n\r\n") + notes);
    EXPECT_EQ(archive->ITEM_NAME, "LSPComments.inb");
    EXPECT_EQ(archive->PATH_INFO, "");
    EXPECT_FALSE(FileSystem().fileExists(workingCopy)) << "the read deletes its copy";
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(Comments, LongNotesAreCutAndTrailingSpacesDropped) {
    archiveWithFile("long.lsp");
    WriteArchiveComment(*archive, program, std::string(1200, 'n'), clock);
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\n" + std::string(1000, 'n'));
    WriteArchiveComment(*archive, program, "short note   ", clock);
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\nshort note");
}

TEST_F(Comments, NoCommentItemGivesTheHeadingAlone) {
    archiveWithFile("plain.lsp");
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\n");
    EXPECT_FALSE(FileSystem().fileExists(workingCopy));

    archive->ARCHIVE_NAME = dir.file("absent.lsp");
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\n");
    dir.write("broken.lsp", "not an archive at all");
    archive->ARCHIVE_NAME = dir.file("broken.lsp");
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\n");
    EXPECT_TRUE(dialogs.shown().empty()) << "the comment routines never fail the caller";
}

TEST_F(Comments, TwoArchivesReadOneAfterTheOtherShowTheirOwnNotes) {
    const std::string first = archiveWithFile("first.lsp");
    WriteArchiveComment(*archive, program, "notes of the first", clock);
    const std::string second = archiveWithFile("second.lsp");
    WriteArchiveComment(*archive, program, "notes of the second", clock);
    const std::string bare = archiveWithFile("bare.lsp");

    for (int round = 0; round < 2; ++round) {
        archive->ARCHIVE_NAME = first;
        EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\nnotes of the first");
        archive->ARCHIVE_NAME = second;
        EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\nnotes of the second");
    }
    // A copy left behind by a write must not pass for the comment of an archive without one.
    ArchiveCommentRecord stale;
    stale.NOTES = "left behind";
    ASSERT_TRUE(writeArchiveCommentFile(workingCopy, stale));
    archive->ARCHIVE_NAME = bare;
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\n");
}

TEST_F(Comments, WritingAgainReplacesTheItem) {
    const std::string path = archiveWithFile("twice.lsp");
    WriteArchiveComment(*archive, program, "first words", clock);
    clock.advanceMinutes(5);
    WriteArchiveComment(*archive, program, "second thoughts", clock);
    EXPECT_EQ(commentItemsIn(path), 1);
    EXPECT_TRUE(unzipTestPasses(path));
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\nsecond thoughts");
}

// The backup run packs its files in one batch and then adds the comment: the archive on
// disk must hold both once the comment routine returns.
TEST_F(Comments, CommentClosesTheBackupBatch) {
    archive->ARCHIVE_NAME = dir.file("QLTTemp.___");
    archive->SetPackFlags();
    const std::uint32_t flags = archive->PACK_FLAG + LSP_PF_BATCH;
    for (const char* name : {"one.txt", "two.txt"}) {
        const std::string file = dir.write(std::string("batch/") + name, name);
        ASSERT_EQ(LSP_PACK(file.c_str(), archive->ARCHIVE_NAME.c_str(), archive->TEMP_PATH.c_str(), archive->COMP_MODE,
                           flags),
                  LSP_OK);
    }
    EXPECT_EQ(WriteArchiveComment(*archive, program, "batch notes", clock), LSP_OK);
    EXPECT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME)) << "complete on disk without a further call";
    archive->ReadDirectory();
    EXPECT_EQ(archive->S_COUNT_FILES, 2);
    EXPECT_EQ(ReadArchiveComment(*archive, program), "Comments:\r\n\r\nbatch notes");
}

TEST_F(Comments, AnUnwritableWorkingCopyIsReportedAndTheArchiveLeftAlone) {
    const std::string path = archiveWithFile("kept.lsp");
    const std::string before = readFile(path);
    const std::string blocked = dir.write("blocker", "a file where a folder should be") + "/program";
    dialogs.expect("", 1);
    EXPECT_NE(WriteArchiveComment(*archive, blocked, "notes", clock), LSP_OK);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    EXPECT_EQ(readFile(path), before);
}

}  // namespace
}  // namespace quillet::test
