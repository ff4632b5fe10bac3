#pragma once

#include <memory>
#include <string>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::shots {

// The program's services over the shots' throw-away home, with an open catalog, for
// windows that need them. Messages are recorded, never shown.
struct ShotServices {
    Paths paths = Paths::fromEnvironment();
    FileSystem fs;
    ScriptedDialogs dialogs;
    Settings settings{paths};
    SystemClock clock;
    Catalog catalog{(ensureFolder(paths.dataFolder), paths.dataFolder)};
    SilentSoundPlayer sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    ShotServices() { (void)catalog.open(); }
};

// One set for the whole program run.
inline ShotServices& shotServices() {
    static ShotServices s;
    return s;
}

}  // namespace quillet::shots
