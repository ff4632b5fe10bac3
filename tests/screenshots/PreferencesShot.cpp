// The manual's pictures of the preferences dialog, one per page, and of the progress
// window of the default-destination move.
#include <QTabWidget>
#include <memory>

#include "Screenshots.h"
#include "ShotServices.h"
#include "maintenance/Preferences.h"
#include "maintenance/ui/SetDefaultDestination.h"
#include "maintenance/ui/SetPreferences.h"

namespace quillet::shots {
namespace {

std::unique_ptr<QWidget> page(int index) {
    ShotServices& s = shotServices();
    static const bool prepared = [&s] {
        s.archive.Init();
        s.archive.TEMP_PATH = "/tmp";
        s.settings.write("Defaults", "DestinationPath", "/home/ann/backup/");
        s.settings.write("Defaults", "ExtractionPath", "/home/ann/restored/");
        s.settings.write("Reminder", "Interval", "60");
        s.settings.write("Preferences", "DefaultMaskName", "Documents");
        return true;
    }();
    (void)prepared;
    auto dialog = std::make_unique<PreferencesDialog>(s.services, false);
    dialog->findChild<QTabWidget*>("pages")->setCurrentIndex(index);
    return dialog;
}

}  // namespace
}  // namespace quillet::shots

QUILLET_SHOT("preferences-general") {
    return quillet::shots::page(0);
}
QUILLET_SHOT("preferences-file-paths") {
    return quillet::shots::page(1);
}
QUILLET_SHOT("preferences-event-sounds") {
    return quillet::shots::page(2);
}
QUILLET_SHOT("preferences-unused") {
    return quillet::shots::page(3);
}
QUILLET_SHOT("preferences-optimization") {
    return quillet::shots::page(4);
}
