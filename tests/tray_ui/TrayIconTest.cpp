// The tray icon's menu, its refusals during a run, the console's trip to the notification
// area, the status tip, and desktop notifications observed on a private session bus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <cstdio>

#include "app/UnattendedRun.h"
#include "app/ui/DesktopNotifier.h"
#include "app/ui/TrayIcon.h"
#include "backup_run/BackupBench.h"

namespace quillet {
namespace {

using test::BackupBench;
using test::RecordingView;

struct TrayBench {
    BackupBench b{"Accounts"};
    LastBackedList lastBacked;
    ChangeWatchList watch;
    RunActivity runs;
    std::map<std::int32_t, std::string> names{{b.project.SYSID, "Accounts"}, {12, "Cellar"}};
    TrayIcon tray{TrayContext{b.settings, b.dialogs, b.clock, b.fs, b.sounds, lastBacked, watch, runs,
                              [this](std::int32_t id) -> std::optional<std::string> {
                                  const auto found = names.find(id);
                                  if (found == names.end()) return std::nullopt;
                                  return found->second;
                              },
                              runStatusFolder(b.paths.dataFolder)}};

    TrayBench() {
        b.settings.write("Reminder", "Interval", 30);
        lastBacked.entries = {12, b.project.SYSID, 99, 0, 0};
        tray.readSettings();
    }
    QStringList texts() {
        QStringList out;
        for (QAction* a : tray.menu().actions())
            out << (a->isSeparator() ? QString("-") : (a->isEnabled() ? "" : "~") + a->text());
        return out;
    }
    // Picks a menu item as the keyboard or the accessibility interface does; its handling
    // follows once the queued close has been delivered.
    void pick(int choice) {
        QAction* action = tray.menu().actionFor(choice);
        ASSERT_NE(action, nullptr) << choice;
        action->trigger();
        QCoreApplication::sendPostedEvents();
    }
};

TEST(TrayMenu, ListsTheRecentProjectsAndActsOnEachChoice) {
    TrayBench t;
    EXPECT_EQ(t.texts(), QStringList({"&1 - Backup Cellar", "&2 - Backup Accounts", "~&3 - ", "~4 - ", "~5 - ", "-",
                                      "&Open Quillet Console", "Suspend &Timer", "-", "&Exit Quillet"}));
    EXPECT_EQ(t.tray.menu().actionFor(7)->objectName(), "trayChoice7");

    QSignalSpy backups(&t.tray, &TrayIcon::backupRequested);
    t.pick(2);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(backups[0][0].toInt(), t.b.project.SYSID);
    EXPECT_EQ(backups[0][1].toString(), "Accounts");
    EXPECT_FALSE(t.tray.reminder().menuOpen());

    // Suspend and resume: persisted, and the menu says which one comes next.
    t.pick(7);
    EXPECT_TRUE(t.b.settings.readFlag("Preferences", "SuspendTimer"));
    EXPECT_EQ(t.texts()[7], "Resume &Timer");
    t.pick(7);
    EXPECT_FALSE(t.b.settings.readFlag("Preferences", "SuspendTimer"));
    EXPECT_EQ(t.texts()[7], "Suspend &Timer");

    // Interval 0: the timer item is greyed.
    t.b.settings.write("Reminder", "Interval", 0);
    t.tray.readSettings();
    EXPECT_EQ(t.texts()[7], "~Suspend &Timer");

    // Dismissing the menu restarts the interval.
    t.b.clock.advanceMinutes(20);
    t.tray.menu().choose(0);
    EXPECT_EQ(t.tray.reminder().clockStart().time, t.b.clock.now().time);

    QSignalSpy exits(&t.tray, &TrayIcon::exitRequested);
    t.pick(8);
    EXPECT_EQ(exits.size(), 1);
    EXPECT_TRUE(t.b.dialogs.ok()) << t.b.dialogs.report();
}

TEST(TrayMenu, RefusesABackupOrAnExitWhileARunIsInProgress) {
    TrayBench t;
    QSignalSpy backups(&t.tray, &TrayIcon::backupRequested);
    QSignalSpy exits(&t.tray, &TrayIcon::exitRequested);
    QSignalSpy restored(&t.tray, &TrayIcon::consoleRestored);
    {
        RunActivity::Scope running(t.runs);
        t.b.dialogs.expect(TrayMenu::RunningText);
        t.pick(1);
        t.b.dialogs.expect(TrayMenu::RunningText);
        t.pick(8);
        // Opening the console is harmless during a run.
        t.pick(6);
    }
    EXPECT_EQ(backups.size(), 0);
    EXPECT_EQ(exits.size(), 0);
    EXPECT_EQ(restored.size(), 1);
    EXPECT_EQ(t.b.dialogs.last().title, "Quillet Message");
    t.pick(1);
    EXPECT_EQ(backups.size(), 1);
    EXPECT_TRUE(t.b.dialogs.ok()) << t.b.dialogs.report();
}

TEST(TrayIcon, EscMinimisesAndWithoutATrayTheConsoleStaysVisible) {
    TrayBench t;
    QWidget console;
    console.setWindowTitle("Quillet");
    console.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&console));
    t.tray.attachTo(&console);

