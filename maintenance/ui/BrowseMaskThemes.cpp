#include "maintenance/ui/BrowseMaskThemes.h"

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "maintenance/ui/MaskWindows.h"

namespace quillet {

std::optional<MaskTheme> BrowseMaskThemes(const Services& services, ThemeListMode mode, QWidget* parent) {
    if (Status opened = services.catalog.open(); !opened) {
        services.dialogs.message(opened.error(), "Error", Icon::Exclamation);
        return std::nullopt;
    }
    std::optional<MaskTheme> chosen;
    {
        MaskThemeListWindow window(services, mode, parent);
        // Only Select hands a theme back: Cancel and the close box leave the caller as it was.
        if (window.exec() == QDialog::Accepted) chosen = window.chosen();
    }
    services.catalog.close();
    return chosen;
}

}  // namespace quillet
