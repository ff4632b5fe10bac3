#include "backup/ui/PreviewBackup.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
void PreviewBackup(const Services& services, std::int32_t, QWidget*) {
    services.dialogs.message("The backup preview is not built yet.", "Quillet", Icon::Information);
}

}  // namespace quillet
