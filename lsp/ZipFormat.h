#pragma once

// ZIP structures as this library writes and reads them: field helpers, the parsed form
// of one directory entry, extra fields and the item name/path of an entry.

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace lsp {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
constexpr std::uint32_t kDescriptorSig = 0x08074b50;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;

constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraTime = 0x5455;  // extended timestamp, read by unzip
constexpr std::uint16_t kExtraOwn = 0x4c51;   // ours: method, engine, flags, exact time
// Other tools': the UTF-8 name beside a name stored in another code page.
constexpr std::uint16_t kExtraUnicodePath = 0x7075;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;

constexpr std::uint16_t kMadeByUnix = 0x033f;  // Unix, format 6.3

// Flags of our own extra field.
constexpr std::uint8_t kOwnAbsolutePath = 0x01;
constexpr std::uint8_t kOwnRetainMode = 0x02;
constexpr std::uint8_t kOwnLink = 0x04;

// Our extra field is 16 bytes long in every version; a longer one, written in the central
// directory only, also records the file an item was packed from (change time, inode,
// device; size and modification time are the entry's own) and a check value over the
// item as stored, so that a later backup can copy an unchanged item without reading the
// file. Readers of the 16-byte field pass over the tail.
constexpr std::size_t kOwnSourceSize = 49;

constexpr std::size_t kMaxItemText = 255;  // name or path in the item record

inline std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t get64(const unsigned char* p) {
    return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}
inline void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void put64(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Appends little-endian fields to a byte string.
inline void add16(std::string& s, std::uint16_t v) {
    unsigned char b[2];
    put16(b, v);
    s.append(reinterpret_cast<char*>(b), 2);
}
inline void add32(std::string& s, std::uint32_t v) {
    unsigned char b[4];
    put32(b, v);
    s.append(reinterpret_cast<char*>(b), 4);
}
inline void add64(std::string& s, std::uint64_t v) {
    unsigned char b[8];
    put64(b, v);
    s.append(reinterpret_cast<char*>(b), 8);
}

// One entry of the central directory, with what this library derives from it.
struct ZipEntry {
    std::string zipName;  // as stored (no NUL inside)
    std::string itemName;
    std::string itemPath;  // with trailing "/", or empty
    std::string extra;     // central extra fields without the zip64 field
    std::string comment;
    std::uint16_t madeBy = kMadeByUnix;
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;  // ZIP method: 0 stored, 8 deflate
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t unpackedSize = 0;
    std::uint64_t localOffset = 0;
    std::uint16_t internalAttr = 0;
    std::uint32_t externalAttr = 0;

    // Derived while reading.
    bool isFolder = false;  // name ends with "/": not an item
    bool tooLong = false;   // name or path does not fit the item record
    bool hasOwn = false;    // our extra field present
    std::uint8_t ownMethod = 0;
    std::uint8_t ownEngine = 0;  // 0 standard, 1 fast, 2 maximum
    std::uint8_t ownFlags = 0;
    bool hasTime = false;  // exact or extended time known
    std::int64_t mtimeSeconds = 0;
    std::uint32_t mtimeNanos = 0;
    // The file the item was packed from (the long form of our field).
    bool hasSource = false;
    std::uint8_t askedMethod = 0;  // 1, 2 or 9 as asked (ownMethod says 9 for data that did not shrink)
    std::int64_t ctimeSeconds = 0;
    std::uint32_t ctimeNanos = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    std::uint32_t storedCheck = 0;  // see sourceCheck

    std::uint32_t unixMode() const { return (madeBy >> 8) == 3 ? externalAttr >> 16 : 0; }
    bool isLink() const;
};

// The key under which an item is found: its path and name as listed.
std::string itemKey(std::string_view path, std::string_view name);

// Reads the extra fields we know and splits the entry's name, in UTF-8 (see entryName in
// ZipNames.h), into item name and path. Returns false when the name is unusable (contains NUL).
bool deriveItem(ZipEntry& e);

// Builds the extra fields this library writes.
std::string timeExtra(std::int64_t mtime);  // extended timestamp, modification time only
std::string ownExtra(std::uint8_t method, std::uint8_t engine, std::uint8_t flags, std::int64_t seconds,
                     std::uint32_t nanos);
// The long form of our field for an item packed from a file with this change time, inode
// and device, with the check value of the item as stored.
std::string ownSourceExtra(const ZipEntry& e, std::uint8_t askedMethod, std::int64_t ctimeSeconds,
                           std::uint32_t ctimeNanos, std::uint64_t inode, std::uint64_t device, std::uint32_t check);
// The check value of an item as stored: a CRC-32 over its local extra fields (without the
// zip64 field), its packed bytes, and its CRC and sizes as the directory records them, so
// that a damaged header, data or directory entry all show. Fed in that order: start with
// checkStart(localExtra), add the packed bytes with crc32, end with checkEnd.
std::uint32_t checkStart(std::string_view localExtra);
std::uint32_t checkEnd(std::uint32_t check, const ZipEntry& e);
// Removes the fields with the given id from an extra block (malformed tails are dropped).
std::string withoutExtra(std::string_view extra, std::uint16_t id);

// Reads exactly size bytes at offset, retrying interrupted and short reads; false at
// the end of the file or on an error (errno tells which).
bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

}  // namespace lsp
