#include "HousekeepingSamples.h"
#include "maintenance/ui/EditCommentWindow.h"

QUILLET_SHOT("edit-comment") {
    auto& s = quillet::shots::housekeepingSamples();
    return std::make_unique<quillet::EditCommentWindow>(s.services);
}
