#include "maintenance/ui/BrowseMaskThemes.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
std::optional<MaskTheme> BrowseMaskThemes(const Services& services, ThemeListMode, QWidget*) {
    services.dialogs.message("The mask theme list is not built yet.", "Quillet", Icon::Information);
    return std::nullopt;
}

}  // namespace quillet
