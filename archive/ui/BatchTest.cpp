#include "archive/ui/BatchTest.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
void BatchTest(const Services& services, QWidget*) {
    services.dialogs.message("The archive test is not built yet.", "Quillet", Icon::Information);
}

}  // namespace quillet
