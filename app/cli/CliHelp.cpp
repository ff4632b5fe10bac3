#include <string>

#include "app/cli/CliCommands.h"

namespace quillet::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"project list",
         "",
         "one line per project",
         "Prints one line per project, in name order, with the fields separated by tabs:\n"
         "SYSID, name, prefix, \"normal\" or \"favourites\", the number of backups kept\n"
         "(0: all), destination folder.\n",
         {},
         {},
         0,
         0,
         projectList},
        {"project add",
         "NAME [--dest DIR] [--prefix P] [--max N] [--notes TEXT] [--favorites]",
         "add a project (or, with --favorites, a favourites folder)",
         "Adds a project with the rules of the project form and prints its line as\n"
         "'quillet project list' does.\n"
         "  --dest DIR      destination folder of the archives; created when missing.\n"
         "                  Without it, the default destination of the settings.\n"
         "  --prefix P      the four characters every archive name begins with; blanks\n"
         "                  become \"_\", letters capitals, and a shorter prefix is filled\n"
         "                  with \"_\". Without it a free prefix of four random capitals is\n"
         "                  chosen; --prefix \"\" takes the first four characters of NAME.\n"
         "                  A prefix used by another project is refused.\n"
         "  --max N         archives to keep, 0-255 (0 keeps all); default 20.\n"
         "  --notes TEXT    notes, written into the comment of every archive.\n"
         "  --favorites     a favourites folder: a named folder archives are copied\n"
         "                  into; it has no prefix and is never backed up.\n"
         "Project names compare without regard to case; a name already used is refused.\n",
         {{"--dest", true}, {"--prefix", true}, {"--max", true}, {"--notes", true}, {"--favorites", false}},
         {"NAME"},
         1,
         1,
         projectAdd},
        {"project remove",
         "NAME [--delete-archives]",
         "delete a project and its components",
         "Deletes the project and all its components. With --delete-archives its archive\n"
         "files are deleted too (PREFIX????.LSP in its destination; for a favourites folder\n"
         "every *.LSP file there), one line \"deleted<TAB>FILE\" each.\n",
         {{"--delete-archives", false}},
         {"NAME"},
         1,
         1,
         projectRemove},
        {"component add",
         "PROJECT --path DIR --mask MASKS [--exclude] [--recurse]",
         "add a component to a project",
         "Adds a folder-and-masks rule to the project and prints its line as\n"
         "'quillet component list' does.\n"
         "  --path DIR      the folder; a relative path is taken from the working folder.\n"
         "  --mask MASKS    file masks separated by commas, such as \"*.doc, *.txt\"\n"
         "                  (wildcards * and ?, any letter case; each at most 20 characters).\n"
         "  --exclude       files matching the masks are left out of the backup.\n"
         "  --recurse       subfolders too.\n",
         {{"--path", true}, {"--mask", true}, {"--exclude", false}, {"--recurse", false}},
         {"PROJECT"},
         1,
         1,
         componentAdd},
        {"component list",
         "PROJECT",
         "list a project's components",
         "Prints one line per component, in folder order, with the fields separated by\n"
         "tabs: folder, \"include\" or \"exclude\", \"recurse\" or \"-\", masks.\n",
         {},
         {"PROJECT"},
         1,
         1,
         componentList},
        {"component remove",
         "PROJECT --path DIR",
         "remove a project's components of one folder",
         "Removes every component of the project whose folder is DIR (with or without the\n"
         "trailing \"/\") and prints the line of each removed component.\n",
         {{"--path", true}},
         {"PROJECT"},
         1,
         1,
         componentRemove},
        {"preview",
         "PROJECT [--changes]",
         "the files a backup would contain",
         "Scans the project's components as a backup does and prints, in backup order, one\n"
         "line per file: full path<TAB>size in bytes; then \"Total Files:<TAB>N\" and\n"
         "\"Total Bytes:<TAB>N\". Nothing is written.\n"
         "  --changes       instead of every file, what the backup would change relative to\n"
         "                  the newest archive: \"new<TAB>FILE<TAB>size\" (largest first),\n"
         "                  \"changed<TAB>FILE<TAB>size<TAB>what\" (size, time) and\n"
         "                  \"vanished<TAB>ITEM<TAB>size\", then \"Compared With:\",\n"
         "                  \"New Files:\", \"Changed Files:\" and \"Vanished Files:\".\n",
         {{"--changes", false}},
         {"PROJECT"},
         1,
         1,
         previewCommand},
        {"backup",
         "PROJECT",
         "back up a project now",
         "Makes a new archive of the project exactly as 'quillet --console -P=PROJECT'\n"
         "does: it becomes PREFIX0001.LSP, older archives move up one number, those beyond\n"
         "the project's maximum are deleted. Exit status 0 only when every file was packed;\n"
         "each file or folder that was not is named on standard error as\n"
         "\"failed<TAB>PATH<TAB>reason\".\n",
         {},
         {"PROJECT"},
         1,
         1,
         backupCommand},
        {"archives",
         "PROJECT",
         "list a project's archive files",
         "Prints one line per archive file, newest first, with the fields separated by\n"
         "tabs: file name, date (YYYY-MM-DD), time (HH:MM:SS), size in bytes, and the first\n"
         "line of the archive's comment.\n",
         {},
         {"PROJECT"},
         1,
         1,
         archivesCommand},
        {"contents",
         "ARCHIVE",
         "list the items of an archive file",
         "Prints one line per item, with the fields separated by tabs as the Backup Details\n"
         "list shows them: path, file name, type, date (YYYY-MM-DD), time (HH:MM:SS), size,\n"
         "ratio, packed size, attributes, method, CRC-32. Then the totals:\n"
         "\"Files in Backup:\", \"Size (Before):\", \"Size (After):\" (the archive file's\n"
         "size) and \"Comp Ratio:\", each followed by a tab and its value.\n",
         {},
         {"ARCHIVE"},
         1,
         1,
         contentsCommand},
        {"test",
         "ARCHIVE [ITEM...]",
         "test the items of an archive file",
         "Tests every item of the archive, or each ITEM named (its stored path and name,\n"
         "or its name alone), without writing anything. One line per item:\n"
         "\"good<TAB>ITEM\" or \"bad<TAB>ITEM<TAB>reason\"; then the summary line.\n"
         "Exit status 0 only when every item is good.\n",
         {},
         {"ARCHIVE", "ITEM"},
         1,
         -1,
         testCommand},
        {"restore",
         "ARCHIVE --to DIR [--paths] [--overwrite | --prompt] [--create-dirs] [ITEM...]",
         "restore items of an archive file",
         "Restores every item of the archive, or each ITEM named (its stored path and name,\n"
         "or its name alone), into DIR. One line per item: \"restored<TAB>FILE\", or on\n"
         "standard error \"failed<TAB>FILE<TAB>reason\"; then the summary line.\n"
         "  --to DIR        the folder to restore into; created when missing.\n"
         "  --paths         restore each item below DIR at its stored path\n"
         "                  (DIR/home/me/docs/a.txt); without it, DIR/a.txt.\n"
         "  --overwrite     replace files that exist; without it they are kept and the\n"
         "                  item counts as failed.\n"
         "  --prompt        ask on the terminal about each file that exists: Yes, No,\n"
         "                  All (yes to the rest) or Cancel (ends the restore).\n"
         "  --create-dirs   create the folders of the stored paths as needed.\n"
         "Restoring never writes outside DIR, and a file appears under its name only\n"
         "once it has been written whole and its CRC-32 checked.\n",
         {{"--to", true}, {"--paths", false}, {"--overwrite", false}, {"--prompt", false}, {"--create-dirs", false}},
         {"ARCHIVE", "ITEM"},
         1,
         -1,
         restoreCommand},
        {"history",
         "[PROJECT] [--last N] [--failed]",
         "list the recorded backup, test and restore runs",
         "Prints the runs of PROJECT (of every project without one), newest first, one\n"
         "line per run with the fields separated by tabs: start and end (YYYY-MM-DD\n"
         "HH:MM:SS), project, kind (backup, test or restore), \"ok\" or \"failed\", files,\n"
         "bytes, failed files, final status and archive file. Each failed file of a run\n"
         "follows its line as \"file<TAB>PATH<TAB>reason\". The last 1000 runs are kept.\n"
         "  --last N        only the newest N runs.\n"
         "  --failed        only the runs that failed.\n",
         {{"--last", true}, {"--failed", false}},
         {"PROJECT"},
         0,
         1,
         historyCommand},
        {"schedule",
         "PROJECT --daily HH:MM | --weekly DAY HH:MM | --every SPAN",
         "back up a project by itself at set times",
         "Writes a systemd user timer and service (~/.config/systemd/user/quillet-PREFIX.timer\n"
         "and .service) that run 'quillet -P=PROJECT --console', and starts the timer; a\n"
         "schedule given again replaces the old one. Prints project<TAB>rule<TAB>next run.\n"
         "  --daily HH:MM       every day at that time (24-hour clock).\n"
         "  --weekly DAY HH:MM  one day a week: Mon, Tue, ... or Monday, Tuesday, ...\n"
         "  --every SPAN        at the same times every day, SPAN apart from midnight:\n"
         "                      a span that divides a day, such as 15min, 90min, 2h, 1d.\n"
         "A run missed while the computer slept or was off happens as soon as it is back.\n"
         "Schedules need systemd and a user session of it; without one nothing is changed.\n"
         "A project named \"list\" or \"remove\": put the option first\n"
         "(quillet schedule --daily 18:30 list).\n",
         {{"--daily", true}, {"--weekly", true}, {"--every", true}},
         {"PROJECT", "TIME"},
         1,
         2,
         scheduleCommand},
        {"schedule list",
         "",
         "the projects that back up by themselves",
         "Prints one line per scheduled project, with the fields separated by tabs: project\n"
         "name, rule (\"daily 18:30\", \"weekly Mon 18:30\", \"every 2h\") and the next run\n"
         "(YYYY-MM-DD HH:MM, local time).\n",
         {},
         {},
         0,
         0,
         scheduleList},
        {"schedule remove",
         "PROJECT",
         "stop backing up a project by itself",
         "Stops the project's timer and deletes its timer and service files. PROJECT may\n"
         "also be the prefix of a timer whose project is gone.\n",
         {},
         {"PROJECT"},
         1,
         1,
         scheduleRemove},
        {"find",
         "PATTERN [PROJECT]",
         "every version of a file in a project's archives",
         "Prints each item whose name matches PATTERN (wildcards * and ?, any letter case)\n"
         "in every archive of PROJECT, or of every project, one line per archive holding\n"
         "it, with the fields separated by tabs: item path and name, version, archive file,\n"
         "date (YYYY-MM-DD), time (HH:MM:SS), size, CRC-32 (hex). Versions are numbered per\n"
         "item from 1, the newest content; archives holding identical content (same size\n"
         "and CRC-32) share the number and follow each other. Then \"Items Found:\" and\n"
         "\"Versions Found:\". Exit status 1 when nothing matches.\n"
         "Only the archives' directories are read, through an index beside the record\n"
         "files that is brought up to date as archives change.\n",
         {},
         {"PATTERN", "PROJECT"},
         1,
         2,
         findCommand},
        {"diff",
         "ARCHIVE1 ARCHIVE2",
         "what changed between two archive files",
         "Compares the directory of ARCHIVE1 (the older) with that of ARCHIVE2 and prints\n"
         "\"added<TAB>ITEM<TAB>size\" (largest first), \"removed<TAB>ITEM<TAB>size\" and\n"
         "\"changed<TAB>ITEM<TAB>size<TAB>what\" (size, time, CRC), then \"Added:\",\n"
         "\"Removed:\" and \"Changed:\" with their counts.\n",
         {},
         {"ARCHIVE1", "ARCHIVE2"},
         2,
         2,
         diffCommand},
        {"reindex",
         "[PROJECT]",
         "rebuild the index of archive directories",
         "Empties the index beside the record files and reads the directory of every\n"
         "archive of PROJECT, or of every project, again: \"indexed<TAB>ARCHIVE<TAB>items\"\n"
         "each, then \"Archives:\" and \"Items:\". The index only repeats what the archives\n"
         "hold; a missing or damaged one is rebuilt by itself when it is next used.\n",
         {},
         {"PROJECT"},
         0,
         1,
         reindexCommand},
    };
    return table;
}

std::string commandHelp(const Command& command) {
    std::string text = "Usage: quillet " + command.words;
    if (!command.synopsis.empty()) text += " " + command.synopsis;
    text += "\n" + command.summary + ".\n\n" + command.details;
    return text;
}

std::string overviewHelp() {
    std::string text =
        "Usage: quillet COMMAND [ARGUMENTS]\n"
        "Everyday tasks without a window, for schedulers, SSH sessions and scripts.\n"
        "Without a command Quillet opens its console window (see 'quillet --help').\n\n"
        "Commands:\n";
    for (const Command& c : commands()) {
        std::string left = "  " + c.words;
        if (left.size() < 20) left.resize(20, ' ');
        text += left + "  " + c.summary + "\n";
    }
    text +=
        "\n"
        "'quillet COMMAND --help' (or 'quillet help COMMAND') explains one command.\n"
        "Project names compare without regard to case. Nothing prompts. Output is plain\n"
        "text, one record per line; tables separate their fields with tabs.\n"
        "Exit status: 0 done, 1 the operation failed, 2 a usage error or an unknown project.\n"
        "Problems are reported on standard error.\n";
    return text;
}

}  // namespace quillet::cli
