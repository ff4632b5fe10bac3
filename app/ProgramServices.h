#pragma once

#include <utility>

#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "framework/Clock.h"
#include "framework/Services.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet {

class Catalog;
class Settings;

// The program's one set of services (framework/Services.h) with the parts that are made
// the same way wherever the program starts: the file system in the process's working
// folder, the system clock and the initialised archive object. The program entry builds
// one for the console and the unattended runs, every subcommand one for itself; each
// gives its own dialogs (windows or the terminal) and, with windows, its sounds. Without
// sounds none are played. enterPath asks for the base folder of relative paths; without
// it nobody is asked.
class ProgramServices {
public:
    ProgramServices(const Paths& paths, Settings& settings, Catalog& catalog, Dialogs& dialogs,
                    SoundPlayer* sounds = nullptr, EnterPathFunction enterPath = {})
        : archive_(dialogs, paths.configFolder, std::move(enterPath)), services_{fs_,      dialogs,
                                                                                 settings, clock_,
                                                                                 catalog,  sounds ? *sounds : silent_,
                                                                                 archive_, paths} {
        archive_.Init();
    }
    ~ProgramServices() { archive_.Kill(); }
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    const Services& services() const { return services_; }

private:
    FileSystem fs_;
    SystemClock clock_;
    SilentSoundPlayer silent_;
    lspclass archive_;
    Services services_;
};

}  // namespace quillet