    QTest::keyClick(&console, Qt::Key_Escape);
    EXPECT_TRUE(console.isMinimized());
    QCoreApplication::sendPostedEvents();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // The desktop refuses the icon: minimised but visible, and the next minimise tries again.
        EXPECT_FALSE(t.tray.present());
        EXPECT_TRUE(console.isVisible());
        EXPECT_FALSE(t.tray.toNotificationArea());
    } else {
        EXPECT_TRUE(t.tray.present());
        EXPECT_FALSE(console.isVisible());
    }
    QSignalSpy restored(&t.tray, &TrayIcon::consoleRestored);
    t.tray.openConsole();
    EXPECT_EQ(restored.size(), 1);
    EXPECT_FALSE(t.tray.present());
    EXPECT_TRUE(console.isVisible());
    EXPECT_FALSE(console.isMinimized());
}

TEST(TrayIcon, TheTipTellsFailedAndOverdueProjects) {
    TrayBench t;
    EXPECT_EQ(t.tray.status().health, BackupHealth::Overdue);  // nothing recorded yet
    RunStatusStore store(runStatusFolder(t.b.paths.dataFolder));
    RunRecord good{12, "Cellar", true, "Completed", 4, 400, {}};
    ASSERT_TRUE(store.record(good, t.b.clock.now()));
    ASSERT_TRUE(store.record({t.b.project.SYSID, "Accounts", true, "Completed", 1, 10, {}}, t.b.clock.now()));
    t.tray.refreshStatus();
    EXPECT_EQ(t.tray.status().health, BackupHealth::Good);

    ASSERT_TRUE(store.record({12, "Cellar", false, "Completed - 1 Error", 4, 400, {{"/a", "gone"}}}, t.b.clock.now()));
    t.tray.refreshStatus();
    EXPECT_EQ(t.tray.status().health, BackupHealth::Failed);
    const QString tip = t.tray.systemTrayIcon().toolTip();
    EXPECT_TRUE(tip.startsWith("Quillet (Right-Click for popup menu)\nCellar: FAILED ")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("(1 file failed)")) << tip.toStdString();
    EXPECT_FALSE(t.tray.systemTrayIcon().icon().isNull());
}

// The notification service as a desktop provides it, on a private bus.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app, summary, body;
        QVariantMap hints;
    };
    std::vector<Call> calls;
public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        calls.push_back({app, summary, body, hints});
        return static_cast<uint>(calls.size());
    }
};

struct PrivateBus {
    QProcess daemon;
    QString address;
    PrivateBus() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(60000)) return;
        while (!daemon.canReadLine() && daemon.waitForReadyRead(60000)) {
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus("server");
        QDBusConnection::disconnectFromBus("client");
        daemon.kill();
        daemon.waitForFinished(60000);
    }
};

