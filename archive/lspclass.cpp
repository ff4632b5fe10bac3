#include "archive/lspclass.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "lsp/lsp.h"
#include "platform/DateCodes.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/IniFile.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

constexpr const char* Section = "Compression_Method";
constexpr const char* DefaultSettingsFile = "LSPprefs.ini";

std::string fixedText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

// A byte setting: a decimal whole number; anything else, or a number that does not fit a
// byte, takes the default (range checks are the flag builders' business).
std::uint8_t readByte(const IniFile& ini, const char* key, std::uint8_t defaultValue) {
    std::string text = ini.read(Section, key, std::to_string(defaultValue));
    std::size_t begin = text.find_first_not_of(" \t");
    std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) return defaultValue;
    int value = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || value < 0 || value > 255) return defaultValue;
    return static_cast<std::uint8_t>(value);
}

// The seventeen settings in file order: key, field, default.
struct Setting {
    const char* key;
    std::uint8_t lspclass::*field;
    std::uint8_t defaultValue;
};

}  // namespace

lspclass::lspclass(Dialogs& dialogs, std::string configFolder, EnterPathFunction enterPath)
    : dialogs_(dialogs), configFolder_(std::move(configFolder)), enterPath_(std::move(enterPath)) {}

std::string lspclass::settingsPath() const {
    std::string name = INIFILENAME.empty() ? std::string(DefaultSettingsFile) : INIFILENAME;
    if (!name.empty() && name.front() == '/') return name;
    std::string folder = configFolder_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + name;
}

void lspclass::Init(const std::string& iniFileName) {
    LSPQ.clear();
    INIFILENAME = iniFileName.empty() ? std::string(DefaultSettingsFile) : iniFileName;
    LoadPreferences();
    S_COUNT_FILES = 0;
    S_UNCOMPRESSED_SIZE = 0;
    S_COMPRESSED_SIZE = 0;
    S_COMPRESSION_RATIO = 0;
    USE_LSP_MESSAGE_PUMP = 0;
    DLL_PACK_VERSION = LSP_P_VERSION();
    DLL_UNPACK_VERSION = LSP_U_VERSION();
}

void lspclass::Kill() {
    LSPQ.clear();
    LSPQ.shrink_to_fit();
}

// Settings in the order they stand in the file; "Temp_Path" (a text) is the twelfth.
static const Setting kSettingsBeforeTemp[] = {
    {"Preferences", &lspclass::COMPRESSION_METHOD, 2},
    {"Compression_Engine", &lspclass::COMPRESSION_ENGINE, 2},
    {"Path_information", &lspclass::PATH_INFORMATION, 2},
    {"Create_Directory", &lspclass::CREATE_DIRECTORY, 0},
    {"Auto_Disk_Spanning", &lspclass::AUTO_DISK_SPANNING, 0},
    {"UnPack_Overwrite_Option", &lspclass::UNPACK_OVERWRITE_OPTION, 2},
    {"Pack_Overwrite_Option", &lspclass::PACK_OVERWRITE_OPTION, 2},
    {"Use_Path_Info", &lspclass::USE_PATH_INFO, 1},
    {"Quiet_Mode_Flag", &lspclass::PACK_QUIET_MODE_FLAG, 0},
    {"UnPack_Quiet_Mode_Flag", &lspclass::UNPACK_QUIET_MODE_FLAG, 0},
    {"Use_Temporary_Path", &lspclass::USE_TEMPORARY_PATH, 0},
};
static const Setting kSettingsAfterTemp[] = {
    {"Retain_Attributes", &lspclass::RETAIN_ATTRIBUTES, 0}, {"Read_Only_Attribute", &lspclass::READ_ONLY_ATTRIBUTE, 0},
    {"Normal_Attribute", &lspclass::NORMAL_ATTRIBUTE, 0},   {"Hidden_Attribute", &lspclass::HIDDEN_ATTRIBUTE, 0},
    {"System_Attribute", &lspclass::SYSTEM_ATTRIBUTE, 0},
};

