#pragma once

#include <string>
#include <vector>

#include "app/cli/CliArguments.h"
#include "backup/BackupFileList.h"
#include "catalog/Records.h"

namespace quillet::cli {

class CliContext;

using CommandFunction = int (*)(CliContext&, const ParsedArguments&);

// One subcommand: the words that name it, what its help says, its options and how many
// positional arguments it takes (maxPositional -1: any number).
struct Command {
    std::string words;     // "project add"
    std::string synopsis;  // "NAME --dest DIR [--prefix P] ..."
    std::string summary;   // one line for the overview
    std::string details;   // the rest of its help
    std::vector<OptionSpec> options;
    std::vector<std::string> positionalNames;  // for "missing NAME"; the last may repeat
    int minPositional = 0;
    int maxPositional = 0;
    CommandFunction run = nullptr;
};

// Every subcommand, in the order the overview lists them.
const std::vector<Command>& commands();

// The help of one command, and the overview of all.
std::string commandHelp(const Command& command);
std::string overviewHelp();

// The commands, one file per group.
int projectList(CliContext& ctx, const ParsedArguments& args);
int projectAdd(CliContext& ctx, const ParsedArguments& args);
int projectRemove(CliContext& ctx, const ParsedArguments& args);
int componentAdd(CliContext& ctx, const ParsedArguments& args);
int componentList(CliContext& ctx, const ParsedArguments& args);
int componentRemove(CliContext& ctx, const ParsedArguments& args);
int previewCommand(CliContext& ctx, const ParsedArguments& args);
int backupCommand(CliContext& ctx, const ParsedArguments& args);
int archivesCommand(CliContext& ctx, const ParsedArguments& args);
int contentsCommand(CliContext& ctx, const ParsedArguments& args);
int testCommand(CliContext& ctx, const ParsedArguments& args);
int restoreCommand(CliContext& ctx, const ParsedArguments& args);
int historyCommand(CliContext& ctx, const ParsedArguments& args);
int scheduleCommand(CliContext& ctx, const ParsedArguments& args);
int scheduleList(CliContext& ctx, const ParsedArguments& args);
int scheduleRemove(CliContext& ctx, const ParsedArguments& args);
int findCommand(CliContext& ctx, const ParsedArguments& args);
int diffCommand(CliContext& ctx, const ParsedArguments& args);
int reindexCommand(CliContext& ctx, const ParsedArguments& args);
// 'quillet preview --changes': the new, changed and vanished files and their counts.
void printPreviewChanges(CliContext& ctx, const Project& project, const BackupFileList& files);

}  // namespace quillet::cli
