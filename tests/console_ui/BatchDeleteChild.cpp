// Deletes every other item of an archive in one batch, as the console does; the batch
// delete test runs it with a crash point armed.
//   batch_delete_child ARCHIVE CONFIG_FOLDER
#include <cstdio>

#include "archive/lspclass.h"
#include "framework/ConsoleDialogs.h"

int main(int argc, char** argv) {
    using namespace quillet;
    if (argc < 3) return 2;
    ConsoleDialogs dialogs;
    lspclass archive(dialogs, argv[2]);
    archive.Init();
    archive.ARCHIVE_NAME = argv[1];
    archive.ReadDirectory();
    for (std::size_t i = 0; i < archive.LSPQ.size(); i += 2) archive.LSPQ[i].MARK = 1;
    const std::size_t before = archive.LSPQ.size();
    const std::size_t handed = archive.DeleteMarked();
    std::printf("%zu %zu %zu\n", before, handed, archive.LSPQ.size());
    return handed > 0 && archive.LSPQ.size() == before - handed ? 0 : 1;
}
