#include "app/cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <future>
#include <iostream>

#include "app/CommandLine.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "catalog/Catalog.h"
#include "framework/CreateFolderPath.h"
#include "maintenance/ProjectRules.h"
#include "platform/DateCodes.h"

namespace quillet::cli {

namespace {

std::string firstWord(const std::string& words) {
    return words.substr(0, words.find(' '));
}

bool isHelpFlag(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

// The commands of one group ("project": list, add, remove) as the help of the group.
std::string groupHelp(const std::string& group) {
    std::string text;
    for (const Command& c : commands())
        if (firstWord(c.words) == group) text += commandHelp(c) + "\n";
    return text;
}

std::string groupActions(const std::string& group) {
    std::string names;
    for (const Command& c : commands()) {
        if (firstWord(c.words) != group || c.words == group) continue;
        if (!names.empty()) names += ", ";
        names += c.words.substr(group.size() + 1);
    }
    return names;
}

const Command* findCommand(const std::string& words) {
    for (const Command& c : commands())
        if (c.words == words) return &c;
    return nullptr;
}

std::string lowerCased(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Letters inserted, deleted, replaced or two neighbours swapped ("bakcup" is one from "backup").
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

int helpCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() <= 1) {
        out << overviewHelp();
        return Success;
    }
    std::string words = arguments[1];
    for (std::size_t i = 2; i < arguments.size(); ++i) words += " " + arguments[i];
    // A command that is also a group ("schedule") is explained with its actions.
    if (const Command* c = findCommand(words); c && groupActions(words).empty()) {
        out << commandHelp(*c);
        return Success;
    }
    if (!isSubcommand(words) || words == "help") {
        err << "quillet help: there is no command \"" << words << "\" (see 'quillet help')\n";
        return Usage;
    }
    out << groupHelp(words);
    return Success;
}

int dispatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const std::string& group = arguments.front();
    if (group == "help") return helpCommand(arguments, out, err);

    // A group's action goes before a command of the group's own name ("schedule list",
    // then "schedule PROJECT").
    const Command* command = arguments.size() >= 2 ? findCommand(group + " " + arguments[1]) : nullptr;
    std::size_t rest = command ? 2 : 1;
    if (!command) command = findCommand(group);
    if (!command) {
        // A group: the second word is the action.
        if (arguments.size() < 2 || isHelpFlag(arguments[1])) {
            if (arguments.size() >= 2) {
                out << groupHelp(group);
                return Success;
            }
            err << "quillet " << group << ": say what to do: " << groupActions(group) << " (see 'quillet " << group
                << " --help')\n";
            return Usage;
        }
        command = findCommand(group + " " + arguments[1]);
        if (!command) {
            err << "quillet " << group << ": unknown action \"" << arguments[1] << "\"; the actions are "
                << groupActions(group) << " (see 'quillet " << group << " --help')\n";
            return Usage;
        }
        rest = 2;
    }

    CliContext ctx("quillet " + command->words, out, err);
    auto parsed = parseArguments(std::vector<std::string>(arguments.begin() + static_cast<long>(rest), arguments.end()),
                                 command->options);
    if (!parsed) return ctx.usage(parsed.error());
    if (parsed->help) {
        out << (rest == 1 && !groupActions(group).empty() ? groupHelp(group) : commandHelp(*command));
        return Success;
    }
    const int given = static_cast<int>(parsed->positional.size());
    if (given < command->minPositional) {
        const std::size_t missing = std::min(static_cast<std::size_t>(given), command->positionalNames.size() - 1);
        return ctx.usage("missing " + command->positionalNames[missing]);
    }
    if (command->maxPositional >= 0 && given > command->maxPositional)
        return ctx.usage("unexpected argument \"" + parsed->positional[command->maxPositional] + "\"");
    return command->run(ctx, *parsed);
}

}  // namespace

bool isSubcommand(std::string_view firstArgument) {
    if (firstArgument == "help") return true;
    for (const Command& c : commands())
        if (firstWord(c.words) == firstArgument) return true;
    return false;
}

std::optional<std::string> mistypedCommand(const std::string& firstArgument) {
    if (isSubcommand(firstArgument) || looksLikeFlagToken(firstArgument)) return std::nullopt;
    std::vector<std::string> words{"help"};
    for (const Command& c : commands())
        if (std::find(words.begin(), words.end(), firstWord(c.words)) == words.end())
            words.push_back(firstWord(c.words));
    const std::string typed = lowerCased(firstArgument);
    std::optional<std::string> nearest;
    std::size_t best = 3;  // within two letters
    for (const std::string& word : words) {
        const std::size_t d = editDistance(typed, word);
        if (d < best) {
            best = d;
            nearest = word;
        }
    }
    return nearest;
}

int runSubcommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return Usage;
    try {
        const int status = dispatch(arguments, out, err);
        out.flush();
        return status;
    } catch (const std::exception& e) {
        out.flush();
        err << "quillet " << arguments.front() << ": " << e.what() << "\n";
        return Failed;
    }
}

int runSubcommand(const std::vector<std::string>& arguments) {
    return runSubcommand(arguments, std::cout, std::cerr);
}

namespace {
std::function<void(const ProjectRunStatus&)>& noticeSlot() {
    static std::function<void(const ProjectRunStatus&)> notice;
    return notice;
}
}  // namespace

void setFailureNotice(std::function<void(const ProjectRunStatus&)> notice) {
    noticeSlot() = std::move(notice);
}

const std::function<void(const ProjectRunStatus&)>& failureNotice() {
    return noticeSlot();
}

// ---- CliContext ----

CliContext::CliContext(std::string commandName, std::ostream& outStream, std::ostream& errStream)
    : out(outStream),
      err(errStream),
      paths(Paths::fromEnvironment()),
      dialogs(errStream),
      settings(paths),
      catalog_(paths.dataFolder),
      program_(paths, settings, catalog_, dialogs),
      command_(std::move(commandName)),
      fs(program_.services().fs) {}

CliContext::~CliContext() {
    if (opening_.valid()) opening_.wait();
    if (catalogOpened_) catalog_.close();
}

namespace {

// Opens the record files in folder; the problem, empty when none.
std::string openCatalogIn(Catalog& catalog, const std::string& folder) {
    if (!ensureFolder(folder)) return "cannot create the data folder " + folder;
    if (Status s = catalog.open(); !s) return s.error();
    return {};
}

}  // namespace

void CliContext::openCatalogAhead() {
    if (catalogOpened_ || catalogFailed_ || opening_.valid()) return;
    opening_ = std::async(std::launch::async,
                          [catalog = &catalog_, folder = paths.dataFolder] { return openCatalogIn(*catalog, folder); });
}

Catalog* CliContext::catalog() {
    if (catalogOpened_) return &catalog_;
    if (catalogFailed_) return nullptr;
    const std::string problem = opening_.valid() ? opening_.get() : openCatalogIn(catalog_, paths.dataFolder);
    if (!problem.empty()) {
        catalogFailed_ = true;
        fail(problem);
        return nullptr;
    }
    catalogOpened_ = true;
    return &catalog_;
}

std::optional<Project> CliContext::project(const std::string& name, int& exitStatus) {
    Catalog* c = catalog();
    if (!c) {
        exitStatus = Failed;
        return std::nullopt;
    }
    // Found as "-P" finds it: any letter case, the first 20 characters.
    auto found = c->projects().byName(upperAndCut(name, 20));
    if (!found) {
        exitStatus = fail(found.error());
        return std::nullopt;
    }
    if (!found->has_value()) {
        err << command_ << ": there is no project named \"" << name << "\" (see 'quillet project list')\n";
        exitStatus = Usage;
        return std::nullopt;
    }
    return **found;
}

std::string CliContext::absoluteFolder(const std::string& typed) const {
    std::string path = expandHome(typed);
    const bool slash = !path.empty() && path.back() == '/';
    path = fs.absolutePath(path);
    if (slash && path.back() != '/') path += '/';
    return path;
}

std::optional<std::string> CliContext::settledFolder(const std::string& typed) {
    const std::string folder = NormalizeFolderPath(absoluteFolder(NormalizeFolderPath(typed)));
    if (!fs.folderExists(folder)) {
        CreateFolderPath(folder, true, dialogs);
        if (!fs.folderExists(folder)) {
            fail("Directory Not Found: " + folder + " (it could not be created)");
            return std::nullopt;
        }
    }
    return folder;
}

int CliContext::fail(const std::string& text) {
    err << command_ << ": " << text << "\n";
    return Failed;
}

int CliContext::usage(const std::string& text) {
    err << command_ << ": " << text << " (see '" << command_ << " --help')\n";
    return Usage;
}

void CliContext::warn(const std::string& text) {
    err << command_ << ": warning: " << text << "\n";
}

std::string isoDate(std::int32_t dateNumber) {
    const CivilDate d = civilDate(dateNumber);
    if (d.year == 0) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::string isoTime(std::int32_t timeNumber) {
    if (timeNumber <= 0) return {};
    const ClockTime t = clockTime(timeNumber);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string field(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

}  // namespace quillet::cli
