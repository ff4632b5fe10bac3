#include "maintenance/ui/FindFile.h"

#include "framework/Dialogs.h"

namespace quillet {

// Placeholder until the window is built: says so instead of doing nothing.
std::int64_t FindFile(const Services& services, std::string&, std::int64_t startRow, bool, QWidget*) {
    services.dialogs.message("Finding files is not built yet.", "Quillet", Icon::Information);
    return startRow;
}

}  // namespace quillet
