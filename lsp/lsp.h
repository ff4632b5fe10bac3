/* The compression library pair: a packing library (lspack) and an unpacking library
 * (lsunpack) behind one C interface. Archives are standard ZIP files, so every backup
 * stays restorable with any unzip tool.
 *
 * Texts are NUL-terminated 8-bit strings (UTF-8 on this system); every result is a
 * 16-bit signed status. The libraries have no user interface: where they would ask or
 * report they call the host callbacks given to LSP_PINIT_MP / LSP_UINIT_MP, and
 * without them they take the safe choice (never replace, never overwrite).
 *
 * Calls may come from any thread; they are serialised by one lock. A call made from
 * inside a host callback of a call in progress (the host pumping its events) is refused
 * with -2 (LSP_INTERRUPTED); the entry points without a result then do nothing.
 */
#ifndef QUILLET_LSP_H
#define QUILLET_LSP_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Statuses ------------------------------------------------------------------ */
enum {
    LSP_OK = 0,
    LSP_END_OF_LIST = 1, /* listing: no more items; elsewhere "no error" */
    LSP_INTERRUPTED = -2,
    LSP_ITEM_EXISTS = -5,   /* restrict mode, or the safe answer when no host can be asked */
    LSP_ANSWERED_NO = -22,  /* the host answered No, or "never overwrite" met an existing file */
    LSP_SAME_ARCHIVE = -29, /* the file to pack is the archive itself (or its temporary copy) */
    LSP_CANCELLED = -30,    /* the host answered Cancel or asked to stop */

    LSP_E_STRUCTURE = 2, /* not a ZIP archive, damaged directory; an item path with ".." */
    LSP_E_MEMORY = 3,
    LSP_E_UNEXPECTED_EOF = 4, /* truncated archive or item data */
    LSP_E_NOT_FOUND = 6,      /* no item of that name and path */
    LSP_E_CREATE_FOLDER = 7,
    LSP_E_HEADER = 8, /* local header does not match the directory */
    LSP_E_UNKNOWN_METHOD = 9,
    LSP_E_CREATE_TEMP = 12,
    LSP_E_UPDATE_RESTORED = 13, /* replacing an item failed; the archive is as it was */
    LSP_E_CREATE_OUTPUT = 15,   /* target not made: folder missing, a link in the way, a link leading out */
    LSP_E_DELETE_RESTORED = 16, /* deleting failed; the archive is as it was */
    LSP_E_REPLACE_FAILED = 17,  /* the finished copy could not be renamed over the archive, which is kept */
    LSP_E_DISK_FULL = 20,
    LSP_E_OPEN_ARCHIVE = 21,
    LSP_E_MULTI_DISK = 23,
    LSP_E_OPEN_SOURCE = 26, /* the file to pack cannot be opened or read */
    LSP_E_OPEN_TEMP = 27,
    LSP_E_WRITE = 28, /* any other write failure */
    LSP_E_CRC = 31,
    LSP_E_RESERVED = 35, /* encrypted or otherwise unsupported item */
    LSP_E_BAD_DATA = 36, /* compressed data cannot be decoded */
    LSP_E_SIZE_MISMATCH = 38,
    LSP_E_INTERNAL = 39,
    /* bad argument: empty name, name over 255 or path over LSP_TEXT_MAX bytes, unknown method */
    LSP_E_BAD_COMMAND = 40,
    LSP_E_CHANGED = 41 /* the file changed while it was read, twice: it is left out */
};

/* ---- Methods (LSP_PACK) -------------------------------------------------------- */
enum {
    LSP_METHOD_NORMAL = 1,   /* deflate at a light fixed level (3) */
    LSP_METHOD_SUPERIOR = 2, /* deflate at the engine's level: fast 1, standard 6, maximum 9 */
    LSP_METHOD_STORED = 9
};
/* Data that does not shrink is stored whatever the method; the listing then reports 9. */

