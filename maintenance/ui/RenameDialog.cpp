#include "maintenance/ui/RenameDialog.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
bool RenameDialog(const Services& services, const std::string&, QWidget*) {
    services.dialogs.message("Renaming an archive is not built yet.", "Quillet", Icon::Information);
    return false;
}

}  // namespace quillet
