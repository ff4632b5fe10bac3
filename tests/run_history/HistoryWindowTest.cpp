// The History window over a real history file, and the program itself: a failed
// "quillet backup" is notified once on a (private) session bus and "quillet history" lists it.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>

#include "app/RunStatus.h"
#include "app/ui/HistoryWindow.h"
#include "backup_run/BackupBench.h"
#include "cli/CliRunner.h"
#include "framework/Services.h"

namespace quillet {
namespace {

using test::BackupBench;

TEST(HistoryWindow, ListsTheProjectsRunsWithTheFailedFilesOfTheSelectedOne) {
    BackupBench b("Cellar");
    RunHistory history(runStatusFolder(b.paths.dataFolder));
    HistoryRun good;
    good.sysId = b.project.SYSID;
    good.project = "CELLAR";
    good.kind = runkind::Backup;
    good.succeeded = true;
    good.result = "Completed";
    good.files = 1234;
    good.bytes = 5678901;
    HistoryRun bad = good;
    bad.kind = runkind::Test;
    bad.succeeded = false;
    bad.result = "Completed - 1 Error(s)";
    bad.failed = {{"/home/u/a.txt", "CRC error"}};
    bad.failedCount = 3;                // more failed than were kept
    good.started = {80000, 8'639'900};  // one second to midnight
    good.ended = {80001, 6'200};        // 63 seconds later, past midnight
    HistoryRun other = good;
    other.sysId = b.project.SYSID + 1;
    for (const HistoryRun& r : {good, other, bad}) ASSERT_TRUE(history.record(r));

    const Services services{b.fs, b.dialogs, b.settings, b.clock, b.catalog, b.sounds, b.archive, b.paths};
    HistoryWindow window(services, b.project.SYSID, "CELLAR");
    window.show();
    auto* list = window.findChild<QTableView*>("historyList");
    auto* details = window.findChild<QPlainTextEdit*>("runDetails");
    ASSERT_TRUE(list && details);
    ASSERT_EQ(list->model()->rowCount(), 2);
    auto cell = [&](int row, int column) { return list->model()->index(row, column).data().toString(); };
    struct Cell {
        int row, column;
        const char* text;
    };
    for (const Cell& c : {Cell{0, HistoryModel::Kind, "Test"}, Cell{0, HistoryModel::Outcome, "FAILED"},
                          Cell{0, HistoryModel::Failed, "3"}, Cell{1, HistoryModel::Kind, "Backup"},
                          Cell{1, HistoryModel::Duration, "1:03"}, Cell{1, HistoryModel::Outcome, "Good"},
                          Cell{1, HistoryModel::Files, "1,234"}, Cell{1, HistoryModel::Bytes, "5,678,901"},
                          Cell{1, HistoryModel::FinalStatus, "Completed"}})
        EXPECT_EQ(cell(c.row, c.column), c.text) << c.row << "," << c.column;
    EXPECT_EQ(details->toPlainText(), "/home/u/a.txt: CRC error\nand 2 more\n");
    list->setCurrentIndex(list->model()->index(1, 0));
    EXPECT_EQ(details->toPlainText(), "");
    EXPECT_EQ(window.findChild<QLabel*>("historySummary")->text(), "2 run(s), 1 failed.");

    // A run recorded meanwhile appears on Refresh.
    ASSERT_TRUE(history.record(good));
    window.findChild<QPushButton*>("refreshButton")->click();
    EXPECT_EQ(list->model()->rowCount(), 3);

    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && (qobject_cast<QPushButton*>(w) || w == list || w == details)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(window.findChild<QPushButton*>("helpButton")->accessibleName(), "Help");
}

// The notification service as a desktop provides it, on a private bus.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries, bodies;
public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap&, int) {
        summaries << summary;
        bodies << body;
        return static_cast<uint>(summaries.size());
    }
};

TEST(HistoryCommand, AFailedCliBackupIsNotifiedOnceAndListedUntilABackupSucceeds) {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted(60000));
    while (!daemon.canReadLine() && daemon.waitForReadyRead(60000)) {
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    NotificationServer service;
    {
        QDBusConnection server = QDBusConnection::connectToBus(address, "history-server");
        ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
    }

    BackupBench b("Cellar");
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    const std::string dest = b.project.DESTINATIONPATH;
    b.project.DESTINATIONPATH = b.dir.file("unplugged/disk/");
    b.saveProject();
    b.catalog.close();

    // The event loop runs while the program does, so the service here can answer it.
    auto quillet = [&](const QStringList& arguments) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLET_HOME", QString::fromStdString(b.dir.file("home")));
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.remove("DISPLAY");
        program.setProcessEnvironment(env);
        QEventLoop loop;
        QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&program, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        program.start(QUILLET_EXECUTABLE, arguments);
        loop.exec();
        return std::make_pair(program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()));
    };
    EXPECT_EQ(quillet({"backup", "cellar"}).first, 1);
    EXPECT_EQ(quillet({"backup", "cellar"}).first, 1);
    ASSERT_EQ(service.summaries.size(), 1);
    EXPECT_EQ(service.summaries[0], "Backup of Cellar failed");

    auto listed = quillet({"history", "cellar"});
    EXPECT_EQ(listed.first, 0);
    const std::vector<std::string> lines = test::lines(listed.second.toStdString());
    ASSERT_EQ(lines.size(), 2u) << listed.second.toStdString();
    for (const std::string& line : lines) {
        const auto f = test::fields(line);
        ASSERT_EQ(f.size(), 10u) << line;
        EXPECT_EQ(f[2], "Cellar");
        EXPECT_EQ(f[3], "backup");
        EXPECT_EQ(f[4], "failed");
    }

    ASSERT_TRUE(b.catalog.open().ok());
    b.project.DESTINATIONPATH = dest;
    b.saveProject();
    b.catalog.close();
    EXPECT_EQ(quillet({"backup", "cellar"}).first, 0);
    listed = quillet({"history", "--last", "1"});
    EXPECT_EQ(test::fields(test::lines(listed.second.toStdString()).at(0)).at(4), "ok") << listed.second.toStdString();
    EXPECT_EQ(quillet({"history", "--failed"}).second.count('\n'), 2);
    EXPECT_EQ(quillet({"history", "--last", "0"}).first, 2);
    EXPECT_EQ(service.summaries.size(), 1);

    QDBusConnection::disconnectFromBus("history-server");
    daemon.kill();
    daemon.waitForFinished(60000);
}

}  // namespace
}  // namespace quillet

#include "HistoryWindowTest.moc"
