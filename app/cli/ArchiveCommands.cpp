// quillet archives | contents | test | restore: the archive object does the work.
#include <cstdio>
#include <vector>

#include "app/ConsoleBackupView.h"
#include "app/RefreshBackupList.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "archive/lspclass.h"
#include "catalog/ArchiveComment.h"
#include "framework/Picture.h"
#include "platform/DateCodes.h"

namespace quillet::cli {

namespace {

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

// The first line of an archive's notes ("" when it has none).
std::string firstCommentLine(const std::string& comment) {
    std::string notes =
        comment.rfind(CommentHeading, 0) == 0 ? comment.substr(std::string(CommentHeading).size()) : comment;
    const auto start = notes.find_first_not_of(" \r\n");
    if (start == std::string::npos) return {};
    notes = notes.substr(start);
    notes = notes.substr(0, notes.find_first_of("\r\n"));
    while (!notes.empty() && notes.back() == ' ') notes.pop_back();
    return notes;
}

// A library status handed back as its low byte, read as the signed status it was.
int signedStatus(std::uint8_t lowByte) {
    return static_cast<std::int8_t>(lowByte);
}

// The archive object for one command: settings from LSPprefs.ini, messages to err.
struct OpenArchive {
    explicit OpenArchive(CliContext& ctx) : archive(ctx.dialogs, ctx.paths.configFolder) { archive.Init(); }
    ~OpenArchive() { archive.Kill(); }
    lspclass archive;
};

// Lists the archive named on the command line into the archive object. Prints the
// problem and gives the exit status when it cannot be listed.
bool listArchive(CliContext& ctx, lspclass& archive, const std::string& typed, int& status) {
    const std::string path = ctx.absoluteFolder(typed);
    if (!ctx.fs.fileExists(path)) {
        status = ctx.usage("there is no archive file " + path);
        return false;
    }
    archive.ARCHIVE_NAME = path;
    const int before = ctx.dialogs.messages();
    archive.ReadDirectory();
    if (ctx.dialogs.messages() != before) {
        status = ctx.fail("the archive " + path + " could not be read whole");
        return false;
    }
    return true;
}

std::string storedName(const LSPQEntry& e) {
    return e.ITEM_PATH_NAME + e.FILENAME;
}

// The entries the ITEM arguments name: an item's stored path and name, or its name alone.
// All entries when there are none. Every ITEM must name at least one entry.
std::optional<std::vector<std::size_t>> selectItems(CliContext& ctx, const lspclass& archive,
                                                    const std::vector<std::string>& items, int& status) {
    std::vector<std::size_t> chosen;
    std::vector<bool> taken(archive.LSPQ.size(), false);
    if (items.empty()) {
        for (std::size_t i = 0; i < archive.LSPQ.size(); ++i) chosen.push_back(i);
        return chosen;
    }
    for (const std::string& item : items) {
        bool found = false;
        for (std::size_t i = 0; i < archive.LSPQ.size(); ++i) {
            const LSPQEntry& e = archive.LSPQ[i];
            if (storedName(e) != item && !(item.find('/') == std::string::npos && e.FILENAME == item)) continue;
            found = true;
            if (!taken[i]) chosen.push_back(i);
            taken[i] = true;
        }
        if (!found) {
            status = ctx.usage("the archive holds no item \"" + item + "\" (see 'quillet contents " +
                               archive.ARCHIVE_NAME + "')");
            return std::nullopt;
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// Lists the archive the first argument names and selects the items the others name.
std::optional<std::vector<std::size_t>> listAndSelect(CliContext& ctx, lspclass& archive, const ParsedArguments& args,
                                                      int& status) {
    if (!listArchive(ctx, archive, args.positional[0], status)) return std::nullopt;
    return selectItems(ctx, archive, std::vector<std::string>(args.positional.begin() + 1, args.positional.end()),
                       status);
}

std::string errorsSummary(int errors) {
    return "Completed - " + std::to_string(errors) + " Error(s)";
}

}  // namespace

int archivesCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    BackupListState state;
    RefreshBackupList(ctx.fs, project, ctx.fs.currentFolder(), state, &ctx.dialogs);
    if (!state.reachable) {
        std::string text = state.pathErrorText;
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        return ctx.fail(text.substr(text.find_first_not_of(" ")));
    }
    OpenArchive open(ctx);
    const std::string folder = destinationFolder(project->DESTINATIONPATH);
    for (const DirEntry& e : state.list) {
        open.archive.ARCHIVE_NAME = folder + e.name;
        const std::string comment = firstCommentLine(ReadArchiveComment(open.archive, ctx.paths.programFolder));
        ctx.out << field(e.name) << '\t' << isoDate(e.date) << '\t' << isoTime(e.time) << '\t' << e.size << '\t'
                << field(comment) << '\n';
    }
    return Success;
}

int contentsCommand(CliContext& ctx, const ParsedArguments& args) {
    OpenArchive open(ctx);
    lspclass& a = open.archive;
    int status = Success;
    if (!listArchive(ctx, a, args.positional[0], status)) return status;
    for (const LSPQEntry& e : a.LSPQ) {
        ctx.out << field(e.ITEM_PATH_NAME) << '\t' << field(e.FILENAME) << '\t' << e.EXTENSION << '\t'
                << isoDate(e.LAST_MOD_FILE_DATE) << '\t' << isoTime(e.LAST_MOD_FILE_TIME) << '\t' << e.UNCOMPRESSED_SIZE
                << '\t' << formatRatio(e.RATIO) << '\t' << e.COMPRESSED_SIZE << '\t' << e.GENERAL_PURPOSE_BIT_FLAG
                << '\t' << e.COMPRESSION_METHOD << '\t' << e.CRC32 << '\n';
    }
    const auto archiveSize = ctx.fs.fileSize(a.ARCHIVE_NAME);
    ctx.out << "Files in Backup:\t" << a.S_COUNT_FILES << '\n'
            << "Size (Before):\t" << a.S_UNCOMPRESSED_SIZE << '\n'
            << "Size (After):\t" << (archiveSize ? *archiveSize : 0) << '\n'
            << "Comp Ratio:\t" << formatRatio(a.S_COMPRESSION_RATIO) << '\n';
    return Success;
}

int testCommand(CliContext& ctx, const ParsedArguments& args) {
    OpenArchive open(ctx);
    lspclass& a = open.archive;
    int status = Success;
    const auto chosen = listAndSelect(ctx, a, args, status);
    if (!chosen) return status;
    if (chosen->empty()) return ctx.fail("There is nothing to test: the archive holds no items.");

    // A test writes nothing; the library still wants a folder.
    a.UNPACK_DIRECTORY = tempFolder();
    int errors = 0;
    for (std::size_t index : *chosen) {
        const std::uint8_t result = a.Test(index);
        const std::string name = field(storedName(a.LSPQ[index]));
        if (result == 0) {
            ctx.out << "good\t" << name << '\n';
        } else {
            ++errors;
            ctx.out << "bad\t" << name << '\t' << lspclass::ItemErrorText(signedStatus(result), a.LSPQ[index]) << '\n';
        }
        ctx.out.flush();
    }
    ctx.out << (errors == 0 ? std::string("Completed - Archive Tests OK") : errorsSummary(errors)) << '\n';
    return errors == 0 ? Success : Failed;
}

int restoreCommand(CliContext& ctx, const ParsedArguments& args) {
    const auto to = args.value("--to");
    if (!to || to->find_first_not_of(" \t") == std::string::npos) return ctx.usage("missing --to DIR");

    OpenArchive open(ctx);
    lspclass& a = open.archive;
    int status = Success;
    const auto chosen = listAndSelect(ctx, a, args, status);
    if (!chosen) return status;
    if (chosen->empty()) return ctx.fail("There are no files in queue to restore!");

    const auto settled = ctx.settledFolder(*to);
    if (!settled) return Failed;
    const std::string& root = *settled;

    // The restore window's choices, taken from the command line; the archive settings
    // file is not written. Nobody is there to be asked: an existing file is kept unless
    // --overwrite says otherwise.
    a.USE_PATH_INFO = args.has("--paths") ? 1 : 0;
    a.UNPACK_OVERWRITE_OPTION = args.has("--overwrite") ? 1 : 3;
    a.CREATE_DIRECTORY = args.has("--create-dirs") ? 1 : 0;
    a.UNPACK_QUIET_MODE_FLAG = 1;
    a.UNPACK_DIRECTORY = root;

    int errors = 0;
    for (std::size_t index : *chosen) {
        const LSPQEntry& e = a.LSPQ[index];
        // Stored paths land below the destination, whether the archive holds them
        // absolute ("/home/...") or relative ("docs/").
        std::string itemPath = a.USE_PATH_INFO ? e.ITEM_PATH_NAME : std::string();
        while (!itemPath.empty() && itemPath.front() == '/') itemPath.erase(0, 1);
        const std::string target = root + itemPath + e.FILENAME;
        const std::int16_t result = a.Extract(index);
        if (result == 0) {
            ctx.out << "restored\t" << field(target) << '\n';
        } else {
            ++errors;
            const std::string why = result == -22
                                        ? std::string("the file exists and was kept (--overwrite replaces it)")
                                        : lspclass::ItemErrorText(result, e);
            ctx.err << failedLine(target, why) << std::flush;
        }
        ctx.out.flush();
    }
    ctx.out << (errors == 0 ? std::string("Completed - No Errors") : errorsSummary(errors)) << '\n';
    return errors == 0 ? Success : Failed;
}

}  // namespace quillet::cli
