// quillet find | diff | reindex, and the changes of 'quillet preview --changes': the
// index of archive directories answers, the archives' directories decide.
#include "app/ArchiveVersions.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "backup/PreviewChanges.h"
#include "catalog/ArchiveIndex.h"
#include "catalog/Catalog.h"
#include "catalog/ItemChanges.h"

namespace quillet::cli {

namespace {

std::string itemText(const IndexedItem& i) {
    return field(i.key());
}

// The archives a command names: one project's, or every project's.
std::optional<std::vector<std::string>> archivesOf(CliContext& ctx, const std::vector<std::string>& positional,
                                                   std::size_t at, int& status) {
    if (positional.size() > at) {
        const auto project = ctx.project(positional[at], status);
        if (!project) return std::nullopt;
        return projectArchivePaths(ctx.fs, *project, ctx.paths.programFolder);
    }
    Catalog* catalog = ctx.catalog();
    if (!catalog) {
        status = Failed;
        return std::nullopt;
    }
    return allArchivePaths(ctx.fs, *catalog, ctx.paths.programFolder);
}

// The items of one archive: through the index, or straight from the archive when the
// index cannot be used. Nothing when the archive cannot be read.
std::optional<std::vector<IndexedItem>> itemsOf(CliContext& ctx, ArchiveIndex& index, const std::string& path,
                                                int& status) {
    if (!ctx.fs.fileExists(path)) {
        status = ctx.usage("there is no archive file " + path);
        return std::nullopt;
    }
    auto items = index.update({path}) ? index.items(path) : ArchiveIndex::readItems(path);
    // No items may also mean an archive the index could not read: the archive tells.
    if (!items || items->empty()) {
        auto direct = ArchiveIndex::readItems(path);
        if (!direct) {
            status = ctx.fail("the archive " + path + " could not be read: " + direct.error());
            return std::nullopt;
        }
        items = std::move(direct);
    }
    return std::move(*items);
}

}  // namespace

int findCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto archives = archivesOf(ctx, args.positional, 1, status);
    if (!archives) return status;
    ensureFolder(ctx.paths.dataFolder);
    ArchiveIndex index(ctx.paths.dataFolder);
    auto found = index.find(args.positional[0], *archives);
    if (!found) return ctx.fail("the index of archive directories cannot be used: " + found.error());
    const std::vector<VersionRow> rows = groupVersions(std::move(*found));
    std::int64_t items = 0;
    std::string last;
    for (const VersionRow& r : rows) {
        const IndexedItem& i = r.found.item;
        if (std::string key = i.key(); key != last) {
            ++items;
            last = std::move(key);
        }
        ctx.out << itemText(i) << '\t' << r.version << '\t' << field(r.found.archive) << '\t' << isoDateOf(i.mtime)
                << '\t' << isoTimeOf(i.mtime) << '\t' << i.size << '\t' << crcText(i.crc) << '\n';
    }
    ctx.out << "Items Found:\t" << items << '\n' << "Versions Found:\t" << rows.size() << '\n';
    return rows.empty() ? Failed : Success;
}

int diffCommand(CliContext& ctx, const ParsedArguments& args) {
    ensureFolder(ctx.paths.dataFolder);
    ArchiveIndex index(ctx.paths.dataFolder);
    int status = Success;
    const auto before = itemsOf(ctx, index, ctx.absoluteFolder(args.positional[0]), status);
    if (!before) return status;
    const auto after = itemsOf(ctx, index, ctx.absoluteFolder(args.positional[1]), status);
    if (!after) return status;
    const ItemChanges changes = compareItems(*before, *after);
    for (const ItemChange& c : changes.added) ctx.out << "added\t" << itemText(c.after) << '\t' << c.after.size << '\n';
    for (const ItemChange& c : changes.removed)
        ctx.out << "removed\t" << itemText(c.before) << '\t' << c.before.size << '\n';
    for (const ItemChange& c : changes.changed)
        ctx.out << "changed\t" << itemText(c.after) << '\t' << c.after.size << '\t' << c.reasons() << '\n';
    ctx.out << "Added:\t" << changes.added.size() << '\n'
            << "Removed:\t" << changes.removed.size() << '\n'
            << "Changed:\t" << changes.changed.size() << '\n';
    return Success;
}

int reindexCommand(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto archives = archivesOf(ctx, args.positional, 0, status);
    if (!archives) return status;
    ensureFolder(ctx.paths.dataFolder);
    ArchiveIndex index(ctx.paths.dataFolder);
    if (Status s = index.clear(); !s) return ctx.fail("the index cannot be rebuilt: " + s.error());
    if (Status s = index.update(*archives); !s) return ctx.fail("the index cannot be rebuilt: " + s.error());
    std::size_t total = 0;
    for (const std::string& a : *archives) {
        auto items = index.items(a);
        if (!items) return ctx.fail(items.error());
        total += items->size();
        ctx.out << "indexed\t" << field(a) << '\t' << items->size() << '\n';
    }
    ctx.out << "Archives:\t" << archives->size() << '\n' << "Items:\t" << total << '\n';
    return Success;
}

void printPreviewChanges(CliContext& ctx, const Project& project, const BackupFileList& files) {
    ensureFolder(ctx.paths.dataFolder);
    ArchiveIndex index(ctx.paths.dataFolder);
    const PreviewChanges p = previewChanges(ctx.fs, index, project, files);
    const ItemChanges& c = p.changes;
    for (const ItemChange& e : c.added) ctx.out << "new\t" << itemText(e.after) << '\t' << e.after.size << '\n';
    for (const ItemChange& e : c.changed)
        ctx.out << "changed\t" << itemText(e.after) << '\t' << e.after.size << '\t' << e.reasons() << '\n';
    for (const ItemChange& e : c.removed)
        ctx.out << "vanished\t" << itemText(e.before) << '\t' << e.before.size << '\n';
    ctx.out << "Compared With:\t"
            << (p.newestArchive.empty() ? std::string("(no archive yet)") : field(p.newestArchive)) << '\n'
            << "New Files:\t" << c.added.size() << '\n'
            << "Changed Files:\t" << c.changed.size() << '\n'
            << "Vanished Files:\t" << c.removed.size() << '\n';
}

}  // namespace quillet::cli
