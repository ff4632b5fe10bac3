#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {
struct ProjectRunStatus;
}

namespace quillet::cli {

// Exit statuses of the subcommands.
enum Exit : int {
    Success = 0,
    Failed = 1,  // the operation was tried and failed
    Usage = 2,   // the command line was wrong, or it names a project that does not exist
};

// True when the program's first argument names a subcommand ("project", "backup",
// "help", ...); the program then hands all its arguments to runSubcommand.
bool isSubcommand(std::string_view firstArgument);

// The command word a first argument was likely meant to be: one that names no command,
// is written as no flag token, and lies within two letters of a command word ("bakup":
// "backup", "Project": "project"). Nothing for anything else, which keeps the rule for
// unknown tokens.
std::optional<std::string> mistypedCommand(const std::string& firstArgument);

// Runs one subcommand: parses its arguments, calls the engine, prints the result to out
// (plain text, one record per line, tab-separated tables) and every problem to err.
// Nothing prompts. Returns the exit status.
int runSubcommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
// The same on the standard streams.
int runSubcommand(const std::vector<std::string>& arguments);

// How a failed backup run ("quillet backup") reaches the desktop: the program hands in its
// notifier, the subcommands themselves stay without a toolkit. Empty: no notice.
void setFailureNotice(std::function<void(const ProjectRunStatus&)> notice);
const std::function<void(const ProjectRunStatus&)>& failureNotice();

}  // namespace quillet::cli
