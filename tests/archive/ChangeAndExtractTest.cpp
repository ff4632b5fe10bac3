#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ArchiveTestSupport.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"

namespace quillet::test {
namespace {

class Changes : public ArchiveFixture {
protected:
    void SetUp() override {
        ArchiveFixture::SetUp();
        archive->ARCHIVE_NAME = dir.file("work.lsp");
        archive->PATH_INFORMATION = 1;
        archive->USE_PATH_INFO = 0;
    }
    // Files a.txt, b.txt, c.txt packed, listed in that order.
    void packThree() {
        addFiles({dir.write("src/a.txt", "alpha alpha alpha"), dir.write("src/b.txt", "bravo bravo"),
                  dir.write("src/c.txt", "charlie")});
        ASSERT_EQ(archive->LSPQ.size(), 3u);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& e : archive->LSPQ) n.push_back(e.FILENAME);
        return n;
    }
};

// ---- Add ---------------------------------------------------------------------------

TEST_F(Changes, AddAsksForTheFileWithDefaultTitleAndFilterAndCancelPacksNothing) {
    dialogs.queueOpenFile(std::nullopt);
    EXPECT_EQ(archive->Add(), 0);
    EXPECT_FALSE(FileSystem().fileExists(archive->ARCHIVE_NAME));
    ASSERT_EQ(dialogs.chooserCalls().size(), 1u);
    EXPECT_EQ(dialogs.chooserCalls()[0].kind, ScriptedDialogs::ChooserCall::Open);
    EXPECT_EQ(dialogs.chooserCalls()[0].title, "Select File to Archive");
    EXPECT_EQ(dialogs.chooserCalls()[0].filter, "All Files (*)");

    dialogs.queueOpenFile(dir.write("picked.txt", "picked"));
    EXPECT_EQ(archive->Add("/ignored/without/the/flag", "Pick one", "Texts (*.txt)"), 0);
    EXPECT_EQ(dialogs.chooserCalls()[1].title, "Pick one");
    EXPECT_EQ(dialogs.chooserCalls()[1].filter, "Texts (*.txt)");
    EXPECT_EQ(names(), std::vector<std::string>{"picked.txt"});
    EXPECT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST_F(Changes, AddWarnsAboutAnItemThatExistsAndAboutTheArchiveItself) {
    packThree();
    const std::string again = dir.file("src/a.txt");
    dialogs.expect(again + " already exists.", 1);
    EXPECT_EQ(archive->Add(again, "", "", 1), static_cast<std::uint8_t>(-5));
    EXPECT_EQ(dialogs.last().title, "Warning");
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    EXPECT_EQ(names().size(), 3u) << "the list is read again";

    dialogs.expect("Cannot compress " + archive->ARCHIVE_NAME, 1);
    EXPECT_EQ(archive->Add(archive->ARCHIVE_NAME, "", "", 1), static_cast<std::uint8_t>(-29));
    EXPECT_EQ(dialogs.last().title, "Warning");

    dialogs.expect("Error opening source file", 1);
    EXPECT_EQ(archive->Add(dir.file("src/missing.txt"), "", "", 1), 26);
    EXPECT_EQ(dialogs.last().title, "Error");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.beeps(), 3);
    EXPECT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));
}

// ---- Delete ------------------------------------------------------------------------

TEST_F(Changes, DeleteAnsweredNoChangesNothing) {
    packThree();
    const std::string before = readFile(archive->ARCHIVE_NAME);
    dialogs.expect("Delete: b.txt", answer::No);
    EXPECT_EQ(archive->Delete(1), 1);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    const MessageRequest asked = dialogs.last();
    EXPECT_EQ(asked.title, "Warning");
    EXPECT_EQ(asked.icon, Icon::Question);
    EXPECT_EQ(asked.buttons, std::string(buttons::YesNo));
    EXPECT_EQ(asked.defaultButton, 2) << "No is the default";
    EXPECT_EQ(readFile(archive->ARCHIVE_NAME), before);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

TEST_F(Changes, DeleteAnsweredYesRemovesTheItemAndRelists) {
    archive->PATH_INFORMATION = 2;
    addFiles({dir.write("src/a.txt", "alpha"), dir.write("src/b.txt", "bravo")});
    dialogs.expect("Delete: " + dir.path() + "/src/a.txt", answer::Yes);
    EXPECT_EQ(archive->Delete(0), 1);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(names(), std::vector<std::string>{"b.txt"});
    EXPECT_TRUE(unzipTestPasses(archive->ARCHIVE_NAME));
}

TEST_F(Changes, MarkedDeletesWithoutPromptOrRelistKeepIndexesValid) {
    packThree();
    archive->LSPQ[0].MARK = 1;
    archive->LSPQ[2].MARK = 1;
    for (std::size_t i = 0; i < archive->LSPQ.size(); ++i) {
        if (archive->LSPQ[i].MARK) {
            EXPECT_EQ(archive->Delete(i, 1, 1), 1);
        }
    }
    EXPECT_EQ(names().size(), 3u) << "not relisted until the host asks";
    EXPECT_TRUE(dialogs.shown().empty());
    archive->ReadDirectory();
    EXPECT_EQ(names(), std::vector<std::string>{"b.txt"});
}

TEST_F(Changes, ReadingAnEntryBeyondTheListIsAQueueError) {
    packThree();
    dialogs.expect("Error Reading the File Queue!", 1);
    EXPECT_EQ(archive->Delete(3), 0);
    dialogs.expect("Error Reading the File Queue!", 1);
    EXPECT_EQ(archive->Test(7), 0);
    dialogs.expect("Error Reading the File Queue!", 1);
    EXPECT_EQ(archive->Extract(3), 1);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.last().title, "Queue Error");
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
}

