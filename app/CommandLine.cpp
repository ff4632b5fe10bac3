#include "app/CommandLine.h"

#include "platform/Utf8Text.h"

namespace quillet {

namespace {

std::string stripQuotes(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '"') out += c;
    return out;
}

CommandToken makeToken(const std::string& raw) {
    CommandToken t;
    const auto eq = raw.find('=');
    if (eq == std::string::npos) {
        t.flag = stripQuotes(raw);
    } else {
        t.flag = stripQuotes(raw.substr(0, eq));
        t.value = stripQuotes(raw.substr(eq + 1));
    }
    return t;
}

}  // namespace

std::vector<CommandToken> tokenizeArguments(const std::vector<std::string>& arguments) {
    std::vector<CommandToken> tokens;
    for (const std::string& arg : arguments) {
        std::string piece;
        bool quoted = false;
        auto flush = [&] {
            // Blanks around a comma-separated token are separators too.
            const auto first = piece.find_first_not_of(" \t");
            if (first != std::string::npos) {
                const auto last = piece.find_last_not_of(" \t");
                tokens.push_back(makeToken(piece.substr(first, last - first + 1)));
            }
            piece.clear();
        };
        for (char c : arg) {
            if (c == '"') quoted = !quoted;
            if (c == ',' && !quoted) {
                flush();
                continue;
            }
            piece += c;
        }
        flush();
    }
    return tokens;
}

std::string upperAndCut(const std::string& text, std::size_t maxChars) {
    std::string up = upperCased(text);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < up.size(); ++i) {
        // A UTF-8 continuation byte belongs to the character before it.
        if ((static_cast<unsigned char>(up[i]) & 0xC0) == 0x80) continue;
        if (chars == maxChars) return up.substr(0, i);
        ++chars;
    }
    return up;
}

bool looksLikeFlagToken(const std::string& argument) {
    const auto tokens = tokenizeArguments({argument});
    if (tokens.size() != 1) return true;
    const CommandToken& t = tokens.front();
    return t.value || t.flag.empty() || t.flag.front() == '-' || parseCommandLine({argument}).unknown.empty();
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine cl;
    for (const CommandToken& t : tokenizeArguments(arguments)) {
        const std::string flag = upperCased(t.flag);
        if (flag == "-P") {
            cl.projectName = upperAndCut(t.value.value_or(""), 20);
            // A name of blanks only names no project.
            if (cl.projectName.find_first_not_of(' ') == std::string::npos) cl.projectName.clear();
        } else if (flag == "MINIMIZE") {
            cl.minimize = t.value && upperCased(*t.value) == "TRUE";
        } else if (flag == "--HELP" || flag == "-H" || flag == "-?") {
            cl.help = true;
        } else if (flag == "--VERSION") {
            cl.version = true;
        } else if (flag == "--CONSOLE") {
            cl.console = true;
        } else {
            cl.unknown.push_back(t.value ? t.flag + "=" + *t.value : t.flag);
        }
    }
    return cl;
}

}  // namespace quillet
