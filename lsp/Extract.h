#pragma once

// Writing one archive item below a destination folder, never outside it.

#include <cstdint>
#include <string>

#include "lsp/Shared.h"
#include "lsp/ZipDirectory.h"

namespace lsp {

struct ExtractOptions {
    bool usePaths = false;       // below the destination at the item's stored path
    bool createFolders = false;  // create missing folders (the destination included)
    bool neverOverwrite = false;
    bool alwaysOverwrite = false;
    bool quiet = false;  // an existing file is then not overwritten
};

// Extracts item e of archive a into destination. Folders from the archive are entered
// without following links; the file is written under a new name when it replaces one and
// renamed into place only after its CRC-32 checked out, so a failed or stopped extraction
// leaves what was there.
std::int16_t extractEntry(const OpenArchive& a, const ZipEntry& e, const std::string& destination,
                          const ExtractOptions& options, const LSP_HOST& host, Progress& progress);

}  // namespace lsp
