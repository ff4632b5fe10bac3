// The test window at its end and the restore window before its run, over a small archive.
#include <QApplication>
#include <fstream>
#include <memory>

#include "Screenshots.h"
#include "archive/lspclass.h"
#include "archive/ui/RestoreWindow.h"
#include "archive/ui/TestWindow.h"
#include "backup/PlayEventSound.h"
#include "catalog/Catalog.h"
#include "framework/Clock.h"
#include "framework/ScriptedDialogs.h"
#include "framework/Settings.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::shots {
namespace {

// A sample archive of a few documents, listed and marked, with the services that the
// windows use; kept for as long as the program runs.
struct Sample {
    Paths paths = Paths::inFolder(sampleFolder() + "/home/");
    FileSystem fs;
    ScriptedDialogs dialogs;
    Settings settings{paths};
    SystemClock clock;
    Catalog catalog{paths.dataFolder};
    SilentSoundPlayer sounds;
    lspclass archive{dialogs, paths.configFolder};
    Services services{fs, dialogs, settings, clock, catalog, sounds, archive, paths};

    Sample() {
        ensureFolder(paths.configFolder);
        const std::string docs = sampleFolder() + "/home/anna/Documents/";
        ensureFolder(docs + "Letters/");
        ensureFolder(docs + "Accounts/");
        const std::pair<const char*, std::size_t> files[] = {
            {"Accounts/ledger-2026.ods", 184320},
            {"Accounts/receipts.pdf", 96000},
            {"Letters/landlord.odt", 23100},
            {"Letters/bank.odt", 18400},
            {"notes.txt", 2200},
            {"plan.ods", 240000},
        };
        const std::string archivePath = sampleFolder() + "/ANNA0001.LSP";
        // Stored paths as if the documents were in /home/anna.
        LSP_RELATIVEPATH((sampleFolder() + "/").c_str(), 1);
        for (const auto& [name, size] : files) {
            std::string data(size, ' ');
            for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
            std::ofstream(docs + name, std::ios::binary) << data;
            LSP_PACK((docs + name).c_str(), archivePath.c_str(), "", LSP_METHOD_SUPERIOR,
                     LSP_PF_STORE_PATHS | LSP_PF_BATCH);
        }
        LSP_RESETDLL();
        LSP_RELATIVEPATH("", 0);
        archive.Init();
        archive.ARCHIVE_NAME = archivePath;
        archive.ReadDirectory();
        for (LSPQEntry& e : archive.LSPQ) e.MARK = 1;
        settings.write("DestinationMRU", "1", "/home/anna/Restored");
        settings.write("DestinationMRU", "2", "/tmp");
    }
};

Sample& sample() {
    static Sample s;
    return s;
}

QUILLET_SHOT("test-backup") {
    Sample& s = sample();
    auto window = std::make_unique<TestWindow>(s.services, "Anna's Documents");
    window->show();
    window->open();
    while (window->testRun().timerRunning()) QApplication::processEvents();
    window->flush();
    return window;
}

QUILLET_SHOT("restore-files") {
    Sample& s = sample();
    s.archive.USE_PATH_INFO = 1;
    s.archive.CREATE_DIRECTORY = 1;
    s.archive.UNPACK_OVERWRITE_OPTION = 2;
    return std::make_unique<RestoreWindow>(s.services, "Anna's Documents");
}

}  // namespace
}  // namespace quillet::shots
