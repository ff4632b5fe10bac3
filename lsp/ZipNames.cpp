#include "lsp/ZipNames.h"

#include <cstdint>

#include "lsp/ZipFormat.h"
#include "platform/Utf8Text.h"

namespace lsp {

namespace {

// Code page 437, bytes 0x80 to 0xff.
constexpr std::uint16_t kCp437High[128] = {
    0x00c7, 0x00fc, 0x00e9, 0x00e2, 0x00e4, 0x00e0, 0x00e5, 0x00e7, 0x00ea, 0x00eb, 0x00e8, 0x00ef, 0x00ee,
    0x00ec, 0x00c4, 0x00c5, 0x00c9, 0x00e6, 0x00c6, 0x00f4, 0x00f6, 0x00f2, 0x00fb, 0x00f9, 0x00ff, 0x00d6,
    0x00dc, 0x00a2, 0x00a3, 0x00a5, 0x20a7, 0x0192, 0x00e1, 0x00ed, 0x00f3, 0x00fa, 0x00f1, 0x00d1, 0x00aa,
    0x00ba, 0x00bf, 0x2310, 0x00ac, 0x00bd, 0x00bc, 0x00a1, 0x00ab, 0x00bb, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255d, 0x255c, 0x255b, 0x2510, 0x2514,
    0x2534, 0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f, 0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256c, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256b, 0x256a, 0x2518, 0x250c,
    0x2588, 0x2584, 0x258c, 0x2590, 0x2580, 0x03b1, 0x00df, 0x0393, 0x03c0, 0x03a3, 0x03c3, 0x00b5, 0x03c4,
    0x03a6, 0x0398, 0x03a9, 0x03b4, 0x221e, 0x03c6, 0x03b5, 0x2229, 0x2261, 0x00b1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00f7, 0x2248, 0x00b0, 0x2219, 0x00b7, 0x221a, 0x207f, 0x00b2, 0x25a0, 0x00a0,
};

constexpr std::uint16_t kHostUnix = 3;
constexpr std::uint16_t kHostMac = 19;

bool ascii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

bool validUtf8NonAscii(std::string_view s) {
    return !ascii(s) && quillet::isValidUtf8(s);
}

std::string cp437ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
            continue;
        }
        const std::uint16_t u = kCp437High[c - 0x80];
        if (u < 0x800) {
            out.push_back(static_cast<char>(0xc0 | (u >> 6)));
        } else {
            out.push_back(static_cast<char>(0xe0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3f)));
        }
        out.push_back(static_cast<char>(0x80 | (u & 0x3f)));
    }
    return out;
}

std::string entryName(std::string_view stored, std::uint16_t flags, std::uint16_t madeBy, bool ownExtra,
                      std::string_view unicodePath) {
    if ((flags & kFlagUtf8) || ownExtra) return std::string(stored);
    if (!unicodePath.empty()) return std::string(unicodePath);
    if (ascii(stored)) return std::string(stored);
    const std::uint16_t host = madeBy >> 8;
    if ((host == kHostUnix || host == kHostMac) && validUtf8NonAscii(stored)) return std::string(stored);
    return cp437ToUtf8(stored);
}

}  // namespace lsp
