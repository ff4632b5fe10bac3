#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Dialogs.h"

namespace quillet {

// One entry of the item list LSPQ: an item of the listed archive with what the lists
// show of it. Names and paths are kept whole and exactly as stored (never trimmed, of any
// length); EXTENSION is cut to 3 characters.
struct LSPQEntry {
    std::string FILENAME;
    std::string SORTNAME;                  // FILENAME upper-cased
    std::string EXTENSION;                 // upper-cased text after the last '.', at most 3
    std::string GENERAL_PURPOSE_BIT_FLAG;  // "rhsa", blank where the attribute is clear
    std::string COMPRESSION_METHOD;        // normal, superiorF, superiorM, superiorS, stored, unknown
    std::uint16_t ZIP_METHOD = 0;          // for "unknown": the ZIP method number the item was packed with
    std::int32_t LAST_MOD_FILE_DATE = 0;   // day number (platform/DateCodes.h)
    std::int32_t LAST_MOD_FILE_TIME = 0;   // hundredths since midnight + 1
    std::int64_t UNCOMPRESSED_SIZE = 0;
    double RATIO = 0;  // percentage change, two places (lspclass::Ratio)
    std::int64_t COMPRESSED_SIZE = 0;
    std::string ITEM_PATH_NAME;  // stored path, full length
    std::string SORT_PATH_NAME;  // ITEM_PATH_NAME upper-cased
    std::string CRC32;           // eight lower-case hex digits
    std::int16_t VERSION_NEEDED_TO_EXTRACT = 0;
    std::int32_t SORT_ORIGINAL_ORDER = 0;  // 1, 2, 3 ... in listing order
    std::uint8_t MARK = 0;                 // the user's selection; 0 when listed
};

// Asks for the base folder of relative paths (the Enter Path dialog). Gets the current
// base folder; returns the chosen folder ("/" for an empty entry), or "" when cancelled.
using EnterPathFunction = std::function<std::string(const std::string& currentBase)>;

// The archive object: the system's only way to an archive. It owns the archive settings
// ("LSPprefs.ini"), turns them into the method and flag words of the compression library
// pair (lsp/lsp.h), lists an archive into LSPQ with totals, and adds, deletes, tests and
// extracts single items, reporting failures through the Dialogs seam.
class lspclass {
public:
    // configFolder is where a bare settings-file name lives (Paths::configFolder).
    // Without enterPath, the relative-path question takes the current base folder as
    // if OK had been pressed (unattended runs have nobody to ask).
    lspclass(Dialogs& dialogs, std::string configFolder, EnterPathFunction enterPath = {});

    // ---- fields, in declared order ----
    std::vector<LSPQEntry> LSPQ;
    std::string ARCHIVE_NAME;
    std::string ITEM_NAME;
    std::string PATH_INFO;
    std::string TEMP_PATH;
    std::string BACKUP_PATH;   // not used
    std::string RESTORE_PATH;  // not used
    std::string UNPACK_DIRECTORY;
    std::string PACK_RELATIVE_DIRECTORY;
    std::uint8_t ARCHIVE_OPENED = 0;      // not used
    std::uint8_t COMPRESSION_METHOD = 2;  // 1 normal, 2 superior, 3 store
    std::uint8_t COMPRESSION_ENGINE = 2;  // 1 fast, 2 standard, 3 maximum
    std::uint8_t PATH_INFORMATION = 2;    // 1 none, 2 full, 3 relative
    std::uint8_t CREATE_DIRECTORY = 0;
    std::uint8_t AUTO_DISK_SPANNING = 0;       // kept in the settings file only
    std::uint8_t UNPACK_OVERWRITE_OPTION = 2;  // 1 overwrite, 2 prompt, 3 never
    std::uint8_t PACK_OVERWRITE_OPTION = 2;    // 1 update, 2 restrict, 3 prompt
    std::uint8_t USE_PATH_INFO = 1;
    std::uint8_t PACK_QUIET_MODE_FLAG = 0;
    std::uint8_t UNPACK_QUIET_MODE_FLAG = 0;
    std::uint8_t USE_TEMPORARY_PATH = 0;
    std::uint8_t SUPPRESS_ITEM_EXISTS_CHECK = 0;  // not used
    std::uint8_t SUPPRESS_SECURE_UPDATE = 0;      // not used
    std::uint8_t RETAIN_ATTRIBUTES = 0;
    std::uint8_t READ_ONLY_ATTRIBUTE = 0;
    std::uint8_t NORMAL_ATTRIBUTE = 0;  // kept in the settings file only
    std::uint8_t HIDDEN_ATTRIBUTE = 0;
    std::uint8_t SYSTEM_ATTRIBUTE = 0;
    std::uint8_t BACKUP_MODE_FLAG = 0;  // not used
    std::uint16_t DLL_PACK_VERSION = 0;
    std::uint16_t DLL_UNPACK_VERSION = 0;
    std::uint8_t USE_LSP_MESSAGE_PUMP = 0;
    std::uint16_t COMP_MODE = 2;  // 1, 2 or 9
    std::uint32_t PACK_FLAG = 0;
    std::uint32_t UNPACK_FLAG = 0;
    // Totals of the last listing; 64-bit so that large archives add up.
    std::int64_t S_COUNT_FILES = 0;
    std::int64_t S_UNCOMPRESSED_SIZE = 0;
    std::int64_t S_COMPRESSED_SIZE = 0;
    double S_COMPRESSION_RATIO = 0;
    std::string INIFILENAME;
    // Control numbers of a host window; 0 = none. No host assigns them.
    std::int32_t LSPLISTBOX = 0;
    std::int32_t LSPCREATECONTROL = 0;
    std::int32_t LSPOPENCONTROL = 0;
    std::int32_t LSPCLOSECONTROL = 0;
    std::int32_t LSPADDCONTROL = 0;
    std::int32_t LSPDELETECONTROL = 0;
    std::int32_t LSPTESTCONTROL = 0;
    std::int32_t LSPEXTRACTCONTROL = 0;

