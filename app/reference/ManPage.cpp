#include <sstream>
#include <vector>

#include "app/HelpText.h"
#include "app/cli/CliCommands.h"
#include "app/reference/Reference.h"

namespace quillet {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Blocks of lines separated by blank lines.
std::vector<std::vector<std::string>> splitBlocks(const std::string& text) {
    std::vector<std::vector<std::string>> blocks(1);
    for (const std::string& line : splitLines(text)) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            if (!blocks.back().empty()) blocks.emplace_back();
        } else {
            blocks.back().push_back(line);
        }
    }
    if (blocks.back().empty()) blocks.pop_back();
    return blocks;
}

// Text as roff reads it literally: backslashes and minus signs escaped, and a line that
// would begin with a control character guarded.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// One block of help text in roff. An indented line "  TERM   text" (two or more blanks
// after the term) starts a tagged paragraph; lines indented to its text continue it; any
// other line is running text.
std::string roffBlock(const std::vector<std::string>& lines) {
    std::string out;
    std::size_t textColumn = 0;  // where the current item's text starts; 0: no item
    bool paragraph = false;
    for (const std::string& line : lines) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (textColumn && indent >= textColumn) {
            out += escaped(trimmed(line)) + "\n";
            continue;
        }
        const std::size_t gap = indent >= 2 ? line.find("  ", indent) : std::string::npos;
        if (gap != std::string::npos) {
            const std::size_t text = line.find_first_not_of(' ', gap);
            out += ".TP\n\\fB" + escaped(line.substr(indent, gap - indent)) + "\\fR\n";
            out += escaped(line.substr(text)) + "\n";
            textColumn = text;
            paragraph = false;
            continue;
        }
        if (!paragraph) out += textColumn ? ".PP\n" : "";
        textColumn = 0;
        paragraph = true;
        out += escaped(trimmed(line)) + "\n";
    }
    return out;
}

std::string joined(const std::vector<std::vector<std::string>>& blocks, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to && i < blocks.size(); ++i) {
        if (i > from) out += ".PP\n";
        out += roffBlock(blocks[i]);
    }
    return out;
}

}  // namespace

std::string manPage(const Paths& paths) {
    const auto help = splitBlocks(helpText(paths));
    std::string page;
    page += ".TH QUILLET 1 \"\" \"" + std::string(kVersionText) + "\" \"User Commands\"\n";
    page += ".nh\n.ad l\n";  // option names are never hyphenated; commands read better ragged

    // "Quillet v1.5.04 - backup manager for this workstation"
    const std::string title = help.empty() ? std::string() : help[0].front();
    const std::size_t dash = title.find(" - ");
    page += ".SH NAME\nquillet \\- " + escaped(dash == std::string::npos ? title : title.substr(dash + 3)) + "\n";

    page += ".SH SYNOPSIS\n";
    if (help.size() > 1) {
        for (const std::string& line : help[1]) {
            std::string usage = trimmed(line);
            if (usage.rfind("Usage: ", 0) == 0) usage.erase(0, 7);
            // "quillet COMMAND [ARGUMENTS]   what it is for": the synopsis, then its note.
            const std::size_t note = usage.find("   ");
            page += ".br\n\\fB" + escaped(usage.substr(0, note)) + "\\fR\n";
            if (note != std::string::npos) page += "\\(em " + escaped(trimmed(usage.substr(note))) + "\n";
        }
    }

    // The flags, then the files Quillet keeps (the block that begins with "Files").
    std::size_t files = help.size();
    for (std::size_t i = 2; i < help.size(); ++i)
        if (help[i].front().rfind("Files", 0) == 0) files = i;
    page += ".SH OPTIONS\n" + joined(help, 2, files);

    // The commands: the overview's introduction, each command's own help, the overview's notes.
    const auto overview = splitBlocks(cli::overviewHelp());
    std::size_t list = overview.size();
    for (std::size_t i = 0; i < overview.size(); ++i)
        if (overview[i].front() == "Commands:") list = i;
    page += ".SH COMMANDS\n";
    if (!overview.empty()) {
        std::vector<std::vector<std::string>> intro = {overview[0]};
        intro[0].erase(intro[0].begin());  // its "Usage:" line is in the synopsis
        for (std::size_t i = 1; i < list; ++i) intro.push_back(overview[i]);
        page += joined(intro, 0, intro.size());
    }
    for (const cli::Command& c : cli::commands()) {
        std::string heading = "quillet " + c.words;
        if (!c.synopsis.empty()) heading += " " + c.synopsis;
        // A quote inside the heading would end the macro's argument.
        std::string argument = escaped(heading);
        for (std::size_t at = 0; (at = argument.find('"', at)) != std::string::npos; at += 4)
            argument.replace(at, 1, "\\(dq");
        page += ".SS \"" + argument + "\"\n";
        page += escaped(c.summary) + ".\n.PP\n";
        page += joined(splitBlocks(c.details), 0, std::string::npos);
    }
    if (list + 1 < overview.size())
        page += ".SH \"EXIT STATUS AND OUTPUT\"\n" + joined(overview, list + 1, overview.size());

    if (files < help.size()) page += ".SH FILES\n" + joined(help, files, help.size());
    page += ".SH \"SEE ALSO\"\n\\fBunzip\\fR(1), \\fBzip\\fR(1), \\fBcron\\fR(8)\n";
    return page;
}

}  // namespace quillet
