#include <QLineEdit>
#include <QTableView>

#include "HousekeepingSamples.h"
#include "maintenance/ui/CopyToFavoritesWindow.h"

QUILLET_SHOT("copy-to-favorites") {
    auto& s = quillet::shots::housekeepingSamples();
    auto window = std::make_unique<quillet::CopyToFavoritesWindow>(s.services, s.destination, s.archiveName);
    window->list()->setCurrentIndex(window->list()->model()->index(0, 0));
    return window;
}
