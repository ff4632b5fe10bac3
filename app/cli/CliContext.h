#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <ostream>
#include <string>

#include "app/ProgramServices.h"
#include "app/cli/Cli.h"
#include "app/cli/CliArguments.h"
#include "catalog/Catalog.h"
#include "catalog/Records.h"
#include "framework/ConsoleDialogs.h"
#include "framework/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace quillet::cli {

// Console dialogs that also count the messages they print, so a command can tell that an
// engine reported a problem it does not return (an archive listing that failed).
class CountingDialogs : public ConsoleDialogs {
public:
    explicit CountingDialogs(std::ostream& out) : ConsoleDialogs(out) {}
    using Dialogs::message;
    int message(const MessageRequest& request) override {
        ++messages_;
        return ConsoleDialogs::message(request);
    }
    int messages() const { return messages_; }

private:
    int messages_ = 0;
};

// What every subcommand works with: the output streams and the program's services built
// as the program entry builds them, over dialogs that answer without asking (messages go
// to err) and without sounds. The record files are opened on first use.
class CliContext {
public:
    CliContext(std::string commandName, std::ostream& out, std::ostream& err);
    ~CliContext();

    const std::string& commandName() const { return command_; }  // "quillet project add"
    std::ostream& out;
    std::ostream& err;
    Paths paths;
    CountingDialogs dialogs;
    Settings settings;

private:
    Catalog catalog_;  // the files are opened by catalog()
    ProgramServices program_;
    std::string command_;
    bool catalogOpened_ = false;
    bool catalogFailed_ = false;
    std::future<std::string> opening_;  // the problem opening catalog_, empty when none

public:
    const Services& services() const { return program_.services(); }
    FileSystem& fs;  // the services' file system: its current folder is the process's working folder

    // The services' archive object, its settings read from LSPprefs.ini.
    lspclass& archive() { return services().archive; }
    // The record files, opened on the first call; nothing when they cannot be (the
    // reason has been printed).
    Catalog* catalog();
    // Starts opening the record files on a helper thread (the key derivation of the keyed
    // ones takes a noticeable part of a second); catalog() then waits for them.
    void openCatalogAhead();

    // The project of that name (any letter case), as the -P flag finds it. Prints the
    // problem and gives the exit status when there is none.
    std::optional<Project> project(const std::string& name, int& exitStatus);

    // A folder given on the command line as an absolute path: "~" expanded, a relative
    // path taken from the working folder, "." and ".." resolved; trailing '/' as given.
    std::string absoluteFolder(const std::string& typed) const;
    // A folder given on the command line as the forms keep it (NormalizeFolderPath), made
    // absolute and created when missing (the form's "Create": nobody is there to answer).
    // Nothing when it cannot be created (the reason has been printed).
    std::optional<std::string> settledFolder(const std::string& typed);

    // "quillet project add: text" on err; return Failed.
    int fail(const std::string& text);
    // The same followed by where the help is; return Usage.
    int usage(const std::string& text);
    // A warning that does not change the exit status.
    void warn(const std::string& text);
};

// A table field: tabs and line breaks inside a value would split the record, so they are
// printed as blanks.
std::string field(const std::string& value);

// Dates and times in the tables: "YYYY-MM-DD" and "HH:MM:SS" (empty for none).
std::string isoDate(std::int32_t dateNumber);
std::string isoTime(std::int32_t timeNumber);

}  // namespace quillet::cli
