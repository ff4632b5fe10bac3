// What a console-mode run prints, and how often.
#include <gtest/gtest.h>

#include <sstream>

#include "app/ConsoleBackupView.h"
#include "backup/PlayEventSound.h"
#include "framework/Clock.h"

namespace quillet {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(ConsoleBackupView, ProgressLineAtMostOnceASecondAndStatusesOnce) {
    std::ostringstream out;
    ManualClock clock;
    ConsoleBackupView view(out, clock);
    BackupFileList files(2000);
    for (auto& f : files) f.SIZE = 1500;
    view.setStatus("Scanning Directories:");
    view.setStatus("Scanning Directories:");
    view.setTotals(2000, 3'000'000);
    view.showFiles(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        view.fileChanged(i);
        view.setProgress(static_cast<int>((i + 1) * 100 / files.size()));
        clock.advanceMilliseconds(2);  // four seconds in all
    }
    view.setProgress(100);  // the end is always shown, once
    view.showResults(4.0, 123456);

    const auto printed = lines(out.str());
    ASSERT_EQ(printed.size(), 2u + 4u + 1u) << out.str();
    EXPECT_EQ(printed[0], "Scanning Directories:");
    EXPECT_EQ(printed[1], "Total Files: 2,000  Total Bytes: 3,000,000");
    // A line after each full second, not at the start.
    EXPECT_EQ(printed[2], "25%  501/2000 files  751,500/3,000,000 bytes");
    EXPECT_EQ(printed[5], "100%  2000/2000 files  3,000,000/3,000,000 bytes");
    EXPECT_EQ(printed[6], "Seconds: 4.00  Bytes (Compressed): 123,456");
}

TEST(PlayEventSound, BlankNamesPlayNothingAndBareNamesComeFromTheDataFolder) {
    struct Recorder : SoundPlayer {
        void play(const std::string& f) override { played.push_back(f); }
        std::vector<std::string> played;
    } player;
    PlayEventSound(player, "   ");
    PlayEventSound(player, "");
    PlayEventSound(player, " done.wav ");
    EXPECT_EQ(player.played, std::vector<std::string>{"done.wav"});
    EXPECT_EQ(soundFilePath("done.wav", "/opt/quillet/data/"), "/opt/quillet/data/done.wav");
    EXPECT_EQ(soundFilePath("/home/me/ding.wav", "/opt/quillet/data/"), "/home/me/ding.wav");
    EXPECT_EQ(soundFilePath("  ", "/opt/quillet/data/"), "");
}

}  // namespace
}  // namespace quillet
