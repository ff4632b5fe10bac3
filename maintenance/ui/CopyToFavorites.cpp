#include "maintenance/ui/CopyToFavorites.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
void CopyToFavorites(const Services& services, const std::string&, const std::string&, QWidget*) {
    services.dialogs.message("Copying an archive is not built yet.", "Quillet", Icon::Information);
}

}  // namespace quillet
