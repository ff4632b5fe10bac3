#include "HousekeepingSamples.h"
#include "maintenance/ui/FindFileWindow.h"

QUILLET_SHOT("find-file") {
    auto& s = quillet::shots::housekeepingSamples();
    static std::string text = ".doc";
    return std::make_unique<quillet::FindFileWindow>(s.services, text, -1);
}
