// quillet schedule PROJECT ... | schedule list | schedule remove
#include <ctime>
#include <sstream>

#include "app/CommandLine.h"
#include "app/cli/CliCommands.h"
#include "app/cli/CliContext.h"
#include "catalog/Catalog.h"
#include "maintenance/Schedule.h"

namespace quillet::cli {

namespace {

std::string nextRunText(const ScheduleRule& rule) {
    const auto next = nextRun(rule, std::time(nullptr));
    return next ? runTimeText(*next) : "-";
}

// The rule of "--daily HH:MM", "--weekly DAY HH:MM" (or "--weekly 'DAY HH:MM'") or
// "--every SPAN"; the weekly time may stand as the second positional argument.
Result<ScheduleRule> ruleOf(const ParsedArguments& args, std::string& usageError) {
    const auto daily = args.value("--daily"), weekly = args.value("--weekly"), every = args.value("--every");
    const int given = int(daily.has_value()) + int(weekly.has_value()) + int(every.has_value());
    auto usage = [&](const std::string& text) {
        usageError = text;
        return Result<ScheduleRule>::failure(text);
    };
    if (given != 1) return usage("say when, with one of --daily HH:MM, --weekly DAY HH:MM or --every SPAN");
    if (!weekly && args.positional.size() > 1) return usage("unexpected argument \"" + args.positional[1] + "\"");
    if (daily) return dailyRule(*daily);
    if (every) return everyRule(*every);
    std::istringstream words(*weekly);
    std::string day, time, extra;
    words >> day >> time >> extra;
    if (!extra.empty()) return usage("--weekly takes a day and a time, such as --weekly Mon 18:30");
    if (args.positional.size() > 1) {
        if (!time.empty()) return usage("unexpected argument \"" + args.positional[1] + "\"");
        time = args.positional[1];
    }
    if (time.empty()) return usage("--weekly takes a day and a time, such as --weekly Mon 18:30");
    return weeklyRule(day, time);
}

}  // namespace

int scheduleCommand(CliContext& ctx, const ParsedArguments& args) {
    std::string usageError;
    const auto rule = ruleOf(args, usageError);
    if (!usageError.empty()) return ctx.usage(usageError);
    if (!rule) return ctx.usage(rule.error());
    int status = Success;
    const auto project = ctx.project(args.positional[0], status);
    if (!project) return status;
    if (Status s = Scheduler::forThisUser().install(*project, *rule); !s) return ctx.fail(s.error());
    ctx.out << field(project->NAME) << '\t' << ruleText(*rule) << '\t' << nextRunText(*rule) << '\n';
    return Success;
}

int scheduleList(CliContext& ctx, const ParsedArguments&) {
    const Scheduler scheduler = Scheduler::forThisUser();
    const auto units = scheduler.list();
    if (units.empty()) return Success;
    Catalog* catalog = ctx.catalog();
    if (!catalog) return Failed;
    for (const ScheduledUnit& unit : units) {
        auto found = catalog->projects().byPrefix(unit.prefix);
        if (!found) return ctx.fail(found.error());
        // A timer whose project is gone still runs (and fails): it is listed so that it
        // can be seen, and removed with its prefix.
        const std::string name = found->has_value() ? (*found)->NAME : "(no project with prefix " + unit.prefix + ")";
        ctx.out << field(name) << '\t' << ruleText(unit.rule) << '\t' << nextRunText(unit.rule) << '\n';
    }
    if (Status s = scheduler.available(); !s) ctx.warn("these timers do not run now: " + s.error());
    return Success;
}

int scheduleRemove(CliContext& ctx, const ParsedArguments& args) {
    const Scheduler scheduler = Scheduler::forThisUser();
    std::string prefix, name = args.positional[0];
    Catalog* catalog = ctx.catalog();
    if (!catalog) return Failed;
    auto found = catalog->projects().byName(upperAndCut(name, 20));
    if (!found) return ctx.fail(found.error());
    if (found->has_value()) {
        prefix = (*found)->PREFIX;
        name = (*found)->NAME;
    } else if (scheduler.scheduled(args.positional[0])) {
        prefix = args.positional[0];  // the prefix of a timer whose project is gone
    } else {
        ctx.err << ctx.commandName() << ": there is no project named \"" << name
                << "\" (see 'quillet schedule list')\n";
        return Usage;
    }
    if (!scheduler.scheduled(prefix)) {
        ctx.err << ctx.commandName() << ": \"" << name << "\" has no schedule (see 'quillet schedule list')\n";
        return Usage;
    }
    if (Status s = scheduler.remove(prefix); !s) return ctx.fail(s.error());
    ctx.out << "removed\t" << field(name) << '\n';
    return Success;
}

}  // namespace quillet::cli
