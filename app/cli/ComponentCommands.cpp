// quillet component add | list | remove
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "catalog/Catalog.h"
#include "maintenance/ProjectRules.h"

namespace quillet::cli {

namespace {

void printComponent(CliContext& ctx, const Component& c) {
    ctx.out << field(c.PATH) << '\t' << (c.EXCLUDE == 1 ? "exclude" : "include") << '\t'
            << (c.RECURSE == 1 ? "recurse" : "-") << '\t' << field(c.MASK) << '\n';
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

int componentAdd(CliContext& ctx, const ParsedArguments& args) {
    const auto path = args.value("--path");
    const auto mask = args.value("--mask");
    if (!path || path->find_first_not_of(" \t") == std::string::npos) return ctx.usage("missing --path DIR");
    if (!mask || mask->find_first_not_of(" ,\t\r\n") == std::string::npos)
        return ctx.usage("missing --mask MASKS (such as \"*.doc, *.txt\" or \"*.*\")");

    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    if (project->FAVORITES == 1)
        return ctx.fail("\"" + project->NAME +
                        "\" is a favourites folder; it is never backed up and has no components");

    const std::string folder = NormalizeFolderPath(ctx.absoluteFolder(NormalizeFolderPath(*path)));
    // The form lets a missing folder stand too; the backup reports it when it runs.
    if (!ctx.fs.folderExists(folder)) ctx.warn("Directory Not Found: " + folder);
    auto added =
        AddComponent(*ctx.catalog(), project->SYSID, folder, *mask, args.has("--exclude"), args.has("--recurse"));
    if (!added) return ctx.fail(added.error());
    printComponent(ctx, *added);
    return Success;
}

int componentList(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    auto components = ctx.catalog()->components().ofProject(project->SYSID);
    if (!components) return ctx.fail(components.error());
    for (const Component& c : *components) printComponent(ctx, c);
    return Success;
}

int componentRemove(CliContext& ctx, const ParsedArguments& args) {
    const auto path = args.value("--path");
    if (!path || path->find_first_not_of(" \t") == std::string::npos) return ctx.usage("missing --path DIR");
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;

    // A folder stored as typed (by the form) matches as typed, any other as an absolute path.
    const std::string wanted = withoutTrailingSlash(ctx.absoluteFolder(NormalizeFolderPath(*path)));
    const std::string typed = withoutTrailingSlash(NormalizeFolderPath(*path));
    ComponentStore store = ctx.catalog()->components();
    auto components = store.ofProject(project->SYSID);
    if (!components) return ctx.fail(components.error());
    int removed = 0;
    for (const Component& c : *components) {
        const std::string stored = withoutTrailingSlash(c.PATH);
        if (stored != wanted && stored != typed) continue;
        if (Status s = store.erase(c); !s) return ctx.fail(s.error());
        printComponent(ctx, c);
        ++removed;
    }
    if (removed == 0) {
        ctx.err << ctx.commandName() << ": the project \"" << project->NAME << "\" has no component for " << wanted
                << " (see 'quillet component list " << project->NAME << "')\n";
        return Usage;
    }
    return Success;
}

}  // namespace quillet::cli
