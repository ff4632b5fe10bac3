#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "archive/lspclass.h"
#include "archive/ui/EnterPathDialog.h"
#include "framework/ScriptedDialogs.h"
#include "lsp/lsp.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

// Runs action on the Enter Path dialog once it is shown modally, polling until then; a
// dialog the action leaves open is rejected after a while so the test cannot hang.
void runWhenShown(const std::function<void(EnterPathDialog&)>& action) {
    auto* dialog = qobject_cast<EnterPathDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
        QTimer::singleShot(10, [action] { runWhenShown(action); });
        return;
    }
    action(*dialog);
    QTimer::singleShot(3000, dialog, [dialog] {
        if (!dialog->isVisible()) return;
        ADD_FAILURE() << "the dialog stayed open";
        dialog->reject();
    });
}

void whenShown(std::function<void(EnterPathDialog&)> action) {
    QTimer::singleShot(0, [action] { runWhenShown(action); });
}

QLineEdit* entryOf(EnterPathDialog& d) {
    return d.findChild<QLineEdit*>("pathEntry");
}
void click(EnterPathDialog& d, const char* name) {
    auto* button = d.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

class EnterPath : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs.onProblem = [](const std::string& what) { ADD_FAILURE() << what; };
    }
    ScriptedDialogs dialogs;
};

TEST_F(EnterPath, StartsWithTheCurrentBaseAndOkReturnsTheEntry) {
    QString shownText, title;
    int maxLength = 0;
    whenShown([&](EnterPathDialog& d) {
        title = d.windowTitle();
        shownText = entryOf(d)->text();
        maxLength = entryOf(d)->maxLength();
        entryOf(d)->setText("/home/ann/projects");
        click(d, "okButton");
    });
    EXPECT_EQ(EnterPathDialog::ask(dialogs, "/home/ann"), "/home/ann/projects");
    EXPECT_EQ(title, "Enter Path");
    EXPECT_EQ(shownText, "/home/ann");
    EXPECT_EQ(maxLength, 127);
}

TEST_F(EnterPath, EmptyEntryIsTheRootAndCancelIsEmpty) {
    whenShown([](EnterPathDialog& d) {
        entryOf(d)->clear();
        click(d, "okButton");
    });
    EXPECT_EQ(EnterPathDialog::ask(dialogs, "/somewhere"), "/");

    whenShown([](EnterPathDialog& d) {
        entryOf(d)->setText("/typed/but/cancelled");
        click(d, "cancelButton");
    });
    EXPECT_EQ(EnterPathDialog::ask(dialogs, "/somewhere"), "");
}

TEST_F(EnterPath, BrowsingReplacesTheEntryUnlessCancelled) {
    dialogs.queueFolder(std::nullopt);
    dialogs.queueFolder(std::string("/picked/folder"));
    QString afterCancel;
    whenShown([&](EnterPathDialog& d) {
        click(d, "browseButton");
        afterCancel = entryOf(d)->text();
        click(d, "browseButton");
        click(d, "okButton");
    });
    EXPECT_EQ(EnterPathDialog::ask(dialogs, "/start"), "/picked/folder");
    EXPECT_EQ(afterCancel, "/start");
    ASSERT_EQ(dialogs.chooserCalls().size(), 2u);
    EXPECT_EQ(dialogs.chooserCalls()[0].startFolder, "/start");
    EXPECT_TRUE(dialogs.ok()) << dialogs.report();
}

// The archive class asks through the dialog when paths are stored relative, and a
// cancelled question leaves relative paths off (an empty base).
TEST_F(EnterPath, TheArchiveClassAsksThroughTheDialog) {
    test::TempDir dir;
    lspclass archive(dialogs, dir.path(), enterPathDialog(dialogs));
    archive.Init("");
    archive.PATH_INFORMATION = 3;
    archive.PACK_RELATIVE_DIRECTORY = "/data";
    QString shown;
    whenShown([&](EnterPathDialog& d) {
        shown = entryOf(d)->text();
        entryOf(d)->setText("/data/projects");
        click(d, "okButton");
    });
    archive.SetPackFlags();
    EXPECT_EQ(shown, "/data");
    EXPECT_EQ(archive.PACK_RELATIVE_DIRECTORY, "/data/projects");

    whenShown([](EnterPathDialog& d) { click(d, "cancelButton"); });
    archive.SetPackFlags();
    EXPECT_EQ(archive.PACK_RELATIVE_DIRECTORY, "");
    LSP_RELATIVEPATH("", 0);
}

}  // namespace
}  // namespace quillet