void lspclass::LoadPreferences() {
    const IniFile ini(settingsPath());
    for (const Setting& s : kSettingsBeforeTemp) this->*s.field = readByte(ini, s.key, s.defaultValue);
    TEMP_PATH = ini.read(Section, "Temp_Path", "");  // settings values come trimmed
    for (const Setting& s : kSettingsAfterTemp) this->*s.field = readByte(ini, s.key, s.defaultValue);
    // An empty temporary folder means the platform's; the next save writes it down.
    if (TEMP_PATH.empty()) TEMP_PATH = tempFolder();
}

bool lspclass::SavePreferences() {
    IniFile ini(settingsPath());
    bool ok = true;
    for (const Setting& s : kSettingsBeforeTemp) ok = ini.write(Section, s.key, std::to_string(this->*s.field)) && ok;
    ok = ini.write(Section, "Temp_Path", TEMP_PATH) && ok;
    for (const Setting& s : kSettingsAfterTemp) ok = ini.write(Section, s.key, std::to_string(this->*s.field)) && ok;
    return ok;
}

void lspclass::SetPackFlags() {
    switch (COMPRESSION_METHOD) {
        case 1:
            COMP_MODE = LSP_METHOD_NORMAL;
            break;
        case 3:
            COMP_MODE = LSP_METHOD_STORED;
            break;
        default:
            COMP_MODE = LSP_METHOD_SUPERIOR;
            break;
    }

    PACK_FLAG = 0;
    if (PATH_INFORMATION == 3) {
        std::string base;
        if (enterPath_) {
            base = enterPath_(PACK_RELATIVE_DIRECTORY);
        } else {
            base = PACK_RELATIVE_DIRECTORY.empty() ? std::string("/") : PACK_RELATIVE_DIRECTORY;
        }
        PACK_RELATIVE_DIRECTORY = base;
        LSP_RELATIVEPATH(PACK_RELATIVE_DIRECTORY.c_str(), 1);
    } else {
        LSP_RELATIVEPATH(PACK_RELATIVE_DIRECTORY.c_str(), 0);
    }

    if (PATH_INFORMATION == 2 || PATH_INFORMATION == 3) PACK_FLAG += LSP_PF_STORE_PATHS;
    if (PACK_QUIET_MODE_FLAG != 0) PACK_FLAG += LSP_PF_QUIET;
    switch (COMPRESSION_ENGINE) {
        case 1:
            PACK_FLAG += LSP_PF_FAST;
            break;
        case 2:
            break;
        default:
            PACK_FLAG += LSP_PF_MAXIMUM;
            break;
    }
    switch (PACK_OVERWRITE_OPTION) {
        case 1:
            PACK_FLAG += LSP_PF_UPDATE;
            break;
        case 2:
            break;
        default:
            PACK_FLAG += LSP_PF_PROMPT;
            break;
    }
    if (USE_TEMPORARY_PATH != 0) PACK_FLAG += LSP_PF_TEMP_FOLDER;
    if (READ_ONLY_ATTRIBUTE != 0) PACK_FLAG += LSP_PF_READ_ONLY;
    if (HIDDEN_ATTRIBUTE == 1) PACK_FLAG += LSP_PF_HIDDEN;
    if (SYSTEM_ATTRIBUTE == 1) PACK_FLAG += LSP_PF_SYSTEM;
    if (RETAIN_ATTRIBUTES == 1) PACK_FLAG += LSP_PF_RETAIN;
    if (USE_LSP_MESSAGE_PUMP == 1) PACK_FLAG += LSP_PF_PUMP;
}

void lspclass::SetUnpackFlags() {
    UNPACK_FLAG = 0;
    if (UNPACK_QUIET_MODE_FLAG == 1) UNPACK_FLAG += LSP_UF_QUIET;
    if (USE_PATH_INFO == 1) UNPACK_FLAG += LSP_UF_USE_PATHS;
    if (CREATE_DIRECTORY == 1) UNPACK_FLAG += LSP_UF_CREATE_FOLDERS;
    switch (UNPACK_OVERWRITE_OPTION) {
        case 1:
            UNPACK_FLAG += LSP_UF_ALWAYS_OVERWRITE;
            break;
        case 2:
            break;
        default:
            UNPACK_FLAG += LSP_UF_NEVER_OVERWRITE;
            break;
    }
    if (USE_LSP_MESSAGE_PUMP == 1) UNPACK_FLAG += LSP_UF_PUMP;
}

