#include "maintenance/ui/ChooseProjectType.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
int ChooseProjectType(const Services& services, QWidget*) {
    services.dialogs.message("The project type choice is not built yet.", "Quillet", Icon::Information);
    return 0;
}

}  // namespace quillet