TEST(DesktopNotifier, AFailedUnattendedRunIsNotifiedOnceOnTheBus) {
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    QDBusConnection server = QDBusConnection::connectToBus(bus.address, "server");
    NotificationServer service;
    ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
    DesktopNotifier notifier(QDBusConnection::connectToBus(bus.address, "client"));
    ASSERT_TRUE(notifier.available());

    BackupBench b("Cellar");
    for (int i = 0; i < 3; ++i) b.dir.write("src/f" + std::to_string(i) + ".txt", "file");
    b.component(b.src, "*.txt");
    b.catalog.close();
    RunStatusStore store(runStatusFolder(b.paths.dataFolder));
    const Services s = b.commandServices();
    const FailureNotice notice = [&](const ProjectRunStatus& status) {
        EXPECT_TRUE(notifier.notifyFailure(status)) << notifier.lastError().toStdString();
    };
    for (int run = 0; run < 2; ++run) {
        RecordingView view;
        view.onShowFiles = [&](const BackupFileList& files) { std::remove(files[2].FILENAME.c_str()); };
        LoopBackupDriver driver(view);
        EXPECT_EQ(RunUnattendedBackup(s, "CELLAR", driver, &store, notice), unattended::Failed);
        b.dir.write("src/f2.txt", "file");
    }
    ASSERT_EQ(service.calls.size(), 1u);
    EXPECT_EQ(service.calls[0].app, "Quillet");
    EXPECT_EQ(service.calls[0].summary, "Backup of Cellar failed");
    EXPECT_TRUE(service.calls[0].body.startsWith("Completed - 1 Error\n1 file failed:\n" +
                                                 QString::fromStdString(b.src) + "/f2.txt: "))
        << service.calls[0].body.toStdString();
    EXPECT_EQ(service.calls[0].hints.value("urgency").toInt(), 2);
}

// The program itself, started with -P as cron would, on a desktop whose session bus is the
// private one: a failure is notified once, and a good run clears the failed state.
TEST(DesktopNotifier, TheUnattendedProgramNotifiesAFailureOnceUntilARunSucceeds) {
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    QDBusConnection server = QDBusConnection::connectToBus(bus.address, "server");
    NotificationServer service;
    ASSERT_TRUE(server.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(server.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));

    BackupBench b("Cellar");
    b.dir.write("src/a.txt", "a");
    b.component(b.src, "*.txt");
    const std::string dest = b.project.DESTINATIONPATH;
    b.project.DESTINATIONPATH = b.dir.file("unplugged/disk/");
    b.saveProject();
    b.catalog.close();

    auto runProgram = [&] {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLET_HOME", QString::fromStdString(b.dir.file("home")));
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The event loop runs meanwhile, so the service here can answer the program.
        QEventLoop loop;
        QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&program, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        program.start(QUILLET_EXECUTABLE, {"-P=CELLAR", "--console"});
        loop.exec();
        return program.exitCode();
    };
    EXPECT_EQ(runProgram(), unattended::Failed);
    EXPECT_EQ(runProgram(), unattended::Failed);
    ASSERT_EQ(service.calls.size(), 1u);
    EXPECT_EQ(service.calls[0].summary, "Backup of Cellar failed");

    RunStatusStore store(runStatusFolder(b.paths.dataFolder));
    ASSERT_TRUE(store.read(b.project.SYSID));
    EXPECT_TRUE(store.read(b.project.SYSID)->lastFailed);
    ASSERT_TRUE(b.catalog.open().ok());
    b.project.DESTINATIONPATH = dest;
    b.saveProject();
    b.catalog.close();
    EXPECT_EQ(runProgram(), unattended::Succeeded);
    EXPECT_FALSE(store.read(b.project.SYSID)->lastFailed);
    EXPECT_TRUE(store.read(b.project.SYSID)->notified.empty());
    EXPECT_EQ(service.calls.size(), 1u);
}

TEST(DesktopNotifier, SendsNothingWithoutASessionBus) {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent-runtime");
    EXPECT_FALSE(DesktopNotifier::sessionBusNamed());
    DesktopNotifier notifier;
    EXPECT_FALSE(notifier.available());
    EXPECT_FALSE(notifier.send({"s", "b"}));
    if (!address.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    if (!runtime.isEmpty()) qputenv("XDG_RUNTIME_DIR", runtime);
}

}  // namespace
}  // namespace quillet

#include "TrayIconTest.moc"
