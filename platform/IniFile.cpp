#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <string_view>
#include <vector>

#include "platform/AtomicWrite.h"
#include "platform/CrashPoint.h"

namespace quillet {

namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One line of the file as the profile rules see it.
struct Line {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // entry value, trimmed
};

Line classify(std::string_view raw) {
    const std::string_view text = trimmed(raw);
    Line line;
    if (text.empty() || text.front() == ';' || text.front() == '#') return line;
    if (text.front() == '[') {
        line.kind = Line::Section;
        const auto close = text.find(']');
        line.name = trimmed(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return line;
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) return line;
    line.kind = Line::Entry;
    line.name = trimmed(text.substr(0, eq));
    line.value = trimmed(text.substr(eq + 1));
    return line;
}

// A settings file is small text; anything larger is not one and is never read whole.
constexpr off_t MaxIniFileBytes = 1 << 20;

// Whole file, or nothing when it is missing or unreadable (reads then give their defaults).
// A FIFO, device or folder in its place (EINVAL) or a file over 1 MB (EFBIG) is not read:
// opening without blocking and checking the type first keeps a pipe from hanging the
// program and /dev/zero from filling its memory.
bool loadFile(const std::string& path, std::string& content, int& err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    struct stat st {};
    err = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : st.st_size > MaxIniFileBytes ? EFBIG : 0;
    char buffer[16384];
    ssize_t n = 0;
    while (err == 0 && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno != EINTR) err = errno;
            continue;
        }
        content.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(content.size()) > MaxIniFileBytes) err = EFBIG;  // grew while read
    }
    ::close(fd);
    if (err != 0) content.clear();
    return err == 0;
}

std::string loadErrorText(const std::string& path, int err) {
    if (err == EINVAL)
        return "The settings file " + path + " is not a regular file; it is left alone and the defaults are used";
    if (err == EFBIG)
        return "The settings file " + path + " is larger than 1 MB; it is left alone and the defaults are used";
    return systemErrorText("Cannot read the file", path, err);
}

std::vector<std::string_view> splitLines(std::string_view content) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string IniFile::read(const std::string& section, const std::string& key, const std::string& defaultValue) const {
    std::string content;
    int err = 0;
    if (!loadFile(path_, content, err)) return defaultValue;
    bool inSection = false, seenSection = false;
    for (const std::string_view raw : splitLines(content)) {
        const Line line = classify(raw);
        if (line.kind == Line::Section) {
            // Only the first section of a name counts, as with the classic profile functions.
            if (seenSection) break;
            inSection = sameName(line.name, trimmed(section));
            seenSection = inSection;
        } else if (inSection && line.kind == Line::Entry && sameName(line.name, trimmed(key))) {
            std::string_view value = line.value;
            // A value written in matching quotes is read without them.
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
    }
    return defaultValue;
}

bool IniFile::write(const std::string& section, const std::string& key, const std::string& value) {
    return rewrite(section, &key, &value);
}

bool IniFile::remove(const std::string& section, const std::string& key) {
    return rewrite(section, &key, nullptr);
}

bool IniFile::removeSection(const std::string& section) {
    return rewrite(section, nullptr, nullptr);
}

// key == nullptr removes the section; value == nullptr removes the key.
bool IniFile::rewrite(const std::string& sectionName, const std::string* keyName, const std::string* value) {
    const std::string_view section = trimmed(sectionName);
    const std::string_view key = keyName ? trimmed(*keyName) : std::string_view{};
    // Names and values that would change the meaning of other lines are refused.
    if (section.empty() || section.find(']') != std::string_view::npos || hasLineBreak(section)) {
        lastError_ = "Invalid section name \"" + sectionName + "\" for " + path_;
        return false;
    }
    if (keyName && (key.empty() || key.find('=') != std::string_view::npos || hasLineBreak(key) || key.front() == '[' ||
                    key.front() == ';' || key.front() == '#')) {
        lastError_ = "Invalid key name \"" + *keyName + "\" for " + path_;
        return false;
    }
    if (value && hasLineBreak(*value)) {
        lastError_ = "A setting value cannot contain a line break (key " + *keyName + " in " + path_ + ")";
        return false;
    }

    std::string content;
    int err = 0;
    if (!loadFile(path_, content, err) && err != ENOENT) {
        lastError_ = loadErrorText(path_, err);
        return false;
    }
    const std::vector<std::string_view> lines = splitLines(content);
    // A file written elsewhere may end its lines with CR LF; new lines follow suit.
    const std::string_view eol =
        (!lines.empty() && !lines.front().empty() && lines.front().back() == '\r') ? "\r\n" : "\n";

    const std::string entry = value ? std::string(key) + "=" + *value : std::string();
    std::string out;
    out.reserve(content.size() + entry.size() + section.size() + 8);
    enum { Before, Inside, After } state = Before;
    bool done = false;
    std::size_t lastEntryEnd = std::string::npos;  // where a new key goes inside the section
    bool changed = false;

    for (const std::string_view raw : lines) {
        const Line line = classify(raw);
        if (line.kind == Line::Section) {
            if (state == Inside) state = After;
            if (state == Before && sameName(line.name, section)) {
                state = Inside;
                if (!keyName) {
                    changed = true;
                    continue;  // the whole section goes
                }
                out.append(raw).append("\n");
                lastEntryEnd = out.size();
                continue;
            }
        } else if (state == Inside) {
            if (!keyName) continue;
            if (!done && line.kind == Line::Entry && sameName(line.name, key)) {
                done = true;
                changed = true;
                if (value) {
                    out.append(entry);
                    if (!raw.empty() && raw.back() == '\r') out.push_back('\r');
                    out.append("\n");
                    lastEntryEnd = out.size();
                }
                continue;
            }
            out.append(raw).append("\n");
            if (!trimmed(raw).empty()) lastEntryEnd = out.size();
            continue;
        }
        out.append(raw).append("\n");
    }

    if (value && !done) {
        changed = true;
        if (lastEntryEnd != std::string::npos) {
            out.insert(lastEntryEnd, entry + std::string(eol));
        } else {
            if (!out.empty() && !trimmed(lines.back()).empty()) out.append(eol);
            out.append("[").append(section).append("]").append(eol).append(entry).append(eol);
        }
    }
    if (!changed) return true;

    // A write cut short by a kill leaves its temporary copy: the first write of a file in
    // this process clears what dead writers left.
    static std::set<std::string> cleared;
    if (cleared.insert(path_).second) removeLeftoverTemporaries(path_);
    crashPoint(CrashPoint::SettingsWriting);
    if (Status s = writeFileAtomically(path_, out); !s) {
        lastError_ = s.error();
        return false;
    }
    lastError_.clear();
    return true;
}

}  // namespace quillet
