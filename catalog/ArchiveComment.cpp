#include "catalog/ArchiveComment.h"

#include <fstream>

#include "catalog/ArchiveCommentRecord.h"
#include "lsp/lsp.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

std::string folderWithSlash(const std::string& folder) {
    std::string f = folder;
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

constexpr std::uint32_t CommentPackFlags = LSP_PF_UPDATE | LSP_PF_ABSOLUTE_PATHS | LSP_PF_BATCH;  // 44
constexpr std::uint32_t CommentUnpackFlags = LSP_UF_QUIET | LSP_UF_ALWAYS_OVERWRITE;              // 33
// An edited comment replaces the item in a finished archive, completed by the call itself.
constexpr std::uint32_t CommentReplaceFlags = LSP_PF_UPDATE;  // 4

}  // namespace

std::int16_t WriteArchiveComment(lspclass& archive, const std::string& programFolder, const std::string& notes,
                                 const Clock& clock) {
    const std::string folder = folderWithSlash(programFolder);
    const std::string path = folder + std::string(archive_comment::FileName);
    ensureFolder(folder);

    ArchiveCommentRecord record;
    const DateTime now = clock.now();
    record.DATECREATED = now.date;
    record.TIMECREATED = now.time;
    record.NOTES = trimRight(notes);
    if (Status written = writeArchiveCommentFile(path, record); !written) {
        archive.dialogs().message(written.error(), "Error", Icon::Exclamation);
        return LSP_E_OPEN_SOURCE;
    }

    // The comment replaces an item of the archive: not while a backup runs in its folder
    // (the run's own comment item nests in the run's lock).
    const std::string archiveFolder = folderOfFile(std::string(trimRight(archive.ARCHIVE_NAME)));
    const FolderLock lock(archiveFolder, "");
    if (lock.state() == FolderLock::State::Busy) {
        archive.dialogs().message(folderInUseText(archiveFolder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
        return LSP_E_OPEN_TEMP;
    }
    const std::int16_t status = LSP_PACK(path.c_str(), archive.ARCHIVE_NAME.c_str(), archive.TEMP_PATH.c_str(),
                                         LSP_METHOD_SUPERIOR, CommentPackFlags);
    // 0x0020 leaves the archive open for more; the comment is the last item it gets.
    LSP_RESETDLL();
    return status;
}

namespace {

// Extracts the archive's comment item as the working copy in folder (which ends with '/'),
// after deleting any copy left from another archive; a failed extraction leaves none.
// Returns the unpack status.
std::int16_t extractWorkingCopy(lspclass& archive, const std::string& folder) {
    archive.ITEM_NAME = std::string(archive_comment::FileName);
    archive.PATH_INFO.clear();
    const std::string path = folder + archive.ITEM_NAME;
    const FileSystem files;
    ensureFolder(folder);
    // A copy left from another archive must never pass for this one's comment.
    files.removeFile(path);

    std::int16_t status;
    {
        WaitCursor wait(archive.dialogs());
        status = LSP_UNPACK(archive.ITEM_NAME.c_str(), archive.PATH_INFO.c_str(), archive.ARCHIVE_NAME.c_str(),
                            folder.c_str(), CommentUnpackFlags);
    }
    if (status != LSP_OK) files.removeFile(path);
    return status;
}

}  // namespace

std::string ReadArchiveComment(lspclass& archive, const std::string& programFolder) {
    const std::string folder = folderWithSlash(programFolder);
    std::string text = CommentHeading;
    if (extractWorkingCopy(archive, folder) != LSP_OK) return text;

    const std::string path = folder + archive.ITEM_NAME;
    if (!std::ifstream(path, std::ios::binary)) {
        archive.dialogs().message("Cannot open the comment file " + path, "Error", Icon::Exclamation);
    } else if (Result<ArchiveCommentRecord> record = readArchiveCommentFile(path)) {
        text += record->NOTES;
    }
    FileSystem().removeFile(path);
    return text;
}

ArchiveCommentRecord ReadArchiveCommentRecord(lspclass& archive, const std::string& programFolder) {
    const std::string folder = folderWithSlash(programFolder);
    ArchiveCommentRecord record;
    if (extractWorkingCopy(archive, folder) != LSP_OK) return record;
    const std::string path = folder + archive.ITEM_NAME;
    if (Result<ArchiveCommentRecord> read = readArchiveCommentFile(path)) record = *read;
    FileSystem().removeFile(path);
    return record;
}

std::int16_t ReplaceArchiveComment(lspclass& archive, const std::string& programFolder,
                                   const ArchiveCommentRecord& record) {
    const std::string archivePath(trimRight(archive.ARCHIVE_NAME));
    const FileSystem files;
    // Packing into a missing archive would make a new one holding nothing but the comment.
    if (!files.fileExists(archivePath)) {
        archive.dialogs().message(lspclass::ErrorText(LSP_E_OPEN_ARCHIVE) + "|" + archivePath, "Error",
                                  Icon::Exclamation);
        return LSP_E_OPEN_ARCHIVE;
    }
    const std::string archiveFolder = folderOfFile(archivePath);
    const FolderLock lock(archiveFolder, "");
    if (lock.state() == FolderLock::State::Busy) {
        archive.dialogs().message(folderInUseText(archiveFolder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
        return LSP_E_OPEN_TEMP;
    }

    const std::string folder = folderWithSlash(programFolder);
    const std::string path = folder + std::string(archive_comment::FileName);
    ensureFolder(folder);
    if (Status written = writeArchiveCommentFile(path, record); !written) {
        archive.dialogs().message(written.error(), "Error", Icon::Exclamation);
        return LSP_E_OPEN_SOURCE;
    }
    std::int16_t status;
    {
        WaitCursor wait(archive.dialogs());
        status = LSP_PACK(path.c_str(), archive.ARCHIVE_NAME.c_str(), archive.TEMP_PATH.c_str(), LSP_METHOD_SUPERIOR,
                          CommentReplaceFlags);
    }
    files.removeFile(path);
    if (status != LSP_OK) archive.dialogs().message(lspclass::ErrorText(status), "Error", Icon::Exclamation);
    return status;
}

}  // namespace quillet
