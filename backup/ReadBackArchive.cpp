#include "backup/ReadBackArchive.h"

#include <memory>

#include "archive/lspclass.h"
#include "lsp/lsp.h"

namespace quillet {

ArchiveReadBack readBackArchive(const std::string& path) {
    // Listing completes the batch first; a failure to write the directory shows up here as
    // an archive that cannot be opened.
    char buffer1[256] = "", buffer2[256] = "";
    LSP_ITEM item{};
    auto text = std::make_unique<LSP_ITEM_TEXT>();  // items with long paths are counted too
    ArchiveReadBack found;
    std::int16_t status;
    while ((status = LSP_GETNEXTITEMEX(buffer1, buffer2, path.c_str(), &item, text.get())) == LSP_OK) {
        if (std::string(text->name) == ArchiveCommentItemName && text->path[0] == '\0')
            found.comment = true;
        else
            ++found.items;
    }
    LSP_RESETDLL();
    found.whole = status == LSP_END_OF_LIST;
    if (!found.whole) {
        found.why = lspclass::ErrorText(status);
        if (buffer1[0]) found.why += " (" + std::string(buffer1) + ")";
    }
    return found;
}

}  // namespace quillet
