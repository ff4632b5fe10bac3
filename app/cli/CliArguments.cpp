#include "app/cli/CliArguments.h"

#include <cerrno>
#include <cstdlib>

namespace quillet::cli {

std::optional<std::string> ParsedArguments::value(const std::string& option) const {
    const auto it = values.find(option);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

Result<ParsedArguments> parseArguments(const std::vector<std::string>& arguments,
                                       const std::vector<OptionSpec>& specs) {
    using R = Result<ParsedArguments>;
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        const auto eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : specs)
            if (s.name == name) option = &s;
        if (!option) return R::failure("unknown option " + name);
        if (parsed.values.count(name) || parsed.flags.count(name)) return R::failure(name + " is given twice");
        if (!option->takesValue) {
            if (eq != std::string::npos) return R::failure(name + " takes no value");
            parsed.flags.insert(name);
            continue;
        }
        if (eq != std::string::npos) {
            parsed.values[name] = arg.substr(eq + 1);
        } else if (i + 1 < arguments.size()) {
            parsed.values[name] = arguments[++i];
        } else {
            return R::failure(name + " needs a value");
        }
    }
    return parsed;
}

std::optional<long long> parseWholeNumber(const std::string& text, long long first, long long last) {
    if (text.empty()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] >= '0' && text[i] <= '9') && !(i == 0 && text[i] == '-')) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < first || n > last) return std::nullopt;
    return n;
}

}  // namespace quillet::cli
