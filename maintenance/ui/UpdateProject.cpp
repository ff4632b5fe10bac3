#include "maintenance/ui/UpdateProject.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
FormResult UpdateProject(const Services& services, FormRequest, Project&, const std::vector<std::string>&, QWidget*) {
    services.dialogs.message("The project form is not built yet.", "Quillet", Icon::Information);
    return FormResult::Cancelled;
}

}  // namespace quillet
