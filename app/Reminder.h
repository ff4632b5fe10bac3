#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "backup/ChangeWatchList.h"
#include "framework/Clock.h"

namespace quillet {

class FileSystem;
class Settings;
class SoundPlayer;

// The reminder's five settings, read afresh at console opening, after every console
// command and after the preferences dialog.
struct ReminderSettings {
    std::string sound;          // [Sounds] Reminder
    std::uint8_t interval = 0;  // [Reminder] Interval, minutes; 0 = no reminders
    bool showPopup = false;     // [Reminder] ShowPopup
    bool remindOnlyIfChanged = false;
    bool suspended = false;  // [Preferences] SuspendTimer

    static ReminderSettings load(const Settings& settings);
};

// Whether any file of the last backup has been written since, examined a slice at a time
// so the console stays responsive over a long list. The list is copied: a backup that
// refills the console's list meanwhile does not disturb the check.
class ChangeCheck {
public:
    static constexpr std::size_t SliceSize = 100;

    ChangeCheck(const FileSystem& fs, ChangeWatchList files) : fs_(fs), files_(std::move(files)) {}

    // Examines up to SliceSize entries: true = changed, false = unchanged, nothing while
    // entries remain. An empty list counts as changed.
    std::optional<bool> step();
    std::size_t examined() const { return next_; }

private:
    const FileSystem& fs_;
    ChangeWatchList files_;
    std::size_t next_ = 0;
};

// What one timer tick did.
enum class ReminderTick {
    Idle,       // nothing due, or the reminder is off, suspended or the menu is open
    Restarted,  // the clock was restarted (a gap of two days or more, or a clock set back)
    Checking,   // the change check goes on at the next (fast) tick
    Unchanged,  // due, but no file of the last backup has changed: no reminder
    Reminded,   // the sound was played (and the menu asked for when ShowPopup is set)
};

// The backup reminder of the console: counts the interval from the reminder clock (a
// date and a time of day, so a tick just after midnight still sees the time before it),
// plays the reminder sound and asks for the tray menu. The console's timer calls tick()
// every timerIntervalMs(); the owner asks for the menu when popupWanted() is set.
class Reminder {
public:
    static constexpr int TickMs = 30'000;
    static constexpr int CheckTickMs = 10;
    static constexpr std::int32_t HundredthsPerDay = 8'640'000;

    Reminder(const Clock& clock, const FileSystem& fs, SoundPlayer& sounds) : clock_(clock), fs_(fs), sounds_(sounds) {}

    // Takes the settings; with an interval the clock restarts from now. A change check in
    // progress is abandoned.
    void apply(const ReminderSettings& settings);
    void readSettings(const Settings& settings) { apply(ReminderSettings::load(settings)); }
    const ReminderSettings& settings() const { return settings_; }

    ReminderTick tick(const ChangeWatchList& watch);

    // The interval counts from now.
    void restartClock();
    DateTime clockStart() const { return start_; }

    // The timer rate the console should run at: fast while a change check is going on.
    int timerIntervalMs() const { return check_ ? CheckTickMs : TickMs; }
    bool checking() const { return check_.has_value(); }

    bool suspended() const { return settings_.suspended; }
    // Sets the flag for as long as a console command runs (not written to the settings).
    void setSuspended(bool on);
    // The menu's "Suspend/Resume Timer": inverts the flag, restarts the clock and writes
    // [Preferences] SuspendTimer. False when the settings file could not be written.
    bool toggleSuspended(Settings& settings);

    // While the tray menu is open no reminder fires, so no second menu can open.
    void setMenuOpen(bool open) { menuOpen_ = open; }
    bool menuOpen() const { return menuOpen_; }

    // Set by a reminder with ShowPopup; cleared by takePopupRequest().
    bool popupWanted() const { return popupWanted_; }
    bool takePopupRequest();

private:
    bool due(DateTime now) const;
    ReminderTick remind();

    const Clock& clock_;
    const FileSystem& fs_;
    SoundPlayer& sounds_;
    ReminderSettings settings_;
    DateTime start_;
    bool menuOpen_ = false;
    bool popupWanted_ = false;
    std::optional<ChangeCheck> check_;
};

}  // namespace quillet
