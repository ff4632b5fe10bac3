#include "backup/ui/PreviewBackup.h"

#include "backup/PreviewRun.h"
#include "backup/ui/PreviewWindow.h"
#include "catalog/Catalog.h"
#include "framework/Dialogs.h"

namespace quillet {

void PreviewBackup(const Services& services, std::int32_t sysId, QWidget* parent) {
    if (Status opened = services.catalog.open(); !opened) {
        services.dialogs.message(opened.error(), "Error", Icon::Exclamation);
        return;
    }
    auto project = services.catalog.projects().bySysId(sysId);
    if (!project || !*project) {
        services.dialogs.message(project ? "The project to preview is no longer in the project file." : project.error(),
                                 "Error", Icon::Exclamation);
        services.catalog.close();
        return;
    }
    PreviewWindow window(parent);
    PreviewRun run({services.fs, services.dialogs, services.catalog}, **project, window);
    window.drive(run);
    services.catalog.close();
}

}  // namespace quillet