/* ---- Pack flags (LSP_PACK, LSP_DELETEITEM) ------------------------------------- */
enum {
    LSP_PF_QUIET = 0x0001,       /* never ask the host; questions take the safe answer */
    LSP_PF_STORE_PATHS = 0x0002, /* item path = the file's absolute folder with trailing "/" */
    LSP_PF_UPDATE = 0x0004,      /* replace an item of the same name and path */
    /* 0x0008: absolute paths. With LSP_PF_STORE_PATHS the absolute folder is stored even
     * while LSP_RELATIVEPATH is on; backup runs set it so that a restore "to the original
     * places" finds the original folders. Without LSP_PF_STORE_PATHS it does nothing. */
    LSP_PF_ABSOLUTE_PATHS = 0x0008,
    LSP_PF_PROMPT = 0x0010, /* an existing item: ask the host (Yes replace, No -22, Cancel -30) */
    /* 0x0020: batch appending. The archive stays open between calls and its directory is
     * written once, when the batch is completed: LSP_RESETDLL, a pack call naming another
     * archive or without 0x0020, LSP_DELETEITEM, any unpack-side call on the archive, or
     * the end of the process. Until then the archive on disk is unchanged (new archives
     * appear only when completed). */
    LSP_PF_BATCH = 0x0020,
    LSP_PF_TEMP_FOLDER = 0x0080, /* temporary archive in the temporary-folder argument, not beside the archive */
    LSP_PF_READ_ONLY = 0x0100,   /* record the read-only bit (owner lacks write permission) */
    LSP_PF_HIDDEN = 0x0200,      /* record the hidden bit (name begins with ".") */
    LSP_PF_SYSTEM = 0x0400,      /* a symbolic link is stored as a link (system bit) instead of what it points to */
    LSP_PF_RETAIN = 0x0800,      /* kept in the item; extraction restores the recorded permissions anyway */
    LSP_PF_FAST = 0x1000,        /* superior method at level 1 */
    LSP_PF_MAXIMUM = 0x2000,     /* superior method at level 9 */
    LSP_PF_PUMP = 0x4000         /* report progress, pump events and honour stop requests */
    /* Without UPDATE or PROMPT an existing item gives -5 (restrict). */
};

/* ---- Unpack flags (LSP_UNPACK) ------------------------------------------------- */
enum {
    LSP_UF_QUIET = 0x0001,           /* never ask the host; an existing file is not overwritten (-22) */
    LSP_UF_USE_PATHS = 0x0002,       /* restore below the destination at the stored path */
    LSP_UF_NEVER_OVERWRITE = 0x0004, /* an existing file gives -22 and is left alone */
    LSP_UF_CREATE_FOLDERS = 0x0008,  /* create missing folders (else a missing folder gives 15) */
    LSP_UF_TEST = 0x0010,            /* decode and check size and CRC-32, write nothing */
    LSP_UF_ALWAYS_OVERWRITE = 0x0020,
    LSP_UF_PUMP = 0x4000
    /* Neither 0x0004 nor 0x0020: ask the host (Yes overwrite, No -22, Cancel -30). */
};

/* ---- Item record of LSP_GETNEXTITEM: 548 bytes, little-endian, packed ---------- */
enum {
    LSP_ATTR_READ_ONLY = 0x01,
    LSP_ATTR_HIDDEN = 0x02,
    LSP_ATTR_SYSTEM = 0x04,
    LSP_ATTR_ARCHIVE = 0x20,
    LSP_ATTR_FAST = 0x100,   /* superior method, fast engine */
    LSP_ATTR_MAXIMUM = 0x200 /* superior method, maximum engine */
};

