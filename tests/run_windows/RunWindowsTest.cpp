// The backup and restore windows on the offscreen platform, driven by their own timers:
// however many redraws they leave out while the run works, the end is drawn as it is.
#include <gtest/gtest.h>

#include <filesystem>

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "archive/ui/RestoreWindow.h"
#include "backup/ui/BackupFileModel.h"
#include "backup/ui/BackupProgressWindow.h"
#include "restore/RestoreBench.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::RestoreBench;

QString label(QWidget* window, const char* name) {
    if (auto* l = window->findChild<QLabel*>(name)) return l->text();
    return window->findChild<QPushButton*>(name)->text();
}

// Presses "&OK" once the run has drawn its end.
class OkWindow : public BackupProgressWindow {
public:
    void showResults(double seconds, std::int64_t compressedBytes) override {
        BackupProgressWindow::showResults(seconds, compressedBytes);
        QTimer::singleShot(0, this, [this] { findChild<QPushButton*>("actionButton")->click(); });
    }
};

TEST(BackupProgressWindow, ManyFilesEndWithTheLastRowCurrentAndEveryIconDrawn) {
    BackupBench b;
    for (int i = 0; i < 300; ++i)
        b.dir.write("src/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt",
                    std::string(static_cast<std::size_t>(i + 1), 'x'));
    b.dir.write("src/zz/big.bin", test::randomBytes(300000, 5));  // the last file shows the item bar
    b.component(b.src, "*.*");

    OkWindow window;
    BackupList list;
    ASSERT_EQ(BatchBackup(b.services(), b.arguments(&list), window), 0) << b.dialogs.report();

    EXPECT_EQ(label(&window, "statusLine"), "Completed - No Errors");
    EXPECT_EQ(label(&window, "totalFiles"), "301");
    EXPECT_EQ(label(&window, "actionButton"), "&OK");
    EXPECT_EQ(window.findChild<QProgressBar*>("overallPercent")->value(), 100);
    EXPECT_TRUE(window.findChild<QProgressBar*>("itemBar")->isHidden());
    auto* view = window.findChild<QTreeView*>("fileList");
    ASSERT_EQ(view->model()->rowCount(), 301);
    EXPECT_EQ(view->currentIndex().row(), 300) << "the list follows the file being packed to the last";
    for (int row = 0; row < 301; ++row)
        ASSERT_EQ(view->model()->index(row, 0).data(Qt::UserRole).toInt(), fileicon::Packed) << row;
    EXPECT_TRUE(b.fs.fileExists(b.dest + "PREF0001.LSP"));
    EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
}

struct WindowBench : RestoreBench {
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
};

// The restore window's defaults use the stored paths without creating folders: into an
// empty root every item fails, the first failure says why once, and the run still comes
// to its end; with "Create Sub-Directories" every item comes back.
TEST(RestoreWindow, DefaultOptionsFailEachItemWithOneMessageAndStillComplete) {
    for (bool createFolders : {false, true}) {
        SCOPED_TRACE(createFolders);
        WindowBench b;
        b.archive.USE_PATH_INFO = 1;
        b.archive.CREATE_DIRECTORY = createFolders ? 1 : 0;
        b.archive.UNPACK_OVERWRITE_OPTION = 2;
        if (!createFolders) b.dialogs.expect("Error creating output file||The item's folder may be missing");
        const std::string root = b.dir.mkdir("empty");

        RestoreWindow window(b.services, "");
        window.show();
        window.findChild<QComboBox*>("rootDestination")->setEditText(QString::fromStdString(root));
        window.startRestore();  // takes the typed root first
        ASSERT_EQ(window.restoreRun().root(), root);
        for (int i = 0; i < 100000 && window.restoreRun().timerRunning(); ++i) QTest::qWait(1);

        const std::size_t items = b.sources.size();
        EXPECT_EQ(label(&window, "statusLine").toStdString(),
                  createFolders ? "Completed - No Errors" : "Completed - " + std::to_string(items) + " Error(s)");
        EXPECT_FALSE(window.findChild<QLabel*>("statusLine")->isHidden());
        EXPECT_EQ(label(&window, "cancelButton"), "&Close");
        auto* list = window.findChild<QTreeView*>("workList");
        ASSERT_EQ(static_cast<std::size_t>(list->model()->rowCount()), items);
        for (std::size_t row = 0; row < items; ++row)
            EXPECT_EQ(list->model()->index(static_cast<int>(row), 0).data(Qt::UserRole).toInt(),
                      createFolders ? workicon::Good : workicon::Bad);
        for (const auto& [path, content] : b.sources) {
            if (createFolders)
                EXPECT_EQ(test::readFile(root + path), content) << path;
            else
                EXPECT_FALSE(std::filesystem::exists(root + path)) << path;
        }
        EXPECT_TRUE(std::filesystem::is_empty(root) == !createFolders);
        EXPECT_TRUE(b.dialogs.ok()) << b.dialogs.report();
    }
}

}  // namespace
}  // namespace quillet
