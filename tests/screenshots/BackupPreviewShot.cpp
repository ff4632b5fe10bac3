// The "Backup Preview" window after its scan, for the manual.
#include <fstream>

#include "Screenshots.h"
#include "ShotServices.h"
#include "backup/PreviewRun.h"
#include "backup/ui/PreviewWindow.h"

namespace quillet::shots {

QUILLET_SHOT("backup-preview") {
    ShotServices& s = shotServices();
    const std::string root = sampleFolder() + "/Documents";
    s.fs.createFolders(root + "/Letters");
    s.fs.createFolders(root + "/Accounts/2026");
    const char* files[] = {"Letters/to the bank.doc",
                           "Letters/landlord.doc",
                           "Accounts/2026/January.xls",
                           "Accounts/2026/February.xls",
                           "Accounts/summary.pdf",
                           "notes.txt",
                           "draft.tmp"};
    std::size_t size = 1200;
    for (const char* f : files) {
        std::ofstream(root + "/" + f) << std::string(size, 'q');
        size = size * 3 + 517;
    }

    Project project;
    project.NAME = "Documents";
    project.PREFIX = "DOCS";
    project.DESTINATIONPATH = sampleFolder() + "/backup/";
    auto stored = s.catalog.projects().insert(project);
    if (!stored) return nullptr;
    Component include;
    include.PROSYSID = stored->SYSID;
    include.PATH = root;
    include.MASK = "*.*";
    include.RECURSE = 1;
    Component exclude = include;
    exclude.MASK = "*.tmp";
    exclude.EXCLUDE = 1;
    (void)s.catalog.components().insert(include);
    (void)s.catalog.components().insert(exclude);

    auto w = std::make_unique<PreviewWindow>();
    static std::unique_ptr<PreviewRun> run;  // the window shows its list: it lives as long as the program
    run = std::make_unique<PreviewRun>(PreviewServices{s.fs, s.dialogs, s.catalog}, *stored, *w);
    w->attach(run.get());
    run->open();
    while (run->timerRunning()) run->step();
    w->showNow();
    return w;
}

}  // namespace quillet::shots
