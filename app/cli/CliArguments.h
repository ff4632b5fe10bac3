#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quillet::cli {

// One option of a subcommand: "--dest DIR" takes a value, "--recurse" does not.
struct OptionSpec {
    std::string name;  // with its dashes: "--dest"
    bool takesValue = false;
};

// The arguments of one subcommand after its words ("project add").
struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // options with a value
    std::set<std::string> flags;                // options without one
    bool help = false;                          // --help or -h anywhere

    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::optional<std::string> value(const std::string& option) const;
};

// Reads "--name value" and "--name=value", flags, "--help"/"-h", and positional
// arguments; "--" makes every later argument positional (for names that begin with
// "-"). A failure names the problem: an unknown option, a missing value, a value given
// to a flag, an option given twice.
Result<ParsedArguments> parseArguments(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs);

// A whole number from first to last, nothing else; nothing when the text is not one.
std::optional<long long> parseWholeNumber(const std::string& text, long long first, long long last);

}  // namespace quillet::cli
