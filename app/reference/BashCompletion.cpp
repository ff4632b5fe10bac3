#include <algorithm>
#include <sstream>
#include <vector>

#include "app/cli/CliCommands.h"
#include "app/reference/Reference.h"

namespace quillet {

namespace {

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string firstWord(const std::string& words) {
    return words.substr(0, words.find(' '));
}

// What a placeholder of the help stands for, as the completion offers it: an existing
// project, an archive file, a folder, any file, or nothing it could guess.
std::string kindOf(const std::string& placeholder, const cli::Command& command) {
    const bool adds = command.words.size() > 4 && command.words.compare(command.words.size() - 4, 4, " add") == 0;
    if (placeholder == "PROJECT" || (placeholder == "NAME" && !adds)) return "project";
    if (placeholder == "ARCHIVE") return "archive";
    if (placeholder == "DIR" || placeholder == "FOLDER") return "dir";
    if (placeholder == "FILE" || placeholder == "PATH") return "file";
    return "none";
}

// The placeholder after an option in the synopsis ("--dest DIR"), "" when it has none there.
std::string placeholderOf(const std::string& synopsis, const std::string& option) {
    std::istringstream in(synopsis);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) {
        t.erase(std::remove_if(t.begin(), t.end(), [](char c) { return c == '[' || c == ']' || c == '|'; }), t.end());
        if (t.size() > 3 && t.compare(t.size() - 3, 3, "...") == 0) t.resize(t.size() - 3);
        tokens.push_back(t);
    }
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i)
        if (tokens[i] == option) return tokens[i + 1];
    return {};
}

}  // namespace

std::string bashCompletion(const std::string& functions) {
    std::vector<std::pair<std::string, std::string>> groups;  // first word, its actions
    std::string options, values, arguments;
    for (const cli::Command& c : cli::commands()) {
        const std::string group = firstWord(c.words);
        auto g = std::find_if(groups.begin(), groups.end(), [&](const auto& e) { return e.first == group; });
        if (g == groups.end()) g = groups.insert(groups.end(), {group, {}});
        if (c.words != group) g->second += c.words.substr(group.size() + 1) + "\n";

        std::string names;
        for (const cli::OptionSpec& o : c.options) {
            names += o.name + "\n";
            if (o.takesValue)
                values += "    [" + quoted(c.words + " " + o.name) +
                          "]=" + quoted(kindOf(placeholderOf(c.synopsis, o.name), c)) + "\n";
        }
        options += "    [" + quoted(c.words) + "]=" + quoted(names) + "\n";

        std::string kinds;
        for (std::size_t i = 0; i < c.positionalNames.size(); ++i) {
            if (i > 0) kinds += " ";
            kinds += kindOf(c.positionalNames[i], c);
            if (c.maxPositional < 0 && i + 1 == c.positionalNames.size()) kinds += "...";
        }
        arguments += "    [" + quoted(c.words) + "]=" + quoted(kinds) + "\n";
    }
    std::string groupList, actions;
    for (const auto& [group, its] : groups) {
        groupList += group + "\n";
        if (!its.empty()) actions += "    [" + quoted(group) + "]=" + quoted(its) + "\n";
    }

    std::string script;
    script += "# bash completion for quillet: its commands, their options, project names and files.\n";
    script += "# Made from the program's own command table when it was built; do not edit.\n\n";
    script += "_quillet_flags=$'-P=\\n--console\\n--help\\n--version'\n";
    script += "_quillet_groups=" + quoted(groupList) + "\n";
    // declare -g: bash-completion loads this file inside a function.
    script += "declare -gA _quillet_actions=(\n" + actions + ")\n";
    script += "declare -gA _quillet_options=(\n" + options + ")\n";
    script += "declare -gA _quillet_values=(\n" + values + ")\n";
    script += "declare -gA _quillet_arguments=(\n" + arguments + ")\n";
    script += "\n" + functions;
    return script;
}

}  // namespace quillet
