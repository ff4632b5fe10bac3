#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet {

// One command-line token: a flag name and, when an equals sign follows it, a value.
struct CommandToken {
    std::string flag;
    std::optional<std::string> value;  // nothing when written without "="
};

// Splits the program's arguments into tokens. Each argument is one or more tokens: it is
// split further at commas outside double quotes; a value in double quotes loses them
// ("-P=\"My Project\"" gives the value My Project).
std::vector<CommandToken> tokenizeArguments(const std::vector<std::string>& arguments);

// What the command line asks for. Flags are matched without regard to case.
struct CommandLine {
    std::string projectName;  // "-P": upper-cased, at most 20 characters; empty = none
    bool minimize = false;    // "MINIMIZE" equal to TRUE (any case)
    bool help = false;        // --help
    bool version = false;     // --version
    bool console = false;     // --console: unattended runs without windows
    std::vector<std::string> unknown;  // tokens that are none of the above

    bool unattended() const { return !projectName.empty(); }
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// Whether an argument is written as the flags are: a recognised flag ("minimize"), or a
// token with a dash in front ("-x") or a value ("X=1"), or several tokens ("a,b").
bool looksLikeFlagToken(const std::string& argument);

// Upper-cases ASCII letters and keeps the first maxChars characters (UTF-8 aware, never
// cutting a character in two).
std::string upperAndCut(const std::string& text, std::size_t maxChars);

}  // namespace quillet
