#include "lsp/ZipFormat.h"

#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <cerrno>

#include "lsp/ZipNames.h"

namespace lsp {

bool ZipEntry::isLink() const {
    return (unixMode() & S_IFMT) == S_IFLNK;
}

std::string itemKey(std::string_view path, std::string_view name) {
    std::string key;
    key.reserve(path.size() + name.size() + 1);
    key.append(path);
    key.push_back('\0');  // names never hold NUL, so the key is unambiguous
    key.append(name);
    return key;
}

namespace {

// Calls f(id, data, size) for every well-formed field of an extra block.
template <class F>
void forEachExtra(std::string_view extra, F f) {
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        auto p = reinterpret_cast<const unsigned char*>(extra.data()) + pos;
        const std::uint16_t id = get16(p);
        const std::uint16_t size = get16(p + 2);
        if (pos + 4 + size > extra.size()) return;
        f(id, p + 4, size);
        pos += 4u + size;
    }
}

}  // namespace

bool deriveItem(ZipEntry& e) {
    if (e.zipName.find('\0') != std::string::npos) return false;
    std::string unicodePath;
    forEachExtra(e.extra, [&](std::uint16_t id, const unsigned char* d, std::uint16_t size) {
        if (id == kExtraOwn && size >= 16 && d[0] == 1) {
            e.hasOwn = true;
            e.ownMethod = d[1];
            e.ownEngine = d[2];
            e.ownFlags = d[3];
            e.mtimeSeconds = static_cast<std::int64_t>(get64(d + 4));
            e.mtimeNanos = get32(d + 12) % 1000000000u;
            e.hasTime = true;
            if (size >= kOwnSourceSize && d[48] != 0) {
                e.hasSource = true;
                e.ctimeSeconds = static_cast<std::int64_t>(get64(d + 16));
                e.ctimeNanos = get32(d + 24);
                e.inode = get64(d + 28);
                e.device = get64(d + 36);
                e.storedCheck = get32(d + 44);
                e.askedMethod = d[48];
            }
        } else if (id == kExtraTime && size >= 5 && (d[0] & 1) && !e.hasOwn) {
            e.mtimeSeconds = static_cast<std::int32_t>(get32(d + 1));
            e.mtimeNanos = 0;
            e.hasTime = true;
        } else if (id == kExtraUnicodePath && size >= 5 && d[0] == 1 &&
                   get32(d + 1) == static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.zipName.data()),
                                                                    static_cast<uInt>(e.zipName.size())))) {
            const std::string_view name(reinterpret_cast<const char*>(d + 5), size - 5u);
            if (name.find('\0') == std::string_view::npos && validUtf8NonAscii(name)) unicodePath = name;
        }
    });
    const std::string name = entryName(e.zipName, e.flags, e.madeBy, e.hasOwn, unicodePath);
    if (!name.empty() && name.back() == '/') {
        e.isFolder = true;
        return true;
    }
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    e.itemName = slash == std::string::npos ? name : name.substr(slash + 1);
    e.itemPath = (e.hasOwn && (e.ownFlags & kOwnAbsolutePath)) ? "/" + folder : folder;
    e.tooLong = e.itemName.size() > kMaxItemText || e.itemPath.size() > kMaxItemText;
    return true;
}

std::string timeExtra(std::int64_t mtime) {
    if (mtime < INT32_MIN || mtime > INT32_MAX) return {};
    std::string s;
    add16(s, kExtraTime);
    add16(s, 5);
    s.push_back(1);
    add32(s, static_cast<std::uint32_t>(static_cast<std::int32_t>(mtime)));
    return s;
}

std::string ownExtra(std::uint8_t method, std::uint8_t engine, std::uint8_t flags, std::int64_t seconds,
                     std::uint32_t nanos) {
    std::string s;
    add16(s, kExtraOwn);
    add16(s, 16);
    s.push_back(1);
    s.push_back(static_cast<char>(method));
    s.push_back(static_cast<char>(engine));
    s.push_back(static_cast<char>(flags));
    add64(s, static_cast<std::uint64_t>(seconds));
    add32(s, nanos);
    return s;
}

std::string ownSourceExtra(const ZipEntry& e, std::uint8_t askedMethod, std::int64_t ctimeSeconds,
                           std::uint32_t ctimeNanos, std::uint64_t inode, std::uint64_t device, std::uint32_t check) {
    std::string s = ownExtra(e.ownMethod, e.ownEngine, e.ownFlags, e.mtimeSeconds, e.mtimeNanos);
    put16(reinterpret_cast<unsigned char*>(s.data()) + 2, static_cast<std::uint16_t>(kOwnSourceSize));
    add64(s, static_cast<std::uint64_t>(ctimeSeconds));
    add32(s, ctimeNanos);
    add64(s, inode);
    add64(s, device);
    add32(s, check);
    s.push_back(static_cast<char>(askedMethod));
    return s;
}

std::uint32_t checkStart(std::string_view localExtra) {
    const std::string extra = withoutExtra(localExtra, kExtraZip64);
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(extra.data()), static_cast<uInt>(extra.size())));
}

std::uint32_t checkEnd(std::uint32_t check, const ZipEntry& e) {
    unsigned char tail[20];
    put32(tail, e.crc);
    put64(tail + 4, e.unpackedSize);
    put64(tail + 12, e.packedSize);
    return static_cast<std::uint32_t>(crc32(check, tail, sizeof tail));
}

std::string withoutExtra(std::string_view extra, std::uint16_t id) {
    std::string out;
    forEachExtra(extra, [&](std::uint16_t fid, const unsigned char* d, std::uint16_t size) {
        if (fid == id) return;
        add16(out, fid);
        add16(out, size);
        out.append(reinterpret_cast<const char*>(d), size);
    });
    return out;
}

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace lsp