double lspclass::Ratio(std::int64_t packed, std::int64_t unpacked) {
    if (unpacked <= 0) return 0;  // nothing to compare with
    const double quotient = static_cast<double>(packed) / static_cast<double>(unpacked);
    const double value = packed <= unpacked ? (quotient - 1) * 100 : quotient - 1;
    const double rounded = std::round(value * 100) / 100;
    return rounded == 0 ? 0.0 : rounded;  // never -0.00
}

std::string lspclass::archiveArgument() const {
    return ARCHIVE_NAME;
}

LSPQEntry lspclass::EntryFromItem(const void* itemRecord, const void* itemText) {
    LSP_ITEM item;
    std::memcpy(&item, itemRecord, sizeof item);
    LSPQEntry e;
    e.VERSION_NEEDED_TO_EXTRACT = static_cast<std::int16_t>(item.versionNeeded);

    e.GENERAL_PURPOSE_BIT_FLAG = "    ";
    if (item.attributes & LSP_ATTR_READ_ONLY) e.GENERAL_PURPOSE_BIT_FLAG[0] = 'r';
    if (item.attributes & LSP_ATTR_HIDDEN) e.GENERAL_PURPOSE_BIT_FLAG[1] = 'h';
    if (item.attributes & LSP_ATTR_SYSTEM) e.GENERAL_PURPOSE_BIT_FLAG[2] = 's';
    if (item.attributes & LSP_ATTR_ARCHIVE) e.GENERAL_PURPOSE_BIT_FLAG[3] = 'a';

    switch (item.method) {
        case LSP_METHOD_NORMAL:
            e.COMPRESSION_METHOD = "normal";
            break;
        case LSP_METHOD_SUPERIOR:
            e.COMPRESSION_METHOD = (item.attributes & LSP_ATTR_FAST)      ? "superiorF"
                                   : (item.attributes & LSP_ATTR_MAXIMUM) ? "superiorM"
                                                                          : "superiorS";
            break;
        case LSP_METHOD_STORED:
            e.COMPRESSION_METHOD = "stored";
            break;
        default:
            e.COMPRESSION_METHOD = "unknown";
            if (item.method > 0x100) e.ZIP_METHOD = static_cast<std::uint16_t>(item.method - 0x100);
            break;
    }

    e.LAST_MOD_FILE_DATE = dateNumberFromDos(item.dosDate);
    // Not timeNumberFromDos: a damaged time word still lists as a number here, not as 0.
    const unsigned time = item.dosTime;
    e.LAST_MOD_FILE_TIME =
        static_cast<std::int32_t>((time >> 11) * 360000 + ((time >> 5) & 0x3F) * 6000 + (time & 0x1F) * 200 + 1);

    e.UNCOMPRESSED_SIZE = static_cast<std::int64_t>((std::uint64_t(item.unpackedSizeHigh) << 32) | item.unpackedSize);
    e.COMPRESSED_SIZE = static_cast<std::int64_t>((std::uint64_t(item.packedSizeHigh) << 32) | item.packedSize);
    e.RATIO = Ratio(e.COMPRESSED_SIZE, e.UNCOMPRESSED_SIZE);
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(item.crc32));
    e.CRC32 = crc;
    // Names and paths exactly as stored: a blank at either end is part of the name.
    if (itemText) {
        const auto* text = static_cast<const LSP_ITEM_TEXT*>(itemText);
        e.FILENAME.assign(text->name, strnlen(text->name, sizeof text->name));
        e.ITEM_PATH_NAME.assign(text->path, strnlen(text->path, sizeof text->path));
    } else {
        e.FILENAME = fixedText(item.name, sizeof item.name);
        e.ITEM_PATH_NAME = fixedText(item.path, sizeof item.path);
    }
    e.MARK = 0;

    const std::size_t dot = e.FILENAME.rfind('.');
    if (dot != std::string::npos && dot + 1 < e.FILENAME.size()) {
        e.EXTENSION = utf8CutChars(upperCased(std::string_view(e.FILENAME).substr(dot + 1)), 3);
    }
    e.SORTNAME = upperCased(e.FILENAME);
    e.SORT_PATH_NAME = upperCased(e.ITEM_PATH_NAME);
    return e;
}

