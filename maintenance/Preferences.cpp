#include "maintenance/Preferences.h"

#include <algorithm>

#include "catalog/Catalog.h"
#include "framework/RunHost.h"
#include "framework/Settings.h"
#include "maintenance/ProjectRules.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

std::string valueOf(const AppPreferences& p, std::string_view section, std::string_view key) {
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    if (section == "Preferences") {
        if (key == "RemindOnlyIfChanged") return flag(p.remindOnlyIfChanged);
        if (key == "StartMinimized") return flag(p.startMinimized);
        if (key == "ConfirmExit") return flag(p.confirmExit);
        if (key == "DefaultMaskName") return p.defaultMaskName;
        if (key == "DisableToolTips") return flag(p.disableToolTips);
        if (key == "SuspendTimer") return flag(p.suspendTimer);
        if (key == "SpeedOptimization") return std::to_string(p.speedOptimization);
    } else if (section == "Defaults") {
        if (key == "DestinationPath") return p.destinationPath;
        if (key == "ExtractionPath") return p.extractionPath;
    } else if (section == "Sounds") {
        if (key == "Reminder") return p.reminderSound;
        if (key == "Completed") return p.completedSound;
        if (key == "Error") return p.errorSound;
    } else if (section == "Reminder") {
        if (key == "Interval") return std::to_string(p.interval);
        if (key == "ShowPopup") return flag(p.showPopup);
    }
    return {};
}

}  // namespace

AppPreferences AppPreferences::read(const Settings& settings, const std::string& currentFolder,
                                    const std::string& tempPath) {
    AppPreferences p;
    p.remindOnlyIfChanged = settings.readFlag("Preferences", "RemindOnlyIfChanged");
    p.startMinimized = settings.readFlag("Preferences", "StartMinimized");
    p.confirmExit = settings.readFlag("Preferences", "ConfirmExit");
    p.destinationPath = settings.read("Defaults", "DestinationPath");
    if (blank(p.destinationPath)) p.destinationPath = currentFolder;
    p.extractionPath = settings.read("Defaults", "ExtractionPath", tempPath);
    p.reminderSound = settings.read("Sounds", "Reminder");
    p.completedSound = settings.read("Sounds", "Completed");
    p.errorSound = settings.read("Sounds", "Error");
    p.interval = settings.readByte("Reminder", "Interval");
    p.showPopup = settings.readFlag("Reminder", "ShowPopup");
    p.defaultMaskName = settings.read("Preferences", "DefaultMaskName");
    p.suspendTimer = settings.readFlag("Preferences", "SuspendTimer");
    p.speedOptimization =
        static_cast<int>(std::clamp<std::int64_t>(settings.readInt("Preferences", "SpeedOptimization"), 0, 3));
    return p;
}

const std::vector<PreferenceKey>& preferenceWriteOrder() {
    static const std::vector<PreferenceKey> order{
        {"Preferences", "RemindOnlyIfChanged"},
        {"Preferences", "StartMinimized"},
        {"Preferences", "ConfirmExit"},
        {"Defaults", "DestinationPath"},
        {"Defaults", "ExtractionPath"},
        {"Sounds", "Reminder"},
        {"Sounds", "Completed"},
        {"Sounds", "Error"},
        {"Reminder", "Interval"},
        {"Reminder", "ShowPopup"},
        {"Preferences", "DefaultMaskName"},
        {"Preferences", "DisableToolTips"},
        {"Preferences", "SuspendTimer"},
        {"Preferences", "SpeedOptimization"},
    };
    return order;
}

Status WritePreferences(Settings& settings, const AppPreferences& prefs) {
    for (const PreferenceKey& k : preferenceWriteOrder()) {
        const std::string section(k.section), key(k.key);
        if (!settings.write(section, key, valueOf(prefs, k.section, k.key)))
            return Status::failure("The preferences could not be saved in " + settings.path() + " ([" + section + "] " +
                                   key + "): " + settings.lastError() +
                                   "|The settings not yet saved keep their stored values.");
    }
    return {};
}

