// quillet project list | add | remove
#include <algorithm>
#include <optional>

#include "app/RefreshBackupList.h"
#include "app/Startup.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "catalog/Catalog.h"
#include "maintenance/ProjectRules.h"
#include "maintenance/Schedule.h"
#include "platform/FolderLock.h"

namespace quillet::cli {

namespace {

void printProject(CliContext& ctx, const Project& p) {
    ctx.out << p.SYSID << '\t' << field(p.NAME) << '\t' << field(p.PREFIX) << '\t'
            << (p.FAVORITES == 1 ? "favourites" : "normal") << '\t' << int(p.MAXBACKUPS) << '\t'
            << field(p.DESTINATIONPATH) << '\n';
}

}  // namespace

int projectList(CliContext& ctx, const ParsedArguments&) {
    Catalog* catalog = ctx.catalog();
    if (!catalog) return Failed;
    ProjectStore projects = catalog->projects();
    if (Status s = projects.setKey(catalog::K_Name); !s) return ctx.fail(s.error());
    auto all = projects.all();
    if (!all) return ctx.fail(all.error());
    for (const Project& p : *all) printProject(ctx, p);
    return Success;
}

int projectAdd(CliContext& ctx, const ParsedArguments& args) {
    ProjectRequest request;
    request.name = args.positional[0];
    request.favorites = args.has("--favorites");
    request.prefix = args.value("--prefix");
    request.notes = args.value("--notes").value_or("");
    if (auto max = args.value("--max")) {
        const auto n = parseWholeNumber(*max, 0, 255);
        if (!n) return ctx.usage("--max takes a whole number from 0 to 255, not \"" + *max + "\"");
        request.maxBackups = static_cast<std::uint8_t>(*n);
    }
    if (request.favorites && (request.prefix || args.value("--max")))
        return ctx.usage("a favourites folder has no prefix and keeps every archive: leave out --prefix and --max");
    if (request.name.find_first_not_of(" \t") == std::string::npos) return ctx.usage("the project needs a name");

    std::string destination = args.value("--dest").value_or("");
    if (!args.value("--dest")) {
        destination = ensureDefaultDestination(ctx.settings, ctx.dialogs, ctx.fs.currentFolder());
        if (destination.empty()) return ctx.usage("there is no default destination: give --dest DIR");
    }
    if (destination.find_first_not_of(" \t") == std::string::npos) return ctx.usage("--dest needs a folder");

    Catalog* catalog = ctx.catalog();
    if (!catalog) return Failed;
    auto same = catalog->projects().byName(request.name);
    if (!same) return ctx.fail(same.error());
    if (same->has_value())
        return ctx.fail("there is already a project named \"" + (*same)->NAME +
                        "\"; the commands find projects by name, so each needs its own");

    const auto folder = ctx.settledFolder(destination);
    if (!folder) return Failed;
    request.destination = *folder;
    auto added = AddProject(*catalog, request, systemLetterSource());
    if (!added) return ctx.fail(added.error());
    printProject(ctx, *added);
    return Success;
}

int projectRemove(CliContext& ctx, const ParsedArguments& args) {
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;

    // The archive files are listed before the project goes, as the console copies the
    // destination aside before it deletes.
    BackupListState archives;
    const bool deleteArchives = args.has("--delete-archives");
    // Not while a backup runs there: its rotation would meet the deletes.
    std::optional<FolderLock> lock;
    if (deleteArchives) {
        lock.emplace(destinationFolder(project->DESTINATIONPATH), project->NAME);
        if (lock->state() == FolderLock::State::Busy) {
            std::string text = folderInUseText(destinationFolder(project->DESTINATIONPATH), lock->holder());
            std::replace(text.begin(), text.end(), '|', ' ');
            return ctx.fail(text + " The project has not been removed.");
        }
        RefreshBackupList(ctx.fs, project, ctx.fs.currentFolder(), archives, &ctx.dialogs);
    }
    // The other projects, so that no archive of theirs in the same folder is deleted.
    auto everyProject = ctx.catalog()->projects().all();
    if (!everyProject) return ctx.fail(everyProject.error());

    if (Status s = ctx.catalog()->deleteProject(project->SYSID); !s) return ctx.fail(s.error());
    // Its timer would run a backup of a project that is gone.
    if (const Scheduler scheduler = Scheduler::forThisUser(); scheduler.scheduled(project->PREFIX))
        if (Status s = scheduler.remove(project->PREFIX); !s) ctx.warn("its schedule stays: " + s.error());
    if (!deleteArchives) return Success;
    if (!archives.reachable) {
        ctx.warn("the destination " + project->DESTINATIONPATH + " cannot be entered; no archive file was deleted");
        return Failed;
    }
    const std::string folder = destinationFolder(project->DESTINATIONPATH);
    for (const DirEntry& archive : archives.list) {
        const std::string path = folder + archive.shortName;
        if (const auto owner = ArchiveOwner(*everyProject, project->SYSID, folder, archive.shortName)) {
            ctx.warn("kept " + path + ": it is an archive of the project " + owner->NAME);
            continue;
        }
        if (Status s = ctx.fs.removeFile(path); !s) {
            ctx.fail(s.error());
            status = Failed;
            continue;
        }
        ctx.out << "deleted\t" << field(path) << '\n';
    }
    return status;
}

}  // namespace quillet::cli