TEST_F(Changes, DeleteOfAnItemGoneMeanwhileReportsAndRelists) {
    packThree();
    // Another hand removes b.txt behind the list's back.
    ASSERT_EQ(LSP_DELETEITEM("b.txt", "", archive->ARCHIVE_NAME.c_str(), "", 0), LSP_OK);
    dialogs.expect("File not found in archive", 1);
    EXPECT_EQ(archive->Delete(1, 1, 1), 1);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.last().title, "Error");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "c.txt"})) << "the list was rebuilt despite no-relist";
}

// The finished copy cannot take the archive's place (status 17): the list is emptied
// and the archive, now in doubt, is not read again.
struct SwapArchiveForFolder {
    std::string archive;
    bool done = false;
    static void progress(void* context, int) {
        auto* self = static_cast<SwapArchiveForFolder*>(context);
        if (self->done) return;
        self->done = true;
        std::filesystem::remove(self->archive);
        std::filesystem::create_directory(self->archive);
        std::ofstream(self->archive + "/occupied") << "x";
    }
};

TEST_F(Changes, DeleteFailingWith17LeavesTheListEmpty) {
    addFiles({dir.write("src/big1.bin", randomBytes(300000, 1)), dir.write("src/big2.bin", randomBytes(300000, 2))});
    SwapArchiveForFolder swap{archive->ARCHIVE_NAME};
    LSP_HOST host{&swap, &SwapArchiveForFolder::progress, nullptr, nullptr, nullptr};
    LSP_PINIT_MP(&host);
    archive->USE_LSP_MESSAGE_PUMP = 1;
    archive->SetPackFlags();
    dialogs.expect(lspclass::ErrorText(17), 1);
    EXPECT_EQ(archive->Delete(0, 1, 0), 1);
    LSP_PINIT_MP(nullptr);
    ASSERT_TRUE(swap.done) << "the library reported no progress";
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();  // an "Archive Error" of a relisting would show here
    EXPECT_EQ(dialogs.last().title, "Error");
    EXPECT_TRUE(archive->LSPQ.empty());
}

// ---- Test --------------------------------------------------------------------------

TEST_F(Changes, TestReportsTheStatusWithoutAMessage) {
    archive->COMPRESSION_METHOD = 3;  // stored, so a flipped byte reaches the CRC check
    addFiles({dir.write("src/data.bin", std::string(5000, 'd'))});
    archive->UNPACK_DIRECTORY = dir.mkdir("unused");
    EXPECT_EQ(archive->Test(0), 0);

    std::string bytes = readFile(archive->ARCHIVE_NAME);
    const auto at = bytes.find(std::string(100, 'd'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'e';
    dir.write("work.lsp", bytes);
    EXPECT_EQ(archive->Test(0), 31);
    EXPECT_TRUE(dialogs.shown().empty()) << "the caller reports";
    EXPECT_TRUE(std::filesystem::is_empty(archive->UNPACK_DIRECTORY)) << "testing writes nothing";
}

// ---- Extract -----------------------------------------------------------------------

TEST_F(Changes, ExtractWithoutDestinationIsCancelledBeforeTheLibrary) {
    packThree();
    archive->UNPACK_DIRECTORY = "   ";
    archive->ARCHIVE_NAME = dir.file("no-such-archive.lsp");  // a library call would report it
    EXPECT_EQ(archive->Extract(0), -30);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_EQ(dialogs.waitDepth(), 0);
}

TEST_F(Changes, ExtractWritesTheItemAndHonoursTheOverwriteOption) {
    packThree();
    const std::string out = dir.mkdir("out");
    archive->UNPACK_DIRECTORY = out;
    archive->UNPACK_OVERWRITE_OPTION = 1;
    EXPECT_EQ(archive->Extract(0), 0);
    EXPECT_EQ(readFile(out + "/a.txt"), "alpha alpha alpha");

    // Never overwrite: -22 comes back without a message, the file stays.
    dir.write("out/b.txt", "local edit");
    archive->UNPACK_OVERWRITE_OPTION = 3;
    EXPECT_EQ(archive->Extract(1), -22);
    EXPECT_EQ(readFile(out + "/b.txt"), "local edit");
    // An out-of-range option falls back to never overwriting.
    archive->UNPACK_OVERWRITE_OPTION = 0;
    EXPECT_EQ(archive->Extract(1), -22);
    archive->UNPACK_OVERWRITE_OPTION = 1;
    EXPECT_EQ(archive->Extract(1), 0);
    EXPECT_EQ(readFile(out + "/b.txt"), "bravo bravo");
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(Changes, ExtractToStoredPathsAndItsErrors) {
    archive->PATH_INFORMATION = 2;
    addFiles({dir.write("src/deep/d.txt", "delta")});
    const std::string out = dir.mkdir("restore");
    archive->UNPACK_DIRECTORY = out;
    archive->USE_PATH_INFO = 1;
    archive->CREATE_DIRECTORY = 0;
    dialogs.expect("Error creating output file", 1);
    EXPECT_EQ(archive->Extract(0), 15) << "missing folders are not created";
    archive->CREATE_DIRECTORY = 1;
    EXPECT_EQ(archive->Extract(0), 0);
    EXPECT_EQ(readFile(out + dir.path() + "/src/deep/d.txt"), "delta");

    ASSERT_EQ(LSP_DELETEITEM("d.txt", archive->LSPQ[0].ITEM_PATH_NAME.c_str(), archive->ARCHIVE_NAME.c_str(), "", 0),
              LSP_OK);
    dialogs.expect("File not found in archive", 1);
    EXPECT_EQ(archive->Extract(0), 6);
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
    EXPECT_EQ(dialogs.last().title, "Error");
}

}  // namespace
}  // namespace quillet::test
