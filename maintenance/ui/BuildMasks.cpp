#include "maintenance/ui/BuildMasks.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
bool BuildMasks(const Services& services, std::string&, std::size_t, QWidget*) {
    services.dialogs.message("The mask builder is not built yet.", "Quillet", Icon::Information);
    return false;
}

}  // namespace quillet
