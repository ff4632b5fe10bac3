// The mask list, mask form, mask builder, theme list and theme form over a real catalog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "backup/ui/PreviewWindow.h"
#include "backup_run/BackupBench.h"
#include "maintenance/ui/BrowseMaskThemes.h"
#include "maintenance/ui/BrowseMasks.h"
#include "maintenance/ui/BuildMasks.h"
#include "maintenance/ui/MaskWindows.h"

namespace quillet {
namespace {

using test::BackupBench;
using Names = std::vector<std::string>;

struct FormBench : BackupBench {
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    void masks(const Names& pickList) {
        for (const std::string& m : pickList) {
            Mask mask;
            mask.MASK = m;
            ASSERT_TRUE(catalog.masks().insert(mask).ok());
        }
    }
    MaskTheme theme(const std::string& name, const std::string& mask) {
        MaskTheme t;
        t.NAME = name;
        t.MASK = mask;
        auto stored = catalog.themes().insert(t);
        EXPECT_TRUE(stored.ok()) << stored.error();
        return stored ? *stored : t;
    }
    Names storedMasks() {
        Names out;
        auto all = catalog.masks().all();
        for (const Mask& m : *all) out.push_back(m.MASK);
        return out;
    }
    Names storedThemes() {
        Names out;
        auto all = catalog.themes().all();
        for (const MaskTheme& t : *all) out.push_back(t.NAME + "=" + t.MASK);
        return out;
    }
};

// Runs act once on the next visible window of that name (a modal one opened by exec()).
void whenShown(const char* name, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, name = std::string(name), act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QString::fromStdString(name) && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
    });
    timer->start();
}

QPushButton* button(QWidget* w, const char* name) {
    return w->findChild<QPushButton*>(name);
}

int rowOf(QTreeView* list, const QString& text) {
    for (int row = 0; row < list->model()->rowCount(); ++row)
        if (list->model()->index(row, 0).data().toString() == text) return row;
    return -1;
}

