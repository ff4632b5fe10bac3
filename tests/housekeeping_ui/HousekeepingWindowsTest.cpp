#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTest>
#include <functional>
#include <memory>

#include "catalog/ArchiveComment.h"
#include "framework/Picture.h"
#include "housekeeping/HousekeepingFixture.h"
#include "maintenance/ui/CopyToFavoritesWindow.h"
#include "maintenance/ui/EditCommentWindow.h"
#include "maintenance/ui/FindFile.h"
#include "maintenance/ui/FindFileWindow.h"
#include "maintenance/ui/RenameWindow.h"

namespace quillet::test {
namespace {

class Windows : public HousekeepingFixture {
protected:
    template <class T = QPushButton>
    static T* child(QWidget& window, const char* name) {
        T* w = window.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void click(QWidget& window, const char* button) {
        if (auto* b = child(window, button)) QTest::mouseClick(b, Qt::LeftButton);
    }
    void addProject(const std::string& name, std::uint8_t favorites, const std::string& prefix,
                    const std::string& folder) {
        ASSERT_TRUE(catalog.open());
        Project p;
        p.NAME = name;
        p.FAVORITES = favorites;
        p.PREFIX = prefix;
        p.DESTINATIONPATH = folder + "/";
        p.MAXBACKUPS = 20;
        EXPECT_TRUE(catalog.projects().insert(p)) << name;
        catalog.close();
    }
};

TEST_F(Windows, EditingTheCommentOfAnArchiveWithoutOne) {
    const std::string path = makeArchive("dest", "ABCD0001.LSP", {{"a.txt", "alpha"}});
    EditCommentWindow window(services);
    EXPECT_EQ(window.windowTitle(), "Edit Archive Comments");
    auto* notes = child<QPlainTextEdit>(window, "notesEdit");
    EXPECT_EQ(notes->toPlainText(), "");
    QTest::keyClicks(notes, "first note");
    click(window, "okButton");
    EXPECT_EQ(window.result(), QDialog::Accepted);

    const std::string bytes = itemBytes(path, "LSPComments.inb");
    ASSERT_EQ(bytes.size(), 1016u);
    EXPECT_EQ(bytes.substr(0, 16), std::string(16, '\0'));
    EXPECT_EQ(bytes.substr(16, 11), "first note ");
    EXPECT_TRUE(unzipTestPasses(path));
    EXPECT_EQ(ReadArchiveComment(archive, paths.programFolder), "Comments:\r\n\r\nfirst note");
}

TEST_F(Windows, DateTimeAppendsAStampAndCancelChangesNothing) {
    const std::string path = makeArchive("dest", "ABCD0001.LSP", {{"a.txt", "alpha"}});
    ArchiveCommentRecord record;
    record.NOTES = "line one\r\nline two  ";
    ASSERT_EQ(ReplaceArchiveComment(archive, paths.programFolder, record), 0);
    const std::string before = readFile(path);

    EditCommentWindow window(services);
    auto* notes = child<QPlainTextEdit>(window, "notesEdit");
    EXPECT_EQ(notes->toPlainText(), "line one\nline two");
    click(window, "dateTimeButton");
    const DateTime now = clock.now();
    EXPECT_EQ(window.notes(), "line one\r\nline two\r\n" + formatDate(now.date) + " " + formatTime(now.time));

    // The record holds 1000 bytes: what does not fit is refused, not cut when saving.
    QTest::keyClicks(notes, QString(1000, 'x'));
    EXPECT_EQ(window.notes().size(), 1000u);
    EXPECT_GT(dialogs.beeps(), 0);

    click(window, "cancelButton");
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(readFile(path) == before) << "a cancelled edit leaves the archive as it was";
}

TEST_F(Windows, RenameToKeepAndARefusedCollision) {
    const std::string folder = dir.mkdir("dest");
    const std::string three = dir.write("dest/ABCD0003.LSP", "three");
    const std::string two = dir.write("dest/ABCD0002.LSP", "two");
    {
        RenameWindow window(services, three);
        EXPECT_EQ(window.windowTitle(), "Rename File");
        EXPECT_EQ(window.entry()->text(), "ABCD0003.LSP");
        EXPECT_EQ(window.entry()->maxLength(), 99);
        QTest::keyClicks(window.entry(), "Keep");  // replaces the selected name
        click(window, "okButton");
        EXPECT_TRUE(window.renamed());
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
    EXPECT_EQ(readFile(folder + "/Keep.lsp"), "three");
    EXPECT_FALSE(fs.fileExists(three));

    RenameWindow window(services, two);
    window.entry()->setText("Keep");
    dialogs.expect("Error - Renaming 80 " + two + " " + folder + "/Keep.lsp");
    click(window, "okButton");
    EXPECT_FALSE(window.renamed());
    EXPECT_EQ(window.result(), QDialog::Accepted) << "closes either way";
    EXPECT_EQ(readFile(folder + "/Keep.lsp"), "three");
    EXPECT_EQ(readFile(two), "two");
}

TEST_F(Windows, CopyToAFavouritesFolderAsksBeforeReplacing) {
    const std::string source = dir.write("dest/ABCD0001.LSP", "the archive");
    const std::string alpha = dir.mkdir("alpha"), zeta = dir.mkdir("zeta");
    addProject("Zeta Folder", 1, "", zeta);
    addProject("Documents", 0, "ABCD", dir.file("dest"));
    addProject("Alpha Folder", 1, "", alpha);

    CopyToFavoritesWindow window(services, dir.file("dest") + "/", "ABCD0001.LSP");
    EXPECT_EQ(window.windowTitle(), "Copy File to New Destination");
    QAbstractItemModel* model = window.list()->model();
    ASSERT_EQ(model->rowCount(), 2) << "favourites folders only, in name order";
    EXPECT_EQ(model->index(0, 0).data().toString().toStdString(), alpha + "/ABCD0001.LSP");
    EXPECT_EQ(model->index(0, 1).data().toString(), "Alpha Folder");
    EXPECT_EQ(model->index(1, 1).data().toString(), "Zeta Folder");
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Destination");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Favorite Folder");

    window.list()->setCurrentIndex(model->index(1, 0));
    EXPECT_EQ(window.entry()->text().toStdString(), zeta + "/ABCD0001.LSP");
    dir.write("zeta/ABCD0001.LSP", "an older copy");
    dialogs.expect("This file already exists. Would you like to overwrite it?", answer::No);
    click(window, "okButton");
    EXPECT_EQ(dialogs.last().title, "File Exists");
    EXPECT_EQ(dialogs.last().defaultButton, answer::No);
    EXPECT_EQ(window.result(), 0) << "No keeps the dialog open";
    EXPECT_EQ(readFile(zeta + "/ABCD0001.LSP"), "an older copy");

    dialogs.expect("This file already exists.", answer::Yes);
    click(window, "okButton");
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(readFile(zeta + "/ABCD0001.LSP"), "the archive");

    // A name without extension gets ".lsp"; a relative one lands beside the archive.
    CopyToFavoritesWindow again(services, dir.file("dest"), "ABCD0001.LSP");
    again.entry()->setText("spare");
    click(again, "okButton");
    EXPECT_EQ(readFile(dir.file("dest/spare.lsp")), "the archive");

    // "..." offers the file-save dialog and completes the name.
    CopyToFavoritesWindow browsing(services, dir.file("dest"), "ABCD0001.LSP");
    dialogs.queueSaveFile(dir.file("alpha/weekly"));
    click(browsing, "browseButton");
    EXPECT_EQ(browsing.entry()->text().toStdString(), dir.file("alpha/weekly.lsp"));
    ASSERT_EQ(dialogs.chooserCalls().size(), 1u);
    EXPECT_EQ(dialogs.chooserCalls()[0].title, "Choose New Destination for File");
    EXPECT_EQ(dialogs.chooserCalls()[0].filter, "LSP Files|*.LSP|All Files|*.*");
    browsing.entry()->clear();
    click(browsing, "okButton");
    EXPECT_EQ(browsing.result(), 0) << "nothing to copy to";
}

TEST_F(Windows, FindAllMarksTheMatchesAndFindAgainGoesOn) {
    makeArchive("dest", "ABCD0001.LSP",
                {{"main.cpp", "1"}, {"main.h", "2"}, {"notes.txt", "3"}, {"util.h", "4"}, {"x.hpp", "5"}});
    archive.ReadDirectory();
    ASSERT_EQ(archive.LSPQ.size(), 5u);
    const auto rowOf = [&](const std::string& name) {
        for (std::size_t i = 0; i < archive.LSPQ.size(); ++i)
            if (archive.LSPQ[i].FILENAME == name) return static_cast<std::int64_t>(i);
        return std::int64_t{-2};
    };
    archive.LSPQ[static_cast<std::size_t>(rowOf("notes.txt"))].MARK = 1;

    std::string text;
    {
        FindFileWindow window(services, text, -1);
        EXPECT_EQ(window.windowTitle(), "Find File in Backup Set");
        EXPECT_TRUE(window.deselectCheck()->isChecked());
        EXPECT_TRUE(window.showCountCheck()->isChecked());
        QTest::keyClicks(window.entry(), ".h");
        dialogs.expect("3 Record(s) have been selected.");
        click(window, "findAllButton");
        EXPECT_EQ(dialogs.last().title, "Search Result");
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(window.currentRow(), std::max({rowOf("main.h"), rowOf("util.h"), rowOf("x.hpp")}));
    }
    EXPECT_EQ(text, ".h");
    for (const LSPQEntry& e : archive.LSPQ)
        EXPECT_EQ(e.MARK, e.FILENAME == "main.h" || e.FILENAME == "util.h" || e.FILENAME == "x.hpp") << e.FILENAME;

    // The options are kept when the window closes, even by Cancel.
    {
        FindFileWindow window(services, text, -1);
        EXPECT_EQ(window.entry()->text(), ".h");
        window.deselectCheck()->setChecked(false);
        click(window, "cancelButton");
    }
    EXPECT_EQ(settings.read("FindFile", "Deselect"), "0");
    EXPECT_EQ(settings.read("FindFile", "ShowCount"), "1");

    // Find again: one find-next from the given row, no window; marks add up without de-select.
    text = "MAIN";
    std::int64_t row = FindFile(services, text, -1, true);
    const std::int64_t first = std::min(rowOf("main.cpp"), rowOf("main.h"));
    EXPECT_EQ(row, first);
    row = FindFile(services, text, row, true);
    EXPECT_EQ(row, std::max(rowOf("main.cpp"), rowOf("main.h")));
    dialogs.expect("File Not Found");
    EXPECT_EQ(FindFile(services, text, row, true), row);
    EXPECT_EQ(archive.LSPQ[static_cast<std::size_t>(rowOf("main.cpp"))].MARK, 1);
    EXPECT_EQ(archive.LSPQ[static_cast<std::size_t>(rowOf("util.h"))].MARK, 1);
}

// Every control is named for tests and assistive technology, labels lead to their
// entries, and no two commands of a window share an access key.
TEST_F(Windows, ControlsAreNamedAndReachableByKeyboard) {
    makeArchive("dest", "ABCD0001.LSP", {{"a.txt", "alpha"}});
    std::string text;
    std::vector<std::unique_ptr<QDialog>> windows;
    windows.push_back(std::make_unique<EditCommentWindow>(services));
    windows.push_back(std::make_unique<CopyToFavoritesWindow>(services, dir.file("dest"), "ABCD0001.LSP"));
    windows.push_back(std::make_unique<RenameWindow>(services, dir.file("dest/ABCD0001.LSP")));
    windows.push_back(std::make_unique<FindFileWindow>(services, text, -1));
    for (const auto& window : windows) {
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_FALSE(window->objectName().isEmpty());
        QSet<QChar> keys;
        const auto key = [&](const QString& label) {
            const auto at = label.indexOf('&');
            if (at < 0 || at + 1 >= label.size()) return;
            const QChar k = label[at + 1].toUpper();
            EXPECT_FALSE(keys.contains(k)) << "access key " << QString(k).toStdString() << " twice";
            keys.insert(k);
        };
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (qobject_cast<QLabel*>(w)) {
                auto* label = static_cast<QLabel*>(w);
                if (label->text().contains('&')) {
                    EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
                    key(label->text());
                }
                continue;
            }
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTableView*>(w);
            if (!control || w->parent() != window.get()) continue;
            EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                EXPECT_EQ(w->accessibleName(), QString(b->text()).remove('&')) << w->objectName().toStdString();
                key(b->text());
            }
        }
    }
}

}  // namespace
}  // namespace quillet::test
