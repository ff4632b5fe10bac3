#include "maintenance/ui/UpdateFavorites.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
FormResult UpdateFavorites(const Services& services, FormRequest, Project&, QWidget*) {
    services.dialogs.message("The favourites form is not built yet.", "Quillet", Icon::Information);
    return FormResult::Cancelled;
}

}  // namespace quillet
