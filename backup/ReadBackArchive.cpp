#include "backup/ReadBackArchive.h"

#include "archive/lspclass.h"
#include "lsp/Shared.h"
#include "lsp/ZipDirectory.h"
#include "lsp/lsp.h"

namespace quillet {

namespace {

// Counts the items of a directory as a listing with the item text hands them over, up to
// the first whose name or path it could not give whole. Nothing of the directory is kept.
class ItemCounter : public lsp::DirectorySink {
public:
    void begin(const lsp::DirectoryReading&) override {
        items = comments = 0;
        tooLong = false;
    }
    void add(lsp::ZipEntry&& e, std::string_view) override {
        if (e.isFolder || tooLong) return;
        if (e.itemName.size() > LSP_TEXT_MAX || e.itemPath.size() > LSP_TEXT_MAX) {
            tooLong = true;
            return;
        }
        if (e.itemPath.empty() && e.itemName == ArchiveCommentItemName)
            ++comments;
        else
            ++items;
    }

    std::int64_t items = 0, comments = 0;
    bool tooLong = false;
};

}  // namespace

ArchiveReadBack readBackArchive(const std::string& path) {
    // Completing the batch writes the directory; a failure to write it shows up here as an
    // archive that cannot be opened. The directory is then read through once, not kept as
    // a listing keeps it: beside the run's file list, that of 100,000 items would double
    // the run's memory.
    LSP_RESETDLL();
    ItemCounter counter;
    std::string why;
    const std::int16_t status = lsp::readArchiveDirectory(lsp::absolutePath(path), counter, why);
    ArchiveReadBack found;
    found.whole = status == LSP_OK && !counter.tooLong;
    found.comment = counter.comments > 0;
    found.items = counter.items;
    if (status != LSP_OK) {
        found.why = lspclass::ErrorText(status) + (why.empty() ? "" : " (" + why + ")");
    } else if (counter.tooLong) {
        found.why = lspclass::ErrorText(LSP_E_STRUCTURE) + " (Item name or path longer than 4095 bytes)";
    }
    return found;
}

}  // namespace quillet
