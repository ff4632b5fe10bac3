#include "maintenance/ui/BrowseMasks.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
void BrowseMasks(const Services& services, QWidget*) {
    services.dialogs.message("The mask list is not built yet.", "Quillet", Icon::Information);
}

}  // namespace quillet
