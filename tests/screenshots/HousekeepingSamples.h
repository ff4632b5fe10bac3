#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "Screenshots.h"
#include "archive/lspclass.h"
#include "backup/PlayEventSound.h"
#include "catalog/ArchiveComment.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Services.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::shots {

// The services the housekeeping windows are pictured with: a project's folder holding one
// archive of a few files with a comment, and two favourites folders.
struct HousekeepingSamples {
    std::string root = sampleFolder() + "/housekeeping";
    Paths paths = Paths::inFolder(root + "/home");
    FileSystem fs{root};
    ScriptedDialogs dialogs;
    Settings settings{paths};
    SystemClock clock;
    Catalog catalog{paths.dataFolder};
    SilentSoundPlayer sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};
    std::string destination = root + "/backup/";
    std::string archiveName = "DOCS0001.LSP";

    HousekeepingSamples() {
        ensureFolder(paths.configFolder);
        ensureFolder(destination);
        archive.Init("");
        archive.ARCHIVE_NAME = destination + archiveName;
        for (const char* name : {"budget.xls", "letter.doc", "main.h", "notes.txt", "report.doc", "util.h"}) {
            const std::string file = root + "/documents/" + name;
            ensureFolder(root + "/documents/");
            std::ofstream(file) << "sample " << name << '\n';
            archive.Add(file, "", "", 1);
        }
        ArchiveCommentRecord comment;
        comment.NOTES = "Monthly documents before the audit.\r\nKeep until March.";
        ReplaceArchiveComment(archive, paths.programFolder, comment);
        archive.ReadDirectory();

        if (catalog.open()) {
            for (const auto& [name, folder] : {std::pair{"Offsite Disk", "/media/offsite/quillet/"},
                                               std::pair{"Shared Archive", "/srv/archive/backups/"}}) {
                Project p;
                p.NAME = name;
                p.FAVORITES = 1;
                p.DESTINATIONPATH = folder;
                catalog.projects().insert(p);
            }
            catalog.close();
        }
    }
};

inline HousekeepingSamples& housekeepingSamples() {
    static HousekeepingSamples samples;
    return samples;
}

}  // namespace quillet::shots
