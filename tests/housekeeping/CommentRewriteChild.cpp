// Stores a comment into an archive as the comment editor's OK does, in a process of its own
// so that a test can kill it at a crash point:
//   housekeeping_comment_child ARCHIVE PROGRAM_FOLDER NOTES
#include <cstdio>

#include "archive/lspclass.h"
#include "catalog/ArchiveComment.h"
#include "framework/ConsoleDialogs.h"

int main(int argc, char** argv) {
    using namespace quillet;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ARCHIVE PROGRAM_FOLDER NOTES\n", argv[0]);
        return 2;
    }
    ConsoleDialogs dialogs;
    lspclass archive(dialogs, argv[2]);
    archive.ARCHIVE_NAME = argv[1];
    ArchiveCommentRecord record = ReadArchiveCommentRecord(archive, argv[2]);
    record.NOTES = argv[3];
    return ReplaceArchiveComment(archive, argv[2], record) == 0 ? 0 : 1;
}
