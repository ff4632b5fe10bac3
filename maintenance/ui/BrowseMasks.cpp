#include "maintenance/ui/BrowseMasks.h"

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "maintenance/ui/MaskWindows.h"

namespace quillet {

void BrowseMasks(const Services& services, QWidget* parent) {
    if (Status opened = services.catalog.open(); !opened) {
        services.dialogs.message(opened.error(), "Error", Icon::Exclamation);
        return;
    }
    {
        MaskListWindow window(services, parent);
        window.exec();
    }
    services.catalog.close();
}

}  // namespace quillet
