#include "catalog/ArchiveCommentRecord.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/AtomicWrite.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

void putLong(std::string& out, std::size_t offset, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::int32_t getLong(std::string_view in, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[offset + i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::string encodeArchiveComment(const ArchiveCommentRecord& record) {
    using namespace archive_comment;
    std::string out(RecordSize, '\0');
    putLong(out, 0, record.DATECREATED);
    putLong(out, 4, record.TIMECREATED);
    // ORIGINALSIZE and NUMBEROFFILES (bytes 8 to 15) stay 0.
    const std::string_view notes = trimRight(utf8CutBytes(record.NOTES, NotesWidth));
    std::string field(notes);
    field.resize(NotesWidth, ' ');
    out.replace(NotesOffset, NotesWidth, field);
    return out;
}

Result<ArchiveCommentRecord> decodeArchiveComment(std::string_view bytes) {
    using namespace archive_comment;
    if (bytes.size() < RecordSize)
        return Result<ArchiveCommentRecord>::failure("The comment record is " + std::to_string(bytes.size()) +
                                                     " bytes long; it must hold " + std::to_string(RecordSize) +
                                                     " bytes.");
    ArchiveCommentRecord record;
    record.DATECREATED = getLong(bytes, 0);
    record.TIMECREATED = getLong(bytes, 4);
    std::string_view notes = bytes.substr(NotesOffset, NotesWidth);
    // Padding is spaces; a writer that padded with zero bytes is read the same way.
    std::size_t end = notes.size();
    while (end > 0 && (notes[end - 1] == ' ' || notes[end - 1] == '\0')) --end;
    notes = notes.substr(0, end);
    record.NOTES = isValidUtf8(notes) ? std::string(notes) : latin1ToUtf8(notes);
    return record;
}

Status writeArchiveCommentFile(const std::string& path, const ArchiveCommentRecord& record) {
    return writeFileAtomically(path, encodeArchiveComment(record));
}

Result<ArchiveCommentRecord> readArchiveCommentFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Result<ArchiveCommentRecord>::failure(systemErrorText("Cannot open the comment file", path, errno));
    std::string bytes(archive_comment::RecordSize, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return decodeArchiveComment(bytes);
}

}  // namespace quillet
