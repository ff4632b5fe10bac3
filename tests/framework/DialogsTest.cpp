#include <gtest/gtest.h>

#include <sstream>

#include "framework/ConsoleDialogs.h"
#include "framework/ScriptedDialogs.h"

namespace quillet {
namespace {

TEST(ButtonLabels, SplitAtBarsAndDefaultStaysInRange) {
    EXPECT_EQ(splitButtons("&Cancel|C&ontinue"), (std::vector<std::string>{"&Cancel", "C&ontinue"}));
    EXPECT_EQ(splitButtons(""), (std::vector<std::string>{"&OK"}));
    EXPECT_EQ(splitButtons(buttons::YesNoCancel).size(), 3u);
    EXPECT_EQ(clampedDefault({"t", "", Icon::None, std::string(buttons::YesNo), 5}), 2);
    EXPECT_EQ(clampedDefault({"t", "", Icon::None, std::string(buttons::YesNo), 0}), 1);
    EXPECT_EQ(messageLines("a||b|"), "a\n\nb\n");
}

TEST(ConsoleDialogs, PrintsTitleAndLinesAndTakesTheDefault) {
    std::ostringstream out;
    ConsoleDialogs dialogs(out);
    EXPECT_EQ(dialogs.message("Improper Project Name Passed:||X", "Quillet Message", Icon::Exclamation), 1);
    EXPECT_EQ(dialogs.message("Cancel?", "Question", Icon::Question, buttons::YesNo, 2), answer::No);
    EXPECT_EQ(dialogs.message("Go on?", "", Icon::Question, "&Cancel|C&ontinue", 7), 2);
    EXPECT_EQ(out.str(),
              "Quillet Message: Improper Project Name Passed:\n\nX\nQuestion: Cancel?\n(answered \"No\", the default)\n"
              "Go on?\n(answered \"Continue\", the default)\n");
    dialogs.beep();
    EXPECT_EQ(out.str().back(), '\a');
    EXPECT_FALSE(dialogs.pickFolder("Folder", "/"));
    EXPECT_FALSE(dialogs.openFile("Open", "/", "All (*)"));
}

TEST(ScriptedDialogs, AnswersFromTheQueueAndRecordsEverything) {
    ScriptedDialogs dialogs;
    dialogs.answer(2);
    dialogs.expect("entire backup", answer::Yes);
    EXPECT_EQ(dialogs.message("first", "T1", Icon::Question, buttons::YesNoCancel, 3), 2);
    EXPECT_EQ(dialogs.message("Cancel this entire backup?", "Cancel?", Icon::Question, buttons::YesNo, 1), 1);
    ASSERT_EQ(dialogs.shown().size(), 2u);
    EXPECT_EQ(dialogs.shown()[0].request.title, "T1");
    EXPECT_EQ(dialogs.shown()[0].request.defaultButton, 3);
    EXPECT_EQ(dialogs.shown()[0].answer, 2);
    EXPECT_EQ(dialogs.last().text, "Cancel this entire backup?");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

TEST(ScriptedDialogs, UnexpectedOrMismatchedMessagesAreProblems) {
    ScriptedDialogs dialogs;
    std::vector<std::string> reported;
    dialogs.onProblem = [&](const std::string& p) { reported.push_back(p); };

    // Nothing queued: answered with the default so the code goes on, but flagged.
    EXPECT_EQ(dialogs.message("surprise", "Oops", Icon::Hand, buttons::OkCancel, 2), 2);
    EXPECT_FALSE(dialogs.ok());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_NE(reported[0].find("surprise"), std::string::npos);

    // Wrong text for what was queued.
    dialogs.expect("Disk full", 2);
    EXPECT_EQ(dialogs.message("Something else", "T", Icon::None, buttons::OkCancel, 1), 1);
    // An answer that is not one of the buttons.
    dialogs.answer(3);
    EXPECT_EQ(dialogs.message("two buttons", "T", Icon::None, buttons::YesNo, 1), 1);
    EXPECT_EQ(dialogs.problems().size(), 3u);
    EXPECT_EQ(reported.size(), 3u);
}

TEST(ScriptedDialogs, LeftoverAnswersAndWaitCursorFailOk) {
    ScriptedDialogs dialogs;
    dialogs.answer(1);
    EXPECT_FALSE(dialogs.ok());
    EXPECT_NE(dialogs.report().find("never used"), std::string::npos);
    dialogs.clear();
    EXPECT_TRUE(dialogs.ok());

    {
        WaitCursor outer(dialogs);
        WaitCursor inner(dialogs);
        EXPECT_EQ(dialogs.waitDepth(), 2);
    }
    EXPECT_EQ(dialogs.waitDepth(), 0);
    dialogs.setWaitCursor(true);
    EXPECT_FALSE(dialogs.ok());
    dialogs.setWaitCursor(false);
    dialogs.setWaitCursor(false);  // one off too many
    EXPECT_EQ(dialogs.problems().size(), 1u);
}

TEST(ScriptedDialogs, ChoosersAnswerFromTheirOwnQueues) {
    ScriptedDialogs dialogs;
    dialogs.queueFolder("/srv/restore");
    dialogs.queueOpenFile(std::nullopt);  // the user cancels
    dialogs.queueSaveFile("/tmp/copy.lsp");
    EXPECT_EQ(dialogs.saveFile("Save", "/tmp", "Archives (*.lsp)"), "/tmp/copy.lsp");
    EXPECT_EQ(dialogs.pickFolder("Restore to", "/home"), "/srv/restore");
    EXPECT_EQ(dialogs.openFile("Add", "/home", "All (*)"), std::nullopt);
    ASSERT_EQ(dialogs.chooserCalls().size(), 3u);
    EXPECT_EQ(dialogs.chooserCalls()[0].kind, ScriptedDialogs::ChooserCall::Save);
    EXPECT_EQ(dialogs.chooserCalls()[0].filter, "Archives (*.lsp)");
    EXPECT_EQ(dialogs.chooserCalls()[1].startFolder, "/home");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();

    EXPECT_EQ(dialogs.pickFolder("Again", "/"), std::nullopt);
    EXPECT_FALSE(dialogs.ok());
}

}  // namespace
}  // namespace quillet
