#pragma once

namespace quillet {

class Catalog;
class Clock;
class Dialogs;
class FileSystem;
class Settings;
class SoundPlayer;
class lspclass;
struct Paths;

// The program's services, built once at start-up and handed to the console, to every
// form and window it opens, and to the runs those start. The archive object is the
// console's one instance: the archive being listed, tested, restored or edited.
struct Services {
    FileSystem& fs;
    Dialogs& dialogs;
    Settings& settings;
    const Clock& clock;
    Catalog& catalog;
    SoundPlayer& sounds;
    lspclass& archive;
    const Paths& paths;
};

// The request a form is opened with.
enum class FormRequest { Add = 1, Change = 2, Delete = 3 };

// What a form returns: its record was stored (or deleted), or nothing changed.
enum class FormResult { Completed, Cancelled };

}  // namespace quillet
