#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/Records.h"
#include "platform/Result.h"

namespace quillet {

class BatchWrite;
class Catalog;
class RunHost;
class Settings;

// Widths of the preference entries; longer values are refused, never cut.
inline constexpr std::size_t PreferenceFolderWidth = 120;
inline constexpr std::size_t PreferenceTempPathWidth = 119;
inline constexpr std::size_t PreferenceSoundWidth = 120;
inline constexpr std::size_t PreferenceMaskNameWidth = 60;

// The application's own settings as the preferences dialog edits them: copies read when
// it opens and written, one key at a time, only when it is confirmed.
struct AppPreferences {
    bool remindOnlyIfChanged = false;
    bool startMinimized = false;
    bool confirmExit = true;
    std::string destinationPath;  // [Defaults] DestinationPath
    std::string extractionPath;   // [Defaults] ExtractionPath
    std::string reminderSound;    // [Sounds] Reminder
    std::string completedSound;   // [Sounds] Completed
    std::string errorSound;       // [Sounds] Error
    std::uint8_t interval = 0;    // [Reminder] Interval, minutes
    bool showPopup = false;
    std::string defaultMaskName;
    bool disableToolTips = false;  // the console's flag, not read from the file
    bool suspendTimer = false;
    int speedOptimization = 0;  // 0 normal .. 3 fastest

    // Reads every setting but DisableToolTips (which the caller takes from the console).
    // A missing destination is currentFolder, a missing extraction folder is tempPath.
    static AppPreferences read(const Settings& settings, const std::string& currentFolder, const std::string& tempPath);
};

// One key the dialog writes, in the order it writes them.
struct PreferenceKey {
    std::string_view section;
    std::string_view key;
};
const std::vector<PreferenceKey>& preferenceWriteOrder();

// Writes the preferences one key at a time in preferenceWriteOrder(). Stops at the first
// key that cannot be written: the message names the file, the key and the reason, and says
// that the keys not yet written keep their stored values (each write replaces the file
// whole, so nothing else in it is lost).
Status WritePreferences(Settings& settings, const AppPreferences& prefs);

// Whether a value that fits the entry: at most width characters.
Status CheckPreferenceWidth(std::string_view label, std::string_view value, std::size_t width);

// A folder typed into a folder entry, completed the way it is kept: "~" expanded, made
// absolute from the root when it is not, and ending with "/" - except the temporary
// folder, which is kept without its trailing "/" (the root stays "/").
std::string PreferenceFolderPath(std::string_view typed, bool temporaryFolder);

// Whether a project's destination is the old default: the same text when both are
// completed with their trailing "/" and compared without regard to case.
bool SameDestinationText(std::string_view destination, std::string_view oldDefault);

// The question after OK when the default destination changed.
std::string NewDefaultDestinationQuestion(const std::string& oldPath, const std::string& newPath);
inline constexpr const char* NewDefaultDestinationTitle = "New Default Destination";

// The bulk move of the projects that used the old default destination to the new one.
// Every normal project (FAVORITES 0) whose destination is the old default (any case) is
// rewritten with the new default; favourites folders and every other project are left
// alone. All rewrites go into one batch that is committed only after the last project, so
// a failure part-way or a confirmed Cancel leaves every project as it was. One project is
// visited per step(), in SYSID order.
class DefaultDestinationUpdate {
public:
    DefaultDestinationUpdate(Catalog& catalog, std::string oldPath, std::string newPath);
    ~DefaultDestinationUpdate();
    DefaultDestinationUpdate(const DefaultDestinationUpdate&) = delete;
    DefaultDestinationUpdate& operator=(const DefaultDestinationUpdate&) = delete;

    // Visits the next project; false once the run is over (result() then says how).
    bool step(RunHost& host);
    // Ends the run without changing anything (a confirmed Cancel).
    void cancel();

    bool finished() const { return finished_; }
    bool cancelled() const { return cancelled_; }
    const Status& result() const { return result_; }
    // Projects rewritten (0 unless the run committed).
    std::size_t changed() const { return finished_ && result_ && !cancelled_ ? changed_ : 0; }
    // 0..100 of the projects visited.
    int percent() const;

private:
    bool start();
    void fail(std::string message);

    Catalog& catalog_;
    std::string old_;
    std::string new_;
    std::vector<Project> projects_;
    std::unique_ptr<BatchWrite> batch_;
    std::size_t next_ = 0;
    std::size_t changed_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    Status result_;
};

// Runs the whole update without a window; the number of projects rewritten.
Result<std::size_t> ChangeDefaultDestination(Catalog& catalog, const std::string& oldPath, const std::string& newPath);

}  // namespace quillet