#pragma pack(push, 1)
typedef struct LSP_ITEM {
    uint16_t versionNeeded; /*   0 */
    uint16_t attributes;    /*   2: LSP_ATTR_* */
    /* 4: 1, 2 or 9 for items this library wrote; deflate by other tools reports 1, their
     * stored items 9, and any other ZIP method m reports 0x100 + m. */
    uint16_t method;
    uint16_t dosTime;          /*   6: MS-DOS time, local */
    uint16_t dosDate;          /*   8: MS-DOS date, local */
    uint32_t crc32;            /*  10 */
    uint32_t packedSize;       /*  14: low 32 bits */
    uint32_t unpackedSize;     /*  18: low 32 bits */
    uint32_t packedSizeHigh;   /*  22: high 32 bits (reserved bytes of the record) */
    uint32_t unpackedSizeHigh; /*  26: high 32 bits */
    uint8_t reserved[6];       /*  30: zero, except reserved[0] bit LSP_ITEM_LONG_TEXT */
    char name[256];            /*  36: item name, NUL-terminated */
    char path[256];            /* 292: item path with trailing "/", or empty */
} LSP_ITEM;
#pragma pack(pop)

/* ---- Long names and paths: the item text beside the record ---------------------
 * The fixed record holds a name and a path of at most 255 bytes each. Linux names are
 * at most 255 bytes, but a path may be up to PATH_MAX (4096 with its NUL), so the full
 * values travel beside the record: LSP_GETNEXTITEMEX lists like LSP_GETNEXTITEM and also
 * fills an LSP_ITEM_TEXT with the item's name and path, whole and unchanged (any byte
 * but NUL; blanks at either end, "\", "*", "?", "[" and bytes that are not UTF-8 are
 * part of the name). When both fit, the record's own name and path hold them too; when
 * one does not, both record fields are left empty and reserved[0] has LSP_ITEM_LONG_TEXT,
 * so a reader of the record alone never takes a part of a path for the whole.
 * LSP_GETNEXTITEM itself keeps refusing such an item (status 2, buffer2 its name).
 * LSP_PACK, LSP_UNPACK and LSP_DELETEITEM take NUL-terminated texts of any such length.
 * Nothing is ever cut: a name or path longer than LSP_TEXT_MAX is refused (status 2 when
 * listed, 40 when packed). */
enum { LSP_TEXT_MAX = 4095, LSP_ITEM_LONG_TEXT = 0x01 };

typedef struct LSP_ITEM_TEXT {
    uint16_t nameLength;         /* bytes of name, without the NUL */
    uint16_t pathLength;         /* bytes of path, without the NUL */
    char name[LSP_TEXT_MAX + 1]; /* item name, NUL-terminated */
    char path[LSP_TEXT_MAX + 1]; /* item path with trailing "/", or empty */
} LSP_ITEM_TEXT;

/* ---- Host callbacks ------------------------------------------------------------ */
enum { LSP_ANSWER_YES = 1, LSP_ANSWER_NO = 2, LSP_ANSWER_CANCEL = 3 };

typedef struct LSP_HOST {
    void* context; /* handed back to every callback */
    /* Percent (0-100) of the current item; at least every 1% or 64 KiB of a large item. */
    void (*progress)(void* context, int percent);
    /* Non-zero asks the library to abandon the current item (status -30). */
    int (*stopRequested)(void* context);
    /* Lets the host process its pending events. */
    void (*pumpEvents)(void* context);
    /* A Yes/No/Cancel question; "|" starts a new line. Returns LSP_ANSWER_*. */
    int (*ask)(void* context, const char* question, const char* title);
} LSP_HOST;

/* ---- Entry points: packing library --------------------------------------------- */
uint16_t LSP_P_VERSION(void);
/* The callbacks are copied; NULL (or NULL members) means none. */
void LSP_PINIT_MP(const LSP_HOST* host);
int16_t LSP_PACK(const char* file, const char* archive, const char* tempFolder, uint16_t method, uint32_t flags);
/* Deleting the last item leaves an empty (valid) archive. */
int16_t LSP_DELETEITEM(const char* itemName, const char* itemPath, const char* archive, const char* tempFolder,
                       uint32_t flags);
/* Deletes count items (itemNames[i] at itemPaths[i]; a NULL path is none) in one rewrite of
 * the archive, whatever their number. Items that are not there are passed over;
 * LSP_E_NOT_FOUND when none of them is. Otherwise as LSP_DELETEITEM. */
