#include "archive/ui/BatchExtract.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
void BatchExtract(const Services& services, QWidget*) {
    services.dialogs.message("The restore is not built yet.", "Quillet", Icon::Information);
}

}  // namespace quillet
