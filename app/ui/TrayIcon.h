#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/LastBackedList.h"
#include "app/Reminder.h"
#include "app/RunActivity.h"
#include "app/RunStatus.h"
#include "app/TrayMenuItems.h"
#include "backup/ChangeWatchList.h"

class QSessionManager;
class QWidget;

namespace quillet {

class Clock;
class Dialogs;
class FileSystem;
class Settings;
class SoundPlayer;

// The menu of the notification-area icon, built afresh from the recent projects and the
// reminder state each time it opens. A choice is acted on once the menu has closed (so a
// backup never starts inside the menu's own handling); a backup or an exit chosen while a
// run is in progress is refused with a message.
class TrayMenu : public QMenu {
    Q_OBJECT
public:
    TrayMenu(Dialogs& dialogs, const RunActivity& runs, QWidget* parent = nullptr);

    void setItems(const std::vector<TrayMenuItem>& items);
    const std::vector<TrayMenuItem>& items() const { return items_; }
    // The action of choice 1 to 8; nullptr for another number.
    QAction* actionFor(int choice) const;

    // Acts on a choice as picking it does (refusals included); 0 = dismissed.
    void choose(int choice);

    static constexpr const char* RunningText =
        "A backup, test or restore is in progress.|Wait until it has finished, then try again.";

signals:
    void projectChosen(int sysId);  // 1 to 5
    void openConsoleChosen();       // 6
    void timerToggleChosen();       // 7
    void exitChosen();              // 8
    void dismissed();               // closed without a choice
    void closed();                  // after every close, once the choice is handled

private:
    void onAboutToHide();
    void finish();

    Dialogs& dialogs_;
    const RunActivity& runs_;
    std::vector<TrayMenuItem> items_;
    std::vector<QAction*> actions_;  // by choice - 1
    int picked_ = 0;
    bool finishing_ = false;
};

// What the tray needs from the console that owns it.
struct TrayContext {
    Settings& settings;
    Dialogs& dialogs;
    const Clock& clock;
    const FileSystem& fs;
    SoundPlayer& sounds;
    const LastBackedList& lastBacked;    // the console's list
    const ChangeWatchList& changeWatch;  // the console's list, read by the reminder
    const RunActivity& runs;             // whether a run is in progress
    // A project's name by SYSID; nothing when no such project exists.
    std::function<std::optional<std::string>(std::int32_t)> projectName;
    std::string statusFolder;  // runStatusFolder(paths.dataFolder); empty = no status shown
};

// The notification-area icon of the console, its menu, the backup reminder and the end of
// the desktop session. The console keeps one for as long as its window is open and
// connects the signals; everything else happens here:
// - attachTo(console): Esc minimises the console; a minimised console goes to the
//   notification area (hidden, icon shown); where the desktop has no tray the console
//   stays minimised and visible and the next minimise tries again.
// - a double-click on the icon or "Open Quillet Console" brings the console back and
//   removes the icon;
// - the reminder ticks every 30 seconds (fast while it checks the backed-up files), plays
//   its sound and, with ShowPopup, opens the menu;
// - the icon and its tip show whether the recent projects' last runs failed or are overdue.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(TrayContext context, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Watches the console window: Esc and minimising send it to the notification area.
    void attachTo(QWidget* console);
    QWidget* console() const { return console_; }

    // The console has been minimised: adds the icon and hides the console. False when the
    // desktop refuses (no notification area): the console stays minimised and visible.
    bool toNotificationArea();
    // Brings the console back (un-hidden, activated, un-minimised) and removes the icon.
    void openConsole();
    // Starts hidden in the notification area (StartMinimized, "MINIMIZE=TRUE").
    void startMinimized();
    bool present() const { return present_; }

    // Builds the menu and opens it at the mouse position; nothing while it is open.
    void showMenu();
    TrayMenu& menu() { return *menu_; }
    // Rebuilds the menu's items from the recent projects and the reminder state.
    void rebuildMenu();

    Reminder& reminder() { return reminder_; }
    // Re-reads the reminder settings and restarts its interval (console opening, after
    // every console command, after the preferences dialog); also refreshes the status.
    void readSettings();
    // For the duration of a console command.
    void suspendReminder() { reminder_.setSuspended(true); }

    // Icon and tip from the recent projects' last runs.
    void refreshStatus();
    const TrayStatus& status() const { return status_; }
    QSystemTrayIcon& systemTrayIcon() { return icon_; }
    QTimer& reminderTimer() { return timer_; }

    // The icon of each state, drawn at every size the tray may ask for.
    static QIcon iconFor(BackupHealth health);

    // The session is ending: answered as "may end", and the console told to close down.
    void endSession();

signals:
    // "&n - Backup NAME": the console positions its projects list on the project and runs
    // its backup command (connect queued or let it run: the menu has closed already).
    void backupRequested(int sysId, const QString& name);
    // The console is visible again (after a double-click or "Open Quillet Console").
    void consoleRestored();
    // "&Exit Quillet": the icon is gone and the console visible; the console closes with
    // its usual exit confirmation.
    void exitRequested();
    // The desktop session ends: the console deletes its temporary files, writes
    // [LastBacked] and closes without asking.
    void sessionEnding();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void onTick();
    void onCommitData(QSessionManager& manager);

    TrayContext c_;
    Reminder reminder_;
    QSystemTrayIcon icon_;
    QPointer<QWidget> console_;
    std::unique_ptr<TrayMenu> menu_;
    QTimer timer_;
    TrayStatus status_;
    bool present_ = false;
    bool menuOpen_ = false;
};

}  // namespace quillet