void lspclass::addEntry(const void* itemRecord, const void* itemText) {
    const auto* text = static_cast<const LSP_ITEM_TEXT*>(itemText);
    // The comment item belongs to the archive, not to the user's files.
    if (std::strncmp(text->name, ArchiveCommentItemName, sizeof text->name) == 0) return;
    LSPQEntry e = EntryFromItem(itemRecord, itemText);
    ++S_COUNT_FILES;
    S_UNCOMPRESSED_SIZE += e.UNCOMPRESSED_SIZE;
    S_COMPRESSED_SIZE += e.COMPRESSED_SIZE;
    e.SORT_ORIGINAL_ORDER = ++order_;
    LSPQ.push_back(std::move(e));
}

void lspclass::ReadDirectory() {
    char buffer1[256] = {};
    char buffer2[256] = {};
    const std::string archive = archiveArgument();
    S_COUNT_FILES = 0;
    S_UNCOMPRESSED_SIZE = 0;
    S_COMPRESSED_SIZE = 0;
    S_COMPRESSION_RATIO = 0;
    order_ = 0;
    {
        WaitCursor wait(dialogs_);
        LSPQ.clear();
        std::int16_t status = LSP_OK;
        // Names and paths of any length come beside the fixed record.
        auto text = std::make_unique<LSP_ITEM_TEXT>();
        while (status == LSP_OK) {
            LSP_ITEM item{};
            text->name[0] = text->path[0] = '\0';
            status = LSP_GETNEXTITEMEX(buffer1, buffer2, archive.c_str(), &item, text.get());
            const bool buffersEmpty = buffer1[0] == '\0' && buffer2[0] == '\0';
            if (status == LSP_OK) {
                if (buffersEmpty) addEntry(&item, text.get());
            } else if (status == LSP_END_OF_LIST) {
                // A last item handed over together with the end notice.
                if (!buffersEmpty && text->name[0] != '\0') addEntry(&item, text.get());
            } else {
                dialogs_.beep();
                // The record's name and path stand for its bytes: the rest is binary.
                std::string recordText =
                    fixedText(item.path, sizeof item.path) + fixedText(item.name, sizeof item.name);
                dialogs_.message(ErrorText(status) + "|" + fixedText(buffer1, sizeof buffer1) + "|" +
                                     fixedText(buffer2, sizeof buffer2) + "|" + archive + "|" + recordText,
                                 "Archive Error", Icon::Exclamation);
            }
        }
    }
    LSP_RESETDLL();
    S_COMPRESSION_RATIO = Ratio(S_COMPRESSED_SIZE, S_UNCOMPRESSED_SIZE);

    if (enableControl) {
        const bool enable = S_COUNT_FILES > 0;
        for (std::int32_t control :
             {LSPCLOSECONTROL, LSPADDCONTROL, LSPDELETECONTROL, LSPTESTCONTROL, LSPEXTRACTCONTROL}) {
            if (control != 0) enableControl(control, enable);
        }
    }
}

