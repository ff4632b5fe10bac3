#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

#include "framework/ui/QtDialogs.h"

namespace quillet {
namespace {

// What the message box looked like while it was open.
struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList labels;  // in screen order, left to right
    QString defaultName;
    bool found = false;
    bool stuck = false;  // the action did not close the box
};

// Shows a message through QtDialogs, lets action answer it, and returns the answer with
// what the box showed.
std::pair<int, Seen> run(const MessageRequest& request, std::function<void(QMessageBox&)> action) {
    auto seen = std::make_shared<Seen>();
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> weakPoll = poll;
    *poll = [seen, action, weakPoll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            if (auto p = weakPoll.lock()) QTimer::singleShot(10, *p);
            return;
        }
        seen->found = box->objectName() == QLatin1String("quilletMessageBox");
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        QList<QPushButton*> buttons = box->findChildren<QPushButton*>(QRegularExpression("^messageButton"));
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
        for (QPushButton* b : buttons) seen->labels << b->objectName() + "=" + b->text();
        if (box->defaultButton()) seen->defaultName = box->defaultButton()->objectName();
        action(*box);
        // A box the action failed to close would hang the test: close it and say so.
        QTimer::singleShot(3000, box, [seen, box] {
            if (!box->isVisible()) return;
            seen->stuck = true;
            box->reject();
        });
    };
    QTimer::singleShot(0, *poll);
    QtDialogs dialogs;
    const int answer = dialogs.message(request);
    EXPECT_FALSE(seen->stuck) << "the message box did not close";
    return {answer, *seen};
}

void click(QMessageBox& box, const char* name) {
    auto* b = box.findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

TEST(QtDialogs, ShowsTextTitleIconAndButtonsInOrder) {
    const auto [answer, seen] =
        run({"First line|second line||after a blank", "Rename Error", Icon::Exclamation, "&Cancel|C&ontinue|&Skip", 2},
            [](QMessageBox& box) { click(box, "messageButton3"); });
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(answer, 3);
    EXPECT_EQ(seen.title, "Rename Error");
    EXPECT_EQ(seen.text, "First line\nsecond line\n\nafter a blank");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.labels, (QStringList{"messageButton1=&Cancel", "messageButton2=C&ontinue", "messageButton3=&Skip"}));
    EXPECT_EQ(seen.defaultName, "messageButton2");
}

TEST(QtDialogs, IconsMapToTheirQtCounterparts) {
    const std::pair<Icon, QMessageBox::Icon> cases[] = {{Icon::Information, QMessageBox::Information},
                                                        {Icon::Question, QMessageBox::Question},
                                                        {Icon::Hand, QMessageBox::Critical},
                                                        {Icon::None, QMessageBox::NoIcon}};
    for (const auto& [ours, theirs] : cases) {
        const auto [answer, seen] =
            run({"x", "t", ours, std::string(buttons::Ok), 1}, [](QMessageBox& box) { click(box, "messageButton1"); });
        EXPECT_EQ(answer, answer::Ok);
        EXPECT_EQ(seen.icon, theirs);
    }
}

TEST(QtDialogs, EnterTakesTheDefaultAndEscapeTheCancelOrLastButton) {
    auto key = [](Qt::Key k) { return [k](QMessageBox& box) { QTest::keyClick(&box, k); }; };

    auto r = run({"Cancel?", "Cancel?", Icon::Question, std::string(buttons::YesNo), 2}, key(Qt::Key_Return));
    EXPECT_EQ(r.first, answer::No);
    EXPECT_EQ(r.second.defaultName, "messageButton2");

    r = run({"Cancel?", "Cancel?", Icon::Question, std::string(buttons::YesNo), 1}, key(Qt::Key_Return));
    EXPECT_EQ(r.first, answer::Yes);

    r = run({"q", "t", Icon::Question, std::string(buttons::YesNo), 1}, key(Qt::Key_Escape));
    EXPECT_EQ(r.first, answer::No);  // no Cancel: the last button

    r = run({"q", "t", Icon::Question, "&Cancel|C&ontinue", 2}, key(Qt::Key_Escape));
    EXPECT_EQ(r.first, 1);  // the Cancel button, wherever it stands

    r = run({"q", "t", Icon::Question, std::string(buttons::YesNoCancel), 1}, key(Qt::Key_Escape));
    EXPECT_EQ(r.first, answer::Cancel3);
}

TEST(QtDialogs, AccessKeysPressTheirButtons) {
    auto [answer, seen] = run({"q", "t", Icon::Question, "&Cancel|C&ontinue", 1},
                              [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_O); });
    EXPECT_EQ(answer, 2);
    std::tie(answer, seen) = run({"q", "t", Icon::Question, std::string(buttons::AbortRetryIgnore), 1},
                                 [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_I); });
    EXPECT_EQ(answer, 3);
}

TEST(QtDialogs, TextIsShownAsPlainText) {
    const auto [answer, seen] =
        run({"<b>not bold</b> & more", "t", Icon::None, std::string(buttons::Ok), 1}, [](QMessageBox& box) {
            EXPECT_EQ(box.textFormat(), Qt::PlainText);
            click(box, "messageButton1");
        });
    EXPECT_EQ(seen.text, "<b>not bold</b> & more");
}

TEST(QtDialogs, WaitCursorNestsAndIsReleased) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        QtDialogs dialogs;
        WaitCursor outer(dialogs);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        { WaitCursor inner(dialogs); }
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        dialogs.setWaitCursor(true);  // left on: the destructor releases it
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtFileFilter, BarsBecomeQtSeparators) {
    EXPECT_EQ(qtFileFilter("Archives (*.lsp)|All files (*)"), "Archives (*.lsp);;All files (*)");
    EXPECT_EQ(qtFileFilter("All Files (*.*)"), "All Files (*)");
    EXPECT_EQ(qtFileFilter("Archives|*.lsp;*.zip|All|*.*"), "Archives (*.lsp *.zip);;All (*)");
    EXPECT_EQ(qtFileFilter(""), "");
}

}  // namespace
}  // namespace quillet
