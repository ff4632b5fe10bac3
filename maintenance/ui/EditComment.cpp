#include "maintenance/ui/EditComment.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
FormResult EditComment(const Services& services, QWidget*) {
    services.dialogs.message("The comment editor is not built yet.", "Quillet", Icon::Information);
    return FormResult::Cancelled;
}

}  // namespace quillet