int16_t LSP_DELETEITEMS(const char* const* itemNames, const char* const* itemPaths, uint32_t count, const char* archive,
                        const char* tempFolder, uint32_t flags);
/* The files the host will pack next, in that order, with the method and flags it will
 * give LSP_PACK. The library reads and compresses them ahead on a second thread while it
 * writes; an LSP_PACK of one of them uses that work when the file is still as it was
 * read, and packs it afresh otherwise, so every result is the same without the call. A
 * new call replaces the list; count 0, or LSP_RESETDLL, ends it. The library keeps the
 * pointers, not copies of the names: they must stay as they are until the list is
 * replaced or ended. */
void LSP_LOOKAHEAD(const char* const* files, uint32_t count, uint16_t method, uint32_t flags);
/* ---- Copying unchanged items from an earlier archive (LSP_PACK) ---------------
 * LSP_REFERENCE names an earlier archive of the same files (a backup's newest archive).
 * Its directory is read once and the file kept open until the next LSP_REFERENCE call;
 * NULL or "" names none. From then on LSP_PACK copies an item's packed bytes and CRC-32
 * straight from it, without reading the file, when the file's size, modification time
 * (nanoseconds), change time, inode and device equal what that archive recorded for the
 * item of the same name and path, and the method, engine, flags and attributes asked now
 * are those it was packed with; anything else is packed anew. The packing library records
 * these for every regular file it packs (in the directory only: older readers pass over
 * them), except a file changed within the current clock tick; items of archives written
 * before it did so are always packed anew.
 * Every copied item is checked on the way against a check value over its local header
 * fields, packed bytes, CRC and sizes that was recorded with it. An item whose local header
 * or bytes do not match is not copied but packed anew, and the archive is no longer used
 * for any item; a write failure or a stop request ends the item as in any pack call.
 * Returns 0, or the status of opening (21) or reading its directory (2, 4, 23): no
 * archive is then used. */
int16_t LSP_REFERENCE(const char* archive);
/* Items copied from the reference archive since LSP_REFERENCE named it. */
uint32_t LSP_REFERENCECOPIED(void);
/* With on = 1, stored paths are relative to base (files outside it keep absolute paths). */
void LSP_RELATIVEPATH(const char* base, int on);

/* ---- Entry points: unpacking library ------------------------------------------- */
uint16_t LSP_U_VERSION(void);
void LSP_UINIT_MP(const LSP_HOST* host);
int16_t LSP_UNPACK(const char* itemName, const char* itemPath, const char* archive, const char* destination,
                   uint32_t flags);
/* Lists one item per call: 0 and the record filled (both buffers left empty), 1 at the end
 * (the next call starts again), above 1 an error; then buffer1 holds what went wrong and
 * buffer2 the item name concerned (each at most 254 characters and the NUL). */
int16_t LSP_GETNEXTITEM(char* buffer1, char* buffer2, const char* archive, LSP_ITEM* item);
/* The same listing with the full name and path in text (see LSP_ITEM_TEXT). */
int16_t LSP_GETNEXTITEMEX(char* buffer1, char* buffer2, const char* archive, LSP_ITEM* item, LSP_ITEM_TEXT* text);
/* Ends a listing and completes any open batch. */
void LSP_RESETDLL(void);

enum { LSP_VERSION = 1800 };

#ifdef __cplusplus
}

static_assert(sizeof(LSP_ITEM) == 548, "item record is 548 bytes");
static_assert(offsetof(LSP_ITEM, crc32) == 10, "item record layout");
static_assert(offsetof(LSP_ITEM, packedSizeHigh) == 22, "item record layout");
static_assert(offsetof(LSP_ITEM, unpackedSizeHigh) == 26, "item record layout");
static_assert(offsetof(LSP_ITEM, name) == 36, "item record layout");
static_assert(offsetof(LSP_ITEM, path) == 292, "item record layout");
#endif

#endif /* QUILLET_LSP_H */