std::uint8_t lspclass::Add(const std::string& filePath, const std::string& title, const std::string& filter,
                           std::uint8_t noDialog) {
    const std::string dialogTitle = title.empty() ? std::string("Select File to Archive") : title;
    const std::string dialogFilter = filter.empty() ? std::string("All Files (*)") : filter;
    std::string file = filePath;
    if (noDialog == 0) {
        std::optional<std::string> chosen = dialogs_.openFile(dialogTitle, std::string(), dialogFilter);
        if (!chosen) return 0;
        file = *chosen;
    }
    ITEM_NAME = file;
    SetPackFlags();
    // Changing an archive in a destination waits for a backup run there to finish.
    const std::string archiveFolder = folderOfFile(archiveArgument());
    const FolderLock lock(archiveFolder, "");
    if (lock.state() == FolderLock::State::Busy) {
        dialogs_.message(folderInUseText(archiveFolder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
        return 0xFF;
    }
    std::int16_t status;
    {
        WaitCursor wait(dialogs_);
        status = LSP_PACK(ITEM_NAME.c_str(), ARCHIVE_NAME.c_str(), TEMP_PATH.c_str(), COMP_MODE, PACK_FLAG);
    }
    if (status > 1) {
        dialogs_.beep();
        dialogs_.message(ErrorText(status), "Error", Icon::Exclamation);
    } else if (status == LSP_ITEM_EXISTS) {
        dialogs_.beep();
        dialogs_.message(ITEM_NAME + " already exists.", "Warning", Icon::Exclamation);
    } else if (status == LSP_SAME_ARCHIVE) {
        dialogs_.beep();
        dialogs_.message("Cannot compress " + ARCHIVE_NAME, "Warning", Icon::Exclamation);
    }
    ReadDirectory();
    return static_cast<std::uint8_t>(status & 0xFF);
}

void lspclass::queueError() {
    dialogs_.message("Error Reading the File Queue!", "Queue Error", Icon::Exclamation);
}

bool lspclass::readEntry(std::size_t index) {
    if (index >= LSPQ.size()) {
        queueError();
        return false;
    }
    ITEM_NAME = LSPQ[index].FILENAME;
    PATH_INFO = LSPQ[index].ITEM_PATH_NAME;
    return true;
}

std::uint8_t lspclass::Delete(std::size_t index, std::uint8_t noPrompt, std::uint8_t noRelist) {
    if (!readEntry(index)) return 0;
    const std::string archive = archiveArgument();
    const std::string archiveFolder = folderOfFile(archive);
    const FolderLock lock(archiveFolder, "");
    if (lock.state() == FolderLock::State::Busy) {
        dialogs_.message(folderInUseText(archiveFolder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
        return 0;
    }
    std::int16_t status;
    if (noPrompt == 0) {
        dialogs_.beep();
        const int reply =
            dialogs_.message("Delete: " + PATH_INFO + ITEM_NAME, "Warning", Icon::Question, buttons::YesNo, answer::No);
        if (reply != answer::Yes) return 1;
        WaitCursor wait(dialogs_);
        status = LSP_DELETEITEM(ITEM_NAME.c_str(), PATH_INFO.c_str(), archive.c_str(), TEMP_PATH.c_str(), PACK_FLAG);
    } else {
        status = LSP_DELETEITEM(ITEM_NAME.c_str(), PATH_INFO.c_str(), archive.c_str(), TEMP_PATH.c_str(), PACK_FLAG);
    }
    if (status > 1) {
        dialogs_.message(ErrorText(status), "Error", Icon::Exclamation);
        LSPQ.clear();
        // After 17 the archive file itself is in doubt: do not read it again.
        if (status != LSP_E_REPLACE_FAILED) ReadDirectory();
    } else if (noRelist == 0) {
        ReadDirectory();
    }
    return 1;
}

std::size_t lspclass::DeleteMarked(std::uint8_t noRelist) {
    std::vector<const char*> names, paths;
    for (const LSPQEntry& e : LSPQ)
        if (e.MARK) {
            names.push_back(e.FILENAME.c_str());
            paths.push_back(e.ITEM_PATH_NAME.c_str());
        }
    if (names.empty()) return 0;
    const std::string archive = archiveArgument();
    const std::string archiveFolder = folderOfFile(archive);
    const FolderLock lock(archiveFolder, "");
    if (lock.state() == FolderLock::State::Busy) {
        dialogs_.message(folderInUseText(archiveFolder, lock.holder()), FolderInUseTitle, Icon::Exclamation);
        return 0;
    }
    std::int16_t status;
    {
        WaitCursor wait(dialogs_);
        status = LSP_DELETEITEMS(names.data(), paths.data(), static_cast<std::uint32_t>(names.size()), archive.c_str(),
                                 TEMP_PATH.c_str(), PACK_FLAG);
    }
    const std::size_t handed = names.size();
    if (status > 1) {
        dialogs_.message(ErrorText(status), "Error", Icon::Exclamation);
        LSPQ.clear();
        // After 17 the archive file itself is in doubt: do not read it again.
        if (status != LSP_E_REPLACE_FAILED) ReadDirectory();
    } else if (noRelist == 0) {
        ReadDirectory();
    }
    return handed;
}

std::uint8_t lspclass::Test(std::size_t index) {
    if (!readEntry(index)) return 0;
    std::uint32_t flags = LSP_UF_TEST + LSP_UF_QUIET;
    if (USE_LSP_MESSAGE_PUMP == 1) flags += LSP_UF_PUMP;
    const std::string archive = archiveArgument();
    WaitCursor wait(dialogs_);
    const std::int16_t status =
        LSP_UNPACK(ITEM_NAME.c_str(), PATH_INFO.c_str(), archive.c_str(), UNPACK_DIRECTORY.c_str(), flags);
    return static_cast<std::uint8_t>(status & 0xFF);
}

std::int16_t lspclass::Extract(std::size_t index, bool showError) {
    if (!readEntry(index)) return 1;
    SetUnpackFlags();
    // A blank field means no folder was chosen; a chosen one goes to the library as it is.
    if (trimRight(UNPACK_DIRECTORY).empty()) return LSP_CANCELLED;
    const std::string archive = archiveArgument();
    std::int16_t status;
    {
        WaitCursor wait(dialogs_);
        status =
            LSP_UNPACK(ITEM_NAME.c_str(), PATH_INFO.c_str(), archive.c_str(), UNPACK_DIRECTORY.c_str(), UNPACK_FLAG);
    }
    if (status > 1) {
        if (showError) dialogs_.message(ItemErrorText(status, LSPQ[index]), "Error", Icon::Exclamation);
        return status;
    }
    if (status == LSP_CANCELLED || status == LSP_ANSWERED_NO || status == LSP_INTERRUPTED) return status;
    return 0;
}

std::string lspclass::ItemErrorText(int status, const LSPQEntry& e) {
    if (status == LSP_E_UNKNOWN_METHOD && e.ZIP_METHOD != 0)
        return "Compression method " + std::to_string(e.ZIP_METHOD) + " is not supported";
    return ErrorText(status);
}

std::string lspclass::ErrorText(int status) {
    switch (status) {
        case 0:
        case 1:
            return {};
        case -2:
            return "Low Level interupt";
        case -5:
            return "File already exists in archive";
        case -22:
            return "NO button pressed";
        case -29:
            return "Nothing to do! (same archive)";
        case -30:
            return "CANCEL button pressed";
        case 2:
            return "LSPack archive structure error";
        case 3:
            return "Error allocation memory";
        case 4:
            return "Unexpected end of file";
        case 6:
            return "File not found in archive";
        case 7:
            return "Error creating Directory";
        case 8:
            return "LSPack internal header error";
        case 9:
            return "Unknown compression method";
        case 10:
            return "Unable to write STORED data";
        case 11:
            return "Can't read STORED data";
        case 12:
            return "Error creating Temp-File (Disk-Full?)";
        case 13:
            return "Update error - Original data has been restored";
        case 14:
            return "Stream write error - not original decompressed";
        case 15:
            return "Error creating output file";
        case 16:
            return "Delete error - Original data restored";
        case 17:
            return "Output file write failure (was replacing the original LSP file)";
        case 20:
            return "Disk full";
        case 21:
            return "Error opening archive";
        case 23:
            return "This version cannot read multi-disk archives yet";
        case 24:
            return "This version cannot read extended header format yet";
        case 25:
            return "This version cannot read PKZIP archives yet";
        case 26:
            return "Error opening source file";
        case 27:
            return "Error opening Temp-File";
        case 28:
            return "Output write failure";
        case 31:
            return "CRC-32 failure";
        case 32:
            return "More recent LSP version required";
        case 34:
            return "Not enough memory available";
        case 35:
            return "Reserved field or compression method";
        case 36:
            return "Invalid compressed data";
        case 37:
            return "More data to compress at close";
        case 38:
            return "Real size differs from recorded";
        case 39:
            return "Internal error";
        case 40:
            return "Bad command structure";
        case 41:
            return "changed while being read";
        case 42:
            return "Load library error";
        default:
            return "Unknown error - #" + std::to_string(status);
    }
}

}  // namespace quillet
