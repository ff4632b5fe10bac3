#include "platform/Wildcard.h"

#include <cstdint>

namespace quillet {

namespace {

// Decodes the UTF-8 character at s[i] and moves i past it; a stray byte stands for itself.
char32_t nextChar(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    const int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xDC00u + b0;  // keeps invalid bytes distinct from every real character
    }
    char32_t c = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xDC00u + b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return c;
}

char32_t folded(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1
    if (c >= 0x100 && c <= 0x137) return c | 1;              // Latin Extended-A pairs
    if (c >= 0x139 && c <= 0x148) return c + (c & 1);        // odd/even pairs
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return c + (c & 1);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool equalFolded(char32_t a, char32_t b) {
    return a == b || folded(a) == folded(b);
}

// Greedy match with a single back-tracking point at the last '*': linear for the usual
// masks, never exponential.
bool globMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            while (m < mask.size() && mask[m] == '*') ++m;
            if (m == mask.size()) return true;
            starMask = m;
            starName = n;
            continue;
        }
        if (m < mask.size()) {
            std::size_t nn = n, mm = m;
            const char32_t nc = nextChar(name, nn);
            if (mask[m] == '?') {
                n = nn;
                ++m;
                continue;
            }
            if (equalFolded(nc, nextChar(mask, mm))) {
                n = nn;
                m = mm;
                continue;
            }
        }
        if (starMask == std::string_view::npos) return false;
        // Let the last '*' take one more character and try again.
        nextChar(name, starName);
        n = starName;
        m = starMask;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

bool matchesEverything(std::string_view mask) {
    mask = trimmed(mask);
    return mask == "*" || mask == "*.*";
}

bool matchesMask(std::string_view name, std::string_view mask) {
    mask = trimmed(mask);
    if (mask.empty()) return false;
    if (matchesEverything(mask)) return true;
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") {
        // "stem.*" matches "stem" with no extension as well.
        if (globMatch(name, mask.substr(0, mask.size() - 2))) return true;
        return globMatch(name, mask);
    }
    if (mask.back() == '.' && (mask.size() < 2 || mask[mask.size() - 2] != '.')) {
        if (name.find('.') != std::string_view::npos) return false;
        return globMatch(name, mask.substr(0, mask.size() - 1));
    }
    return globMatch(name, mask);
}

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (!equalFolded(nextChar(a, i), nextChar(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace quillet
