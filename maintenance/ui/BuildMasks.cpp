#include "maintenance/ui/BuildMasks.h"

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "maintenance/ui/MaskWindows.h"

namespace quillet {

bool BuildMasks(const Services& services, std::string& text, std::size_t width, QWidget* parent) {
    if (Status opened = services.catalog.open(); !opened) {
        services.dialogs.message(opened.error(), "Error", Icon::Exclamation);
        return false;
    }
    bool chosen = false;
    {
        MaskBuilderWindow window(services, text, width, parent);
        if (window.exec() == QDialog::Accepted) {
            text = window.text();
            chosen = true;
        }
    }
    services.catalog.close();
    return chosen;
}

}  // namespace quillet