    // Called by ReadDirectory for each non-zero control field: enable or disable it.
    std::function<void(std::int32_t control, bool enable)> enableControl;

    // ---- operations ----
    // Empty name: "LSPprefs.ini". A bare name lives in the configuration folder.
    void Init(const std::string& iniFileName = {});
    void Kill();
    void LoadPreferences();
    // false when the settings file could not be written (nothing else is reported).
    bool SavePreferences();
    void SetPackFlags();
    void SetUnpackFlags();
    void ReadDirectory();
    // Packs one file (chosen in the open-file dialog unless noDialog) into ARCHIVE_NAME.
    // Returns the status' low byte; 0 when the dialog was cancelled.
    std::uint8_t Add(const std::string& filePath = {}, const std::string& title = {}, const std::string& filter = {},
                     std::uint8_t noDialog = 0);
    // 0 when the entry cannot be read, else 1.
    std::uint8_t Delete(std::size_t index, std::uint8_t noPrompt = 0, std::uint8_t noRelist = 0);
    // Deletes every marked item of LSPQ from the archive in one rewrite, however many there
    // are, then lists the archive again unless noRelist. The number of items handed to
    // the library; 0 when none was marked or the folder is in use (said).
    std::size_t DeleteMarked(std::uint8_t noRelist = 0);
    // Status of the test call, low byte; 0 when the entry cannot be read.
    std::uint8_t Test(std::size_t index);
    // 0, or -30/-22/-2, or an error status above 1 (after its message, unless showError
    // is false); 1 when the entry cannot be read.
    std::int16_t Extract(std::size_t index, bool showError = true);

    static std::string ErrorText(int status);
    // ErrorText of a status met on item e; a method that cannot be read is named by number.
    static std::string ItemErrorText(int status, const LSPQEntry& e);
    // Percentage change of packed against unpacked size, two places: 30 of 100 gives
    // -70.00, 110 of 100 gives 0.10 (no factor 100 when the item grew), 0 of 0 gives 0.
    static double Ratio(std::int64_t packed, std::int64_t unpacked);
    // Builds the list entry of one item record (lsp/lsp.h LSP_ITEM); no totals touched.
    // With itemText (LSP_ITEM_TEXT) the name and path are taken from it, whole.
    static LSPQEntry EntryFromItem(const void* itemRecord, const void* itemText = nullptr);

    // The settings file in use (INIFILENAME resolved against the configuration folder).
    std::string settingsPath() const;
    Dialogs& dialogs() { return dialogs_; }

private:
    bool readEntry(std::size_t index);
    std::string archiveArgument() const;
    void queueError();
    void addEntry(const void* itemRecord, const void* itemText);

    Dialogs& dialogs_;
    std::string configFolder_;
    EnterPathFunction enterPath_;
    std::int32_t order_ = 0;
};

// The name of the comment item every archive carries; never listed.
inline constexpr const char* ArchiveCommentItemName = "LSPComments.inb";

}  // namespace quillet