TEST(MaskBuilder, MarksComeFromTheTextAndGoBackSorted) {
    struct Case {
        Names pickList;
        std::string text;
        Names toggled;  // rows whose mark Space changes
        Names shownMarked;
        std::string result;
    };
    const Case cases[] = {
        {{}, "*.txt, *.doc", {}, {}, "*.doc, *.txt"},
        {{"*.bak", "*.doc", "*.tmp"}, "", {"*.bak", "*.tmp"}, {"*.bak", "*.tmp"}, "*.bak, *.tmp"},
        // Typed masks that the pick list lacks are carried through; a mark is one per mask,
        // whatever its letter case.
        {{"*.doc", "*.txt"}, "*.DOC,\n*.zzz", {"*.doc", "*.txt"}, {"*.txt"}, "*.txt, *.zzz"},
        // Nothing typed is cut: a 25-character mask travels whole to the form that refuses it.
        {{}, "abcdefghijklmnopqrstu.xyz", {}, {}, "abcdefghijklmnopqrstu.xyz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FormBench b;
        b.masks(c.pickList);
        MaskBuilderWindow window(b.services, c.text, 500);
        window.show();
        auto* list = window.findChild<QTreeView*>("maskList");
        for (const std::string& mask : c.toggled) {
            const int row = rowOf(list, QString::fromStdString(mask));
            ASSERT_GE(row, 0);
            list->setCurrentIndex(list->model()->index(row, 0));
            QTest::keyClick(list, Qt::Key_Space);
        }
        Names marked;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            if (list->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                marked.push_back(list->model()->index(row, 0).data().toString().toStdString());
        EXPECT_EQ(marked, c.shownMarked);
        QTest::mouseClick(button(&window, "okButton"), Qt::LeftButton);
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(window.text(), c.result);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(MaskBuilder, CancelLeavesTheTextAndAListOverTheWidthIsRefused) {
    FormBench b;
    b.masks({"*.alpha", "*.beta"});
    std::string text = "*.beta";
    whenShown("maskBuilder", [](QWidget* w) {
        auto* list = w->findChild<QTreeView*>("maskList");
        list->model()->setData(list->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        QTest::mouseClick(button(w, "cancelButton"), Qt::LeftButton);
    });
    EXPECT_FALSE(BuildMasks(b.services, text, 500));
    EXPECT_EQ(text, "*.beta");

    // "*.alpha, *.beta" has 15 characters: refused whole, the window stays open.
    b.dialogs.expect("it may have at most 12");
    MaskBuilderWindow window(b.services, text, 12);
    auto* list = window.findChild<QTreeView*>("maskList");
    list->model()->setData(list->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    window.accept();
    EXPECT_NE(window.result(), QDialog::Accepted);
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(MaskForm, RefusesWhatCannotBeStoredAndSavesTheRest) {
    struct Case {
        std::string typed;
        std::string message;  // empty: saved
        Names stored;
    };
    const Case cases[] = {
        {"  *.bak ", "", {"*.bak", "*.doc"}},
        {"*.DOC", "is in the list already", {"*.doc"}},
        {"abcdefghijklmnopqrstu.xyz", "has 25 characters; a mask may have at most 20", {"*.doc"}},
        {"*.a, *.b", "cannot hold a comma", {"*.doc"}},
        {"", "Enter a file mask", {"*.doc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        FormBench b;
        b.masks({"*.doc"});
        Mask record;
        MaskForm form(b.services, FormRequest::Add, record);
        EXPECT_EQ(form.windowTitle(), "Adding a File Mask");
        form.findChild<QLineEdit*>("maskEntry")->setText(QString::fromStdString(c.typed));
        if (!c.message.empty()) b.dialogs.expect(c.message);
        form.accept();
        EXPECT_EQ(form.result() == QDialog::Accepted, c.message.empty());
        EXPECT_EQ(b.storedMasks(), c.stored);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(MaskList, InsertAndDeleteGoThroughTheFormAndTheQuestion) {
    FormBench b;
    b.masks({"*.doc"});
    whenShown("browseMasks", [&](QWidget* w) {
        whenShown("updateMasks", [](QWidget* form) {
            QTest::keyClicks(form->findChild<QLineEdit*>("maskEntry"), "*.avi");
            QTest::mouseClick(button(form, "okButton"), Qt::LeftButton);
        });
        auto* list = w->findChild<QTreeView*>("maskList");
        w->activateWindow();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Insert);
        EXPECT_EQ(list->model()->rowCount(), 2);
        EXPECT_EQ(list->currentIndex().data().toString(), "*.avi");  // the new row is current
        EXPECT_FALSE(button(w, "selectButton")->isEnabled());
        b.dialogs.expect("Are you sure you want to delete the highlighted record?", answer::Yes);
        QTest::mouseClick(button(w, "deleteButton"), Qt::LeftButton);
        EXPECT_EQ(list->model()->rowCount(), 1);
        QTest::mouseClick(button(w, "closeButton"), Qt::LeftButton);
    });
    BrowseMasks(b.services);
    EXPECT_EQ(b.storedMasks(), Names{"*.doc"});
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

TEST(MaskThemeForm, NormalisesTheMasksAndRefusesDuplicatesAndOverlongLists) {
    struct Case {
        std::string name, mask;
        std::string message;  // empty: saved
        Names stored;
    };
    const std::string longList = [] {
        std::string s;
        for (int i = 0; i < 84; ++i) s += "*.ab" + std::to_string(i % 10) + ", ";
        return s + "*.x";  // 507 characters once normalised
    }();
    const Case cases[] = {
        {"Pictures", "*.a,*.b", "", {"Office=*.doc", "Pictures=*.a, *.b"}},
        {"Lines", "*.jpg\n*.png ,  *.gif", "", {"Lines=*.jpg, *.png, *.gif", "Office=*.doc"}},
        {"office", "*.x", "Duplicate key", {"Office=*.doc"}},
        {"Long", longList, "it may have at most 500", {"Office=*.doc"}},
        {"Cut", "*.abcdefghijklmnopqrstuvw", "a mask may have at most 20", {"Office=*.doc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormBench b;
        b.theme("Office", "*.doc");
        MaskTheme record;
        MaskThemeForm form(b.services, FormRequest::Add, record);
        EXPECT_EQ(form.findChild<QLabel*>("statusText")->text(), "Record will be Added");
        form.findChild<QLineEdit*>("nameEntry")->setText(QString::fromStdString(c.name));
        form.findChild<QPlainTextEdit*>("maskEntry")->setPlainText(QString::fromStdString(c.mask));
        form.findChild<QCheckBox*>("recurseBox")->setChecked(true);
        if (!c.message.empty()) b.dialogs.expect(c.message);
        form.accept();
        EXPECT_EQ(form.result() == QDialog::Accepted, c.message.empty());
        EXPECT_EQ(b.storedThemes(), c.stored);
        if (c.message.empty()) {
            EXPECT_GT(record.SYSID, 1);  // auto-numbered
            EXPECT_EQ(record.RECURSE, 1);
        }
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

TEST(MaskThemes, SelectModeHandsBackTheChosenThemeAndCancelNothing) {
    FormBench b;
    b.theme("Office", "*.doc");
    const MaskTheme pictures = b.theme("Pictures", "*.jpg, *.png");
    for (const bool choose : {true, false}) {
        SCOPED_TRACE(choose);
        whenShown("maskThemes", [choose](QWidget* w) {
            EXPECT_EQ(button(w, "closeButton")->text(), "&Cancel");
            auto* list = w->findChild<QTreeView*>("themeList");
            list->setCurrentIndex(list->model()->index(rowOf(list, "Pictures"), 0));
            QTest::mouseClick(button(w, choose ? "selectButton" : "closeButton"), Qt::LeftButton);
        });
        const std::optional<MaskTheme> chosen = BrowseMaskThemes(b.services, ThemeListMode::Select);
        ASSERT_EQ(chosen.has_value(), choose);
        if (choose) {
            EXPECT_EQ(chosen->SYSID, pictures.SYSID);
            EXPECT_EQ(chosen->MASK, "*.jpg, *.png");
        }
    }
    MaskThemeListWindow browse(b.services, ThemeListMode::Browse);
    EXPECT_EQ(button(&browse, "closeButton")->text(), "&Close");
    EXPECT_FALSE(button(&browse, "selectButton")->isEnabled());
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

// Catches the manual a Help button opens.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(MaskWindows, EveryControlIsNamedAndHelpOpensItsOwnSection) {
    FormBench b;
    b.masks({"*.doc"});
    b.theme("Office", "*.doc");
    Mask mask;
    MaskTheme theme;
    PreviewWindow preview;
    std::vector<std::pair<std::unique_ptr<QWidget>, std::string>> windows;
    windows.emplace_back(std::make_unique<MaskListWindow>(b.services), "mask-list");
    windows.emplace_back(std::make_unique<MaskForm>(b.services, FormRequest::Change, mask), "mask-list");
    windows.emplace_back(std::make_unique<MaskBuilderWindow>(b.services, "*.doc", 500), "mask-builder");
    windows.emplace_back(std::make_unique<MaskThemeListWindow>(b.services, ThemeListMode::Select), "mask-themes");
    windows.emplace_back(std::make_unique<MaskThemeForm>(b.services, FormRequest::Add, theme), "mask-theme-form");

    QFile manual(QString::fromStdString(Paths::fromEnvironment().manualFolder + "/index.html"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(manual.readAll());
    EXPECT_TRUE(html.contains("id=\"backup-preview\""));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    for (auto& [window, anchor] : windows) {
        SCOPED_TRACE(window->objectName().toStdString());
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->focusPolicy() && !qobject_cast<QTreeView*>(w)) continue;
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                qobject_cast<QTreeView*>(w)) {
                EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            }
            if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->text() != "...") {
                EXPECT_EQ(b->accessibleName(), QString(b->text()).remove('&'));
            }
        }
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy()) {
                EXPECT_EQ(label->buddy()->accessibleName(), QString(label->text()).remove('&'));
            }
        catcher.urls.clear();
        QTest::mouseClick(button(window.get(), "helpButton"), Qt::LeftButton);
        ASSERT_EQ(catcher.urls.size(), 1);
        EXPECT_EQ(catcher.urls[0].fragment().toStdString(), anchor);
        EXPECT_TRUE(html.contains(QString::fromStdString("id=\"" + anchor + "\"")));
    }
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

}  // namespace
}  // namespace quillet

#include "MaskFormsTest.moc"
