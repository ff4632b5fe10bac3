// Entry points of the unpacking library.

#include <cstring>
#include <memory>
#include <string>

#include "lsp/EntryData.h"
#include "lsp/Extract.h"
#include "lsp/Shared.h"
#include "lsp/ZipDirectory.h"
#include "lsp/lsp.h"

namespace {

using namespace lsp;

// The listing in progress: the archive's directory as it was when the listing began.
struct Listing {
    std::string archive;
    std::shared_ptr<const OpenArchive> open;
    std::size_t next = 0;
};

Listing& listing() {
    static Listing l;
    return l;
}

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

void fillItem(const ZipEntry& e, LSP_ITEM& item) {
    std::memset(&item, 0, sizeof item);
    item.versionNeeded = e.versionNeeded;
    item.attributes = static_cast<std::uint16_t>(
        e.externalAttr & (LSP_ATTR_READ_ONLY | LSP_ATTR_HIDDEN | LSP_ATTR_SYSTEM | LSP_ATTR_ARCHIVE));
    if (e.hasOwn) {
        item.method = e.ownMethod;
        if (e.ownMethod == LSP_METHOD_SUPERIOR && e.ownEngine == 1) item.attributes |= LSP_ATTR_FAST;
        if (e.ownMethod == LSP_METHOD_SUPERIOR && e.ownEngine == 2) item.attributes |= LSP_ATTR_MAXIMUM;
    } else {
        item.method = static_cast<std::uint16_t>(e.method == 8   ? int(LSP_METHOD_NORMAL)
                                                 : e.method == 0 ? int(LSP_METHOD_STORED)
                                                                 : 0x100 + e.method);
    }
    item.dosTime = e.dosTime;
    item.dosDate = e.dosDate;
    item.crc32 = e.crc;
    item.packedSize = static_cast<std::uint32_t>(e.packedSize);
    item.unpackedSize = static_cast<std::uint32_t>(e.unpackedSize);
    item.packedSizeHigh = static_cast<std::uint32_t>(e.packedSize >> 32);
    item.unpackedSizeHigh = static_cast<std::uint32_t>(e.unpackedSize >> 32);
    if (e.tooLong) {
        item.reserved[0] = LSP_ITEM_LONG_TEXT;  // the full values are in the item text only
    } else {
        std::memcpy(item.name, e.itemName.data(), e.itemName.size());
        std::memcpy(item.path, e.itemPath.data(), e.itemPath.size());
    }
}

void fillText(const ZipEntry& e, LSP_ITEM_TEXT& text) {
    text.nameLength = static_cast<std::uint16_t>(e.itemName.size());
    text.pathLength = static_cast<std::uint16_t>(e.itemPath.size());
    std::memcpy(text.name, e.itemName.data(), e.itemName.size());
    text.name[e.itemName.size()] = '\0';
    std::memcpy(text.path, e.itemPath.data(), e.itemPath.size());
    text.path[e.itemPath.size()] = '\0';
}

// One step of a listing; text null for the fixed record alone.
int16_t nextItem(char* buffer1, char* buffer2, const char* archive, LSP_ITEM* item, LSP_ITEM_TEXT* text) {
    if (!archive || !*archive || !item) {
        fillBuffer(buffer1, "No archive or no item record given");
        return LSP_E_BAD_COMMAND;
    }
    Listing& l = listing();
    const std::string path = absolutePath(archive);
    if (!l.open || l.archive != path) {
        l = Listing{};
        if (const auto s = completeBatch(&path); s != LSP_OK) {
            fillBuffer(buffer1, "The archive could not be completed");
            return s;
        }
        std::int16_t status = LSP_OK;
        std::string why;
        l.open = openArchive(path, status, why);
        if (!l.open) {
            fillBuffer(buffer1, why);
            return status;
        }
        l.archive = path;
    }
    const auto& entries = l.open->directory.entries;
    while (l.next < entries.size() && entries[l.next].isFolder) ++l.next;
    if (l.next >= entries.size()) {
        l = Listing{};  // the next call lists again from the start
        return LSP_END_OF_LIST;
    }
    const ZipEntry& e = entries[l.next++];
    const bool fits = text ? e.itemName.size() <= LSP_TEXT_MAX && e.itemPath.size() <= LSP_TEXT_MAX : !e.tooLong;
    if (!fits) {
        fillBuffer(buffer1, text ? "Item name or path longer than 4095 bytes"
                                 : "Item name or path longer than 255 bytes (listed by LSP_GETNEXTITEMEX)");
        fillBuffer(buffer2, e.zipName);
        l = Listing{};
        return LSP_E_STRUCTURE;
    }
    fillItem(e, *item);
    if (text) fillText(e, *text);
    return LSP_OK;
}

}  // namespace

extern "C" {

uint16_t LSP_U_VERSION(void) {
    return LSP_VERSION;
}

void LSP_UINIT_MP(const LSP_HOST* host) {
    EntryGuard guard;
    if (guard.reentered()) return;
    unpackHost() = host ? *host : LSP_HOST{};
}

int16_t LSP_UNPACK(const char* itemName, const char* itemPath, const char* archive, const char* destination,
                   uint32_t flags) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    // An empty item name is looked up like any other: archives of other tools may hold an
    // entry without a name, which can be tested (extracting it has no file name to give).
    if (!itemName || !archive || !*archive) return LSP_E_BAD_COMMAND;
    const std::string path = absolutePath(archive);
    if (const auto s = completeBatch(&path); s != LSP_OK) return s;
    std::int16_t status = LSP_OK;
    std::string why;
    const auto open = openArchive(path, status, why);
    if (!open) return status;
    const ZipEntry* e = open->directory.find(text(itemPath), itemName);
    if (!e) return LSP_E_NOT_FOUND;
    Progress progress(unpackHost(), (flags & LSP_UF_PUMP) != 0, e->unpackedSize);
    if (flags & LSP_UF_TEST) {
        return decodeEntry(
            open->fd, open->directory.entriesEnd, *e, [](const unsigned char*, std::size_t) { return std::int16_t(0); },
            progress);
    }
    ExtractOptions options;
    options.usePaths = (flags & LSP_UF_USE_PATHS) != 0;
    options.createFolders = (flags & LSP_UF_CREATE_FOLDERS) != 0;
    options.neverOverwrite = (flags & LSP_UF_NEVER_OVERWRITE) != 0;
    options.alwaysOverwrite = !options.neverOverwrite && (flags & LSP_UF_ALWAYS_OVERWRITE) != 0;
    options.quiet = (flags & LSP_UF_QUIET) != 0;
    return extractEntry(*open, *e, text(destination), options, unpackHost(), progress);
}

int16_t LSP_GETNEXTITEM(char* buffer1, char* buffer2, const char* archive, LSP_ITEM* item) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    return nextItem(buffer1, buffer2, archive, item, nullptr);
}

int16_t LSP_GETNEXTITEMEX(char* buffer1, char* buffer2, const char* archive, LSP_ITEM* item, LSP_ITEM_TEXT* text) {
    EntryGuard guard;
    if (guard.reentered()) return LSP_INTERRUPTED;
    if (!text) {
        fillBuffer(buffer1, "No item text given");
        return LSP_E_BAD_COMMAND;
    }
    return nextItem(buffer1, buffer2, archive, item, text);
}

void LSP_RESETDLL(void) {
    EntryGuard guard;
    if (guard.reentered()) return;
    listing() = Listing{};
    completeBatch(nullptr);
}

}  // extern "C"