Status CheckPreferenceWidth(std::string_view label, std::string_view value, std::size_t width) {
    if (utf8Length(value) <= width) return {};
    return Status::failure(std::string(label) + " takes at most " + std::to_string(width) + " characters; " +
                           std::to_string(utf8Length(value)) + " were entered.");
}

std::string PreferenceFolderPath(std::string_view typed, bool temporaryFolder) {
    std::string path = NormalizeFolderPath(typed);
    if (path.front() != '/') path.insert(path.begin(), '/');
    if (temporaryFolder)
        while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool SameDestinationText(std::string_view destination, std::string_view oldDefault) {
    if (blank(destination) || blank(oldDefault)) return false;
    return upperCased(NormalizeFolderPath(destination)) == upperCased(NormalizeFolderPath(oldDefault));
}

std::string NewDefaultDestinationQuestion(const std::string& oldPath, const std::string& newPath) {
    return "You changed the default destination path. Would you like to change all projects matching the old "
           "destination to equal the new destination?||**NOTE: You will need to move the backup files from the old "
           "location (" +
           oldPath + ") to the new one (" + newPath + ") if you want to have use of them.|";
}

// ---- the bulk update ----

DefaultDestinationUpdate::DefaultDestinationUpdate(Catalog& catalog, std::string oldPath, std::string newPath)
    : catalog_(catalog), old_(std::move(oldPath)), new_(NormalizeFolderPath(newPath)) {}

DefaultDestinationUpdate::~DefaultDestinationUpdate() = default;

bool DefaultDestinationUpdate::start() {
    started_ = true;
    if (blank(new_) || new_ == "/") {
        fail("There is no new default destination to move the projects to.");
        return false;
    }
    auto store = catalog_.projects();
    if (Status keyed = store.setKey(catalog::K_SysID); !keyed) {
        fail(keyed.error());
        return false;
    }
    auto all = store.all();
    if (!all) {
        fail(all.error());
        return false;
    }
    projects_ = std::move(*all);
    batch_ = std::make_unique<BatchWrite>(catalog_.database());
    if (!batch_->started()) {
        fail(batch_->started().error());
        return false;
    }
    return true;
}

bool DefaultDestinationUpdate::step(RunHost& host) {
    if (finished_) return false;
    if (!started_ && !start()) return false;
    if (next_ < projects_.size()) {
        Project& p = projects_[next_++];
        if (p.FAVORITES == 0 && SameDestinationText(p.DESTINATIONPATH, old_)) {
            p.DESTINATIONPATH = new_;
            if (Status s = catalog_.projects().update(p); !s) {
                fail(s.error());
                return false;
            }
            ++changed_;
        }
        host.setProgress(percent());
        return true;
    }
    Status committed = batch_->commit();
    batch_.reset();
    finished_ = true;
    result_ = committed;
    host.setProgress(100);
    return false;
}

void DefaultDestinationUpdate::cancel() {
    if (finished_) return;
    batch_.reset();  // the batch goes without its commit: nothing is written
    cancelled_ = true;
    finished_ = true;
}

void DefaultDestinationUpdate::fail(std::string message) {
    batch_.reset();
    finished_ = true;
    result_ = Status::failure(std::move(message));
}

int DefaultDestinationUpdate::percent() const {
    if (projects_.empty()) return finished_ ? 100 : 0;
    return static_cast<int>(next_ * 100 / projects_.size());
}

Result<std::size_t> ChangeDefaultDestination(Catalog& catalog, const std::string& oldPath, const std::string& newPath) {
    DefaultDestinationUpdate update(catalog, oldPath, newPath);
    PlainRunHost host;
    while (update.step(host)) {
    }
    if (!update.result()) return Result<std::size_t>::failure(update.result().error());
    return update.changed();
}

}  // namespace quillet
