#include "app/Reminder.h"

#include <algorithm>

#include "backup/PlayEventSound.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"

namespace quillet {

ReminderSettings ReminderSettings::load(const Settings& settings) {
    ReminderSettings s;
    s.sound = settings.read("Sounds", "Reminder");
    s.interval = settings.readByte("Reminder", "Interval");
    s.showPopup = settings.readFlag("Reminder", "ShowPopup");
    s.remindOnlyIfChanged = settings.readFlag("Preferences", "RemindOnlyIfChanged");
    s.suspended = settings.readFlag("Preferences", "SuspendTimer");
    return s;
}

std::optional<bool> ChangeCheck::step() {
    if (files_.empty()) return true;
    const std::size_t end = std::min(files_.size(), next_ + SliceSize);
    for (; next_ < end; ++next_) {
        const ChangeWatchEntry& entry = files_[next_];
        // A file that is gone reads as time 0, which differs from any stored time.
        const auto stamp = fs_.modificationTime(entry.FILENAME);
        const std::int32_t current = stamp ? stamp->time : 0;
        if (current != entry.TIME) {
            ++next_;
            return true;
        }
    }
    if (next_ == files_.size()) return false;
    return std::nullopt;
}

void Reminder::apply(const ReminderSettings& settings) {
    settings_ = settings;
    check_.reset();
    if (settings_.interval != 0) restartClock();
}

void Reminder::restartClock() {
    start_ = clock_.now();
}

void Reminder::setSuspended(bool on) {
    settings_.suspended = on;
    if (on) check_.reset();
}

bool Reminder::toggleSuspended(Settings& settings) {
    setSuspended(!settings_.suspended);
    restartClock();
    return settings.writeFlag("Preferences", "SuspendTimer", settings_.suspended);
}

bool Reminder::takePopupRequest() {
    const bool wanted = popupWanted_;
    popupWanted_ = false;
    return wanted;
}

bool Reminder::due(DateTime now) const {
    const std::int64_t interval = std::int64_t{settings_.interval} * 6000;
    if (now.date == start_.date) return now.time >= start_.time + interval;
    // Across midnight: the rest of the start day plus the time into today.
    return std::int64_t{HundredthsPerDay + 1 - start_.time} + now.time >= interval;
}

ReminderTick Reminder::tick(const ChangeWatchList& watch) {
    if (settings_.interval == 0 || settings_.suspended) {
        check_.reset();
        return ReminderTick::Idle;
    }
    if (menuOpen_) return ReminderTick::Idle;

    if (check_) {
        const std::optional<bool> changed = check_->step();
        if (!changed) return ReminderTick::Checking;
        check_.reset();
        return *changed ? remind() : ReminderTick::Unchanged;
    }

    const DateTime now = clock_.now();
    if (now.date != start_.date && now.date != start_.date + 1) {
        restartClock();
        return ReminderTick::Restarted;
    }
    if (!due(now)) return ReminderTick::Idle;

    restartClock();
    if (settings_.remindOnlyIfChanged) {
        if (watch.empty()) return remind();
        check_.emplace(fs_, watch);
        return ReminderTick::Checking;
    }
    return remind();
}

ReminderTick Reminder::remind() {
    PlayEventSound(sounds_, settings_.sound);
    if (settings_.showPopup) popupWanted_ = true;
    return ReminderTick::Reminded;
}

}  // namespace quillet
