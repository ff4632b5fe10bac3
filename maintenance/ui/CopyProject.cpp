#include "maintenance/ui/CopyProject.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
FormResult CopyProject(const Services& services, std::int32_t, const std::vector<std::string>&, QWidget*) {
    services.dialogs.message("The copy form is not built yet.", "Quillet", Icon::Information);
    return FormResult::Cancelled;
}

}  // namespace quillet
