#include "HousekeepingSamples.h"
#include "maintenance/ui/RenameWindow.h"

QUILLET_SHOT("rename-file") {
    auto& s = quillet::shots::housekeepingSamples();
    return std::make_unique<quillet::RenameWindow>(s.services, s.destination + s.archiveName);
}
