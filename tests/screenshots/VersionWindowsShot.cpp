// "Find in All Backups" and "Compare Backups" over three archives of a small folder in
// which the budget changed each time, for the manual.
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "Screenshots.h"
#include "ShotServices.h"
#include "app/ui/FindVersionsWindow.h"
#include "lsp/lsp.h"

namespace quillet::shots {

namespace {

// Three archives, newest first: PLAN0001.LSP to PLAN0003.LSP.
std::vector<std::string> planArchives() {
    static std::vector<std::string> archives;
    if (!archives.empty()) return archives;
    const std::string root = sampleFolder() + "/Plans";
    const std::string dest = sampleFolder() + "/plan-backups/";
    std::filesystem::create_directories(root + "/Drafts");
    std::filesystem::create_directories(dest);
    const char* budgets[] = {"first budget", "second budget, revised", "third budget, revised twice"};
    for (int k = 0; k < 3; ++k) {
        std::ofstream(root + "/budget.xls") << std::string(4000 + 1700 * k, budgets[k][0]) << budgets[k];
        std::ofstream(root + "/Drafts/outline.doc") << std::string(2300, 'o');
        if (k == 2) std::ofstream(root + "/Drafts/timeline.doc") << std::string(5100, 't');
        if (k < 2) std::ofstream(root + "/old notes.txt") << std::string(800, 'n');
        if (k == 2) std::filesystem::remove(root + "/old notes.txt");
        const std::string archive = dest + "PLAN000" + std::to_string(3 - k) + ".LSP";
        std::vector<std::string> files = {root + "/budget.xls", root + "/Drafts/outline.doc"};
        if (k == 2) files.push_back(root + "/Drafts/timeline.doc");
        if (k < 2) files.push_back(root + "/old notes.txt");
        for (const std::string& f : files)
            (void)LSP_PACK(f.c_str(), archive.c_str(), "", 2, LSP_PF_STORE_PATHS | LSP_PF_BATCH);
        LSP_RESETDLL();
    }
    archives = {dest + "PLAN0001.LSP", dest + "PLAN0002.LSP", dest + "PLAN0003.LSP"};
    return archives;
}

}  // namespace

QUILLET_SHOT("find-versions") {
    ShotServices& s = shotServices();
    auto w = std::make_unique<FindVersionsWindow>(s.paths.dataFolder, planArchives(), FindVersionsWindow::Actions{},
                                                  s.paths.manualFolder);
    w->findChild<QLineEdit*>("patternEntry")->setText("*.xls");
    w->search();
    return w;
}

QUILLET_SHOT("compare-backups") {
    ShotServices& s = shotServices();
    const auto archives = planArchives();
    return std::make_unique<CompareWindow>(s.paths.dataFolder, archives[2], archives[0], s.paths.manualFolder);
}

}  // namespace quillet::shots
