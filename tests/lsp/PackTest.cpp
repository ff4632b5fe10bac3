// Packing: items, paths, methods, attributes, existing items and batches.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "LspTestSupport.h"

namespace quillet::test {
namespace {

constexpr std::uint32_t kPaths = LSP_PF_STORE_PATHS;
constexpr std::uint32_t kUnpackAll = LSP_UF_USE_PATHS | LSP_UF_CREATE_FOLDERS | LSP_UF_ALWAYS_OVERWRITE;

std::string text(std::size_t size) {
    std::string s;
    for (std::size_t i = 0; s.size() < size; ++i) s += "line " + std::to_string(i % 97) + " of some ordinary text\n";
    s.resize(size);
    return s;
}

using PackTest = LspTest;

TEST_F(PackTest, RoundTripKeepsContentExactTimesAndStoresWhatDoesNotShrink) {
    const std::string plain = dir.write("src/plain.txt", text(300000));
    const std::string noise = dir.write("src/noise.bin", randomBytes(400000, 7));
    const std::string empty = dir.write("src/empty", "");
    const std::string wide = dir.write("src/Zürich café.txt", "grüezi");
    // Nanoseconds that DOS time (2 s) and the extended timestamp (1 s) cannot hold.
    timespec times[2] = {{1600000000, 123456789}, {1600000001, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, plain.c_str(), times, 0), 0);

    for (const auto& f : {plain, noise, empty, wide})
        ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", LSP_METHOD_SUPERIOR, kPaths | LSP_PF_BATCH), LSP_OK) << f;
    LSP_RESETDLL();
    ASSERT_TRUE(unzipTestPasses(archive()));

    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 4u);
    const std::string folder = dir.file("src") + "/";
    for (const auto& item : items) EXPECT_EQ(item.path, folder);
    const ListedItem* p = findItem(items, "plain.txt");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->method, LSP_METHOD_SUPERIOR);
    EXPECT_EQ(p->crc, crcOf(readFile(plain)));
    EXPECT_EQ(p->unpacked, 300000u);
    EXPECT_LT(p->packed, 300000u / 4);
    EXPECT_EQ(findItem(items, "noise.bin")->method, LSP_METHOD_STORED);  // stored instead of deflated
    EXPECT_EQ(findItem(items, "noise.bin")->packed, 400000u);
    EXPECT_EQ(findItem(items, "empty")->unpacked, 0u);
    ASSERT_TRUE(findItem(items, "Zürich café.txt"));

    // The ZIP entry names drop the leading "/"; unzip sees the UTF-8 name.
    const std::string names = unzipNames(archive());
    EXPECT_NE(names.find(folder.substr(1) + "Zürich café.txt"), std::string::npos) << names;

    const std::string dest = dir.mkdir("out");
    for (const auto& item : items)
        ASSERT_EQ(LSP_UNPACK(item.name.c_str(), item.path.c_str(), archive().c_str(), dest.c_str(), kUnpackAll),
                  LSP_OK);
    const std::string restored = dest + folder;
    EXPECT_EQ(readFile(restored + "plain.txt"), readFile(plain));
    EXPECT_EQ(readFile(restored + "noise.bin"), readFile(noise));
    EXPECT_EQ(readFile(restored + "Zürich café.txt"), "grüezi");
    EXPECT_TRUE(std::filesystem::exists(restored + "empty"));
    struct stat st {};
    ASSERT_EQ(::stat((restored + "plain.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000001);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);

    // Other tools restore the same bytes.
    const std::string other = dir.mkdir("unzipped");
    ASSERT_EQ(runCommand("unzip -qq -o " + quoted(archive()) + " -d " + quoted(other)), 0);
    EXPECT_EQ(readFile(other + folder + "plain.txt"), readFile(plain));
}

TEST_F(PackTest, MethodAndEngineDecideTheLevelAndAreListed) {
    const std::string f = dir.write("doc.txt", text(200000) + randomBytes(2000, 3));
    struct Case {
        std::uint16_t method;
        std::uint32_t flags;
        std::uint16_t listedMethod;
        std::uint16_t engineBits;
    };
    const Case cases[] = {{LSP_METHOD_NORMAL, 0, LSP_METHOD_NORMAL, 0},
                          {LSP_METHOD_SUPERIOR, LSP_PF_FAST, LSP_METHOD_SUPERIOR, LSP_ATTR_FAST},
                          {LSP_METHOD_SUPERIOR, 0, LSP_METHOD_SUPERIOR, 0},
                          {LSP_METHOD_SUPERIOR, LSP_PF_MAXIMUM, LSP_METHOD_SUPERIOR, LSP_ATTR_MAXIMUM},
                          {LSP_METHOD_STORED, 0, LSP_METHOD_STORED, 0}};
    std::vector<std::uint64_t> sizes;
    for (const auto& c : cases) {
        const std::string a = dir.file("m" + std::to_string(sizes.size()) + ".zip");
        ASSERT_EQ(LSP_PACK(f.c_str(), a.c_str(), "", c.method, c.flags), LSP_OK);
        const auto items = listArchive(a);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].method, c.listedMethod);
        EXPECT_EQ(items[0].attributes & (LSP_ATTR_FAST | LSP_ATTR_MAXIMUM), c.engineBits);
        EXPECT_TRUE(unzipTestPasses(a));
        sizes.push_back(items[0].packed);
    }
    EXPECT_GT(sizes[1], sizes[3]);  // fast packs less tightly than maximum
    EXPECT_EQ(sizes[4], 202000u);
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 5, 0), LSP_E_BAD_COMMAND);
    EXPECT_FALSE(std::filesystem::exists(archive()));
}

TEST_F(PackTest, ItemPathsAbsoluteRelativeOrNoneAndOverlongNamesRefused) {
    const std::string base = dir.mkdir("base");
    const std::string inside = dir.write("base/sub/in.txt", "in");
    const std::string outside = dir.write("elsewhere/out.txt", "out");

    ASSERT_EQ(LSP_PACK(inside.c_str(), archive().c_str(), "", 2, 0), LSP_OK);  // no paths
    LSP_RELATIVEPATH(base.c_str(), 1);
    const std::string rel = dir.file("rel.zip");
    ASSERT_EQ(LSP_PACK(inside.c_str(), rel.c_str(), "", 2, kPaths), LSP_OK);
    ASSERT_EQ(LSP_PACK(outside.c_str(), rel.c_str(), "", 2, kPaths), LSP_OK);
    const std::string abs = dir.file("abs.zip");
    ASSERT_EQ(LSP_PACK(inside.c_str(), abs.c_str(), "", 2, kPaths | LSP_PF_ABSOLUTE_PATHS), LSP_OK);
    LSP_RELATIVEPATH("", 0);

    EXPECT_EQ(listArchive(archive())[0].path, "");
    const auto relItems = listArchive(rel);
    EXPECT_EQ(findItem(relItems, "in.txt")->path, "sub/");
    EXPECT_EQ(findItem(relItems, "out.txt")->path, dir.file("elsewhere") + "/");  // outside the base: absolute
    EXPECT_EQ(unzipNames(rel).substr(0, 11), "sub/in.txt\n");
    EXPECT_EQ(listArchive(abs)[0].path, dir.file("base/sub") + "/");

    // A relative item path restores below the destination, like an absolute one.
    const std::string dest = dir.mkdir("restore");
    ASSERT_EQ(LSP_UNPACK("in.txt", "sub/", rel.c_str(), dest.c_str(), kUnpackAll), LSP_OK);
    EXPECT_EQ(readFile(dest + "/sub/in.txt"), "in");

    // A name over 255 bytes cannot exist on Linux: refused, never cut.
    const std::string longName = dir.write(std::string(256, 'n'), "x");
    EXPECT_EQ(LSP_PACK(longName.c_str(), archive().c_str(), "", 2, LSP_PF_UPDATE), LSP_E_BAD_COMMAND);
    // A path over 255 bytes travels beside the fixed record, whole.
    std::string deep = "deep";
    while (dir.file(deep).size() < 260) deep += "/" + std::string(40, 'd');
    const std::string deepFile = dir.write(deep + "/f.txt", "x");
    EXPECT_EQ(LSP_PACK(deepFile.c_str(), archive().c_str(), "", 2, kPaths), LSP_OK);
    EXPECT_EQ(LSP_PACK(deepFile.c_str(), archive().c_str(), "", 2, 0), LSP_OK);  // without its path
    const auto listed = listArchive(archive());
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].path, dir.file(deep) + "/");
    char b1[256] = "", b2[256] = "";
    LSP_ITEM record{};
    LSP_ITEM_TEXT text{};
    ASSERT_EQ(LSP_GETNEXTITEMEX(b1, b2, archive().c_str(), &record, &text), LSP_OK);
    ASSERT_EQ(LSP_GETNEXTITEMEX(b1, b2, archive().c_str(), &record, &text), LSP_OK);
    EXPECT_EQ(record.path[0], '\0') << "the record never holds a part of the path";
    EXPECT_EQ(record.reserved[0], LSP_ITEM_LONG_TEXT);
    EXPECT_EQ(text.pathLength, dir.file(deep).size() + 1);
    LSP_RESETDLL();
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), &record), LSP_OK);
    EXPECT_EQ(LSP_GETNEXTITEM(b1, b2, archive().c_str(), &record), LSP_E_STRUCTURE);  // the record alone: refused
    LSP_RESETDLL();
    const std::string deepDest = dir.mkdir("deep-restore");
    ASSERT_EQ(LSP_UNPACK("f.txt", listed[1].path.c_str(), archive().c_str(), deepDest.c_str(), kUnpackAll), LSP_OK);
    EXPECT_EQ(readFile(deepDest + dir.file(deep) + "/f.txt"), "x");
}

TEST_F(PackTest, ExistingItemIsRefusedReplacedOrAskedAbout) {
    const std::string f = dir.write("a.txt", "first");
    ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths), LSP_OK);
    const std::string before = readFile(archive());
    dir.write("a.txt", "second version");

    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths), LSP_ITEM_EXISTS);                  // restrict
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_PROMPT), LSP_ITEM_EXISTS);  // no host
    RecordingHost host;
    const LSP_HOST h = host.host();
    LSP_PINIT_MP(&h);
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_PROMPT | LSP_PF_QUIET), LSP_ITEM_EXISTS);
    EXPECT_TRUE(host.questions.empty());
    host.answers = {LSP_ANSWER_NO, LSP_ANSWER_CANCEL};
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_PROMPT), LSP_ANSWERED_NO);
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_PROMPT), LSP_CANCELLED);
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_NE(host.questions[0].find("a.txt"), std::string::npos);
    EXPECT_EQ(readFile(archive()), before);  // nothing changed by any refusal

    host.answers = {LSP_ANSWER_YES};
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_PROMPT), LSP_OK);
    auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].unpacked, 14u);

    dir.write("a.txt", "third");
    EXPECT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_UPDATE), LSP_OK);
    items = listArchive(archive());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].crc, crcOf("third"));
    EXPECT_TRUE(unzipTestPasses(archive()));

    // The same name in another folder is another item.
    const std::string g = dir.write("other/a.txt", "elsewhere");
    EXPECT_EQ(LSP_PACK(g.c_str(), archive().c_str(), "", 2, kPaths), LSP_OK);
    EXPECT_EQ(listArchive(archive()).size(), 2u);
    // Without paths both are "a.txt": restrict refuses the second.
    const std::string flat = dir.file("flat.zip");
    EXPECT_EQ(LSP_PACK(f.c_str(), flat.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    EXPECT_EQ(LSP_PACK(g.c_str(), flat.c_str(), "", 2, LSP_PF_BATCH), LSP_ITEM_EXISTS);
}

TEST_F(PackTest, AttributeFlagsRecordDosBitsAndTheModeAlwaysComesBack) {
    const std::string ro = dir.write("readonly.txt", "r");
    const std::string hidden = dir.write(".hidden", "h");
    const std::string script = dir.write("run.sh", "#!/bin/sh\n");
    ::chmod(ro.c_str(), 0444);
    ::chmod(script.c_str(), 0750);

    const std::string plainArc = dir.file("plain.zip");
    const std::string attrArc = dir.file("attr.zip");
    for (const auto& f : {ro, hidden, script}) {
        ASSERT_EQ(LSP_PACK(f.c_str(), plainArc.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
        ASSERT_EQ(LSP_PACK(f.c_str(), attrArc.c_str(), "", 2,
                           LSP_PF_BATCH | LSP_PF_READ_ONLY | LSP_PF_HIDDEN | LSP_PF_RETAIN),
                  LSP_OK);
    }
    LSP_RESETDLL();
    const auto plain = listArchive(plainArc);
    const auto attr = listArchive(attrArc);
    EXPECT_EQ(findItem(plain, "readonly.txt")->attributes & 0xff, LSP_ATTR_ARCHIVE);
    EXPECT_EQ(findItem(plain, ".hidden")->attributes & 0xff, LSP_ATTR_ARCHIVE);
    EXPECT_EQ(findItem(attr, "readonly.txt")->attributes & 0xff, LSP_ATTR_ARCHIVE | LSP_ATTR_READ_ONLY);
    EXPECT_EQ(findItem(attr, ".hidden")->attributes & 0xff, LSP_ATTR_ARCHIVE | LSP_ATTR_HIDDEN);
    EXPECT_EQ(findItem(attr, "run.sh")->attributes & 0xff, LSP_ATTR_ARCHIVE);

    const std::string withMode = dir.mkdir("with");
    const std::string without = dir.mkdir("without");
    ASSERT_EQ(LSP_UNPACK("run.sh", "", attrArc.c_str(), withMode.c_str(), 0), LSP_OK);
    ASSERT_EQ(LSP_UNPACK("run.sh", "", plainArc.c_str(), without.c_str(), 0), LSP_OK);
    struct stat st {};
    ASSERT_EQ(::stat((withMode + "/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    ASSERT_EQ(::stat((without + "/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);  // a restore gives the file its permissions back with or without the flag
}

TEST_F(PackTest, SystemFlagStoresALinkAsALinkOtherwiseItsTarget) {
    const std::string target = dir.write("data/target.txt", "target content");
    const std::string link = dir.file("data/link.txt");
    ASSERT_EQ(::symlink("target.txt", link.c_str()), 0);
    const std::string dangling = dir.file("data/dangling");
    ASSERT_EQ(::symlink("nowhere", dangling.c_str()), 0);

    const std::string followed = dir.file("followed.zip");
    ASSERT_EQ(LSP_PACK(link.c_str(), followed.c_str(), "", 2, 0), LSP_OK);
    EXPECT_EQ(LSP_PACK(dangling.c_str(), followed.c_str(), "", 2, 0), LSP_E_OPEN_SOURCE);
    ASSERT_EQ(LSP_PACK(link.c_str(), archive().c_str(), "", 2, LSP_PF_SYSTEM | LSP_PF_BATCH), LSP_OK);
    ASSERT_EQ(LSP_PACK(dangling.c_str(), archive().c_str(), "", 2, LSP_PF_SYSTEM), LSP_OK);
    EXPECT_TRUE(unzipTestPasses(archive()));
    EXPECT_EQ(findItem(listArchive(archive()), "link.txt")->attributes & LSP_ATTR_SYSTEM, LSP_ATTR_SYSTEM);
    EXPECT_EQ(listArchive(followed)[0].unpacked, 14u);

    const std::string dest = dir.mkdir("out");
    ASSERT_EQ(LSP_UNPACK("link.txt", "", archive().c_str(), dest.c_str(), 0), LSP_OK);
    char buf[64] = {};
    ASSERT_GT(::readlink((dest + "/link.txt").c_str(), buf, sizeof buf - 1), 0);
    EXPECT_STREQ(buf, "target.txt");
    ASSERT_EQ(LSP_UNPACK("link.txt", "", followed.c_str(), dest.c_str(), LSP_UF_ALWAYS_OVERWRITE), LSP_OK);
    struct stat st {};
    ASSERT_EQ(::lstat((dest + "/link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));  // the link was replaced, not written through
    EXPECT_EQ(readFile(dest + "/link.txt"), "target content");
}

TEST_F(PackTest, SourceThatCannotBeReadAndTheArchiveItselfAreRefused) {
    EXPECT_EQ(LSP_PACK(dir.file("missing").c_str(), archive().c_str(), "", 2, 0), LSP_E_OPEN_SOURCE);
    EXPECT_EQ(LSP_PACK(dir.mkdir("folder").c_str(), archive().c_str(), "", 2, 0), LSP_E_OPEN_SOURCE);
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LSP_PACK(fifo.c_str(), archive().c_str(), "", 2, 0), LSP_E_OPEN_SOURCE);  // and does not hang
    EXPECT_FALSE(std::filesystem::exists(archive()));
    EXPECT_EQ(LSP_PACK("", archive().c_str(), "", 2, 0), LSP_E_BAD_COMMAND);
    if (::geteuid() != 0) {  // root reads everything
        const std::string locked = dir.write("locked.txt", "secret");
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(LSP_PACK(locked.c_str(), archive().c_str(), "", 2, 0), LSP_E_OPEN_SOURCE);
    }

    const std::string f = dir.write("f.txt", "f");
    ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, 0), LSP_OK);
    EXPECT_EQ(LSP_PACK(archive().c_str(), archive().c_str(), "", 2, 0), LSP_SAME_ARCHIVE);
    EXPECT_EQ(listArchive(archive()).size(), 1u);
}

TEST_F(PackTest, BatchWritesTheArchiveOnceWhenCompleted) {
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) files.push_back(dir.write("f" + std::to_string(i) + ".txt", text(1000 + i)));
    const std::string other = dir.file("other.zip");

    // Completed by LSP_RESETDLL; nothing under the archive's name until then.
    ASSERT_EQ(LSP_PACK(files[0].c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    ASSERT_EQ(LSP_PACK(files[1].c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    EXPECT_FALSE(std::filesystem::exists(archive()));
    ASSERT_EQ(LSP_PACK(files[0].c_str(), other.c_str(), "", 2, 0), LSP_OK);  // another archive completes it
    ASSERT_TRUE(std::filesystem::exists(archive()));
    EXPECT_EQ(listArchive(archive()).size(), 2u);

    // Appending to a finished archive in a batch, completed by a call without the flag.
    ASSERT_EQ(LSP_PACK(files[2].c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    const std::string unchanged = readFile(archive());
    ASSERT_EQ(LSP_PACK(files[3].c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    EXPECT_EQ(readFile(archive()), unchanged);
    ASSERT_EQ(LSP_PACK(files[4].c_str(), archive().c_str(), "", 2, 0), LSP_OK);
    EXPECT_EQ(listArchive(archive()).size(), 5u);
    EXPECT_TRUE(unzipTestPasses(archive()));

    // An unpack-side call on the archive completes it; one on another archive does not.
    const std::string third = dir.file("third.zip");
    ASSERT_EQ(LSP_PACK(files[0].c_str(), third.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    LSP_ITEM item{};
    char b1[256] = "", b2[256] = "";
    ASSERT_EQ(LSP_GETNEXTITEM(b1, b2, other.c_str(), &item), LSP_OK);
    EXPECT_FALSE(std::filesystem::exists(third));
    EXPECT_EQ(LSP_UNPACK("f0.txt", "", third.c_str(), "", LSP_UF_TEST), LSP_OK);
    EXPECT_TRUE(std::filesystem::exists(third));

    // A call without the flag completes the batch even when its own item is refused.
    const std::string fourth = dir.file("fourth.zip");
    ASSERT_EQ(LSP_PACK(files[0].c_str(), fourth.c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    EXPECT_EQ(LSP_PACK(files[0].c_str(), fourth.c_str(), "", 2, 0), LSP_ITEM_EXISTS);
    EXPECT_TRUE(std::filesystem::exists(fourth));
}

TEST_F(PackTest, BatchStillOpenAtProcessEndIsCompleted) {
    const std::string f = dir.write("f.txt", "last words");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int s = LSP_PACK(f.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH);
        std::exit(s == LSP_OK ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(unzipTestPasses(archive()));
    EXPECT_EQ(listArchive(archive()).size(), 1u);
}

TEST_F(PackTest, CommentItemIsAddedInTheBatchAndReplacedLater) {
    // The comment item is packed by its bare name from the working folder.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string data = dir.write("data.txt", "data");
    ASSERT_EQ(LSP_PACK(data.c_str(), archive().c_str(), "", 2, kPaths | LSP_PF_BATCH), LSP_OK);
    LSP_RESETDLL();
    dir.write("LSPComments.inb", std::string(1016, 'A'));
    EXPECT_EQ(LSP_PACK("LSPComments.inb", archive().c_str(), "", 2, 0x2C), LSP_OK);
    dir.write("LSPComments.inb", std::string(1016, 'B'));
    EXPECT_EQ(LSP_PACK("LSPComments.inb", archive().c_str(), "", 2, LSP_PF_UPDATE), LSP_OK);
    std::filesystem::current_path(previous);

    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(findItem(items, "LSPComments.inb")->path, "");
    const std::string dest = dir.mkdir("program");
    ASSERT_EQ(LSP_UNPACK("LSPComments.inb", "", archive().c_str(), (dest + "/").c_str(), 0x21), LSP_OK);
    EXPECT_EQ(readFile(dest + "/LSPComments.inb"), std::string(1016, 'B'));
    EXPECT_TRUE(unzipTestPasses(archive()));
}

TEST_F(PackTest, ReplacingWithinABatchLeavesNoDeadData) {
    const std::string f = dir.write("f.txt", randomBytes(50000, 9));
    const std::string g = dir.write("g.txt", "g");
    ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    ASSERT_EQ(LSP_PACK(g.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK);
    dir.write("f.txt", "small now");
    ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH | LSP_PF_UPDATE), LSP_OK);
    LSP_RESETDLL();
    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(findItem(items, "f.txt")->crc, crcOf("small now"));
    EXPECT_LT(std::filesystem::file_size(archive()), 1000u);  // the first f.txt is gone
    EXPECT_TRUE(unzipTestPasses(archive()));
}

TEST_F(PackTest, CallsFromInsideACallbackAreRefused) {
    // A host whose event pump tries to use the library while it is packing.
    struct Reentry {
        std::string archive, file;
        std::vector<int> statuses;
    } r{archive(), dir.write("other.txt", "other"), {}};
    LSP_HOST host{};
    host.context = &r;
    host.pumpEvents = [](void* c) {
        auto* r = static_cast<Reentry*>(c);
        char b1[256] = "", b2[256] = "";
        LSP_ITEM item{};
        r->statuses.push_back(LSP_GETNEXTITEM(b1, b2, r->archive.c_str(), &item));
        r->statuses.push_back(LSP_PACK(r->file.c_str(), r->archive.c_str(), "", 2, LSP_PF_BATCH));
        LSP_RESETDLL();  // must not complete the batch under the running call
    };
    LSP_PINIT_MP(&host);
    const std::string big = dir.write("big.txt", text(1 << 20));
    ASSERT_EQ(LSP_PACK(big.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH | LSP_PF_PUMP), LSP_OK);
    ASSERT_EQ(LSP_PACK(big.c_str(), dir.file("second.zip").c_str(), "", 2, LSP_PF_PUMP), LSP_OK);
    ASSERT_FALSE(r.statuses.empty());
    for (int s : r.statuses) EXPECT_EQ(s, LSP_INTERRUPTED);
    LSP_PINIT_MP(nullptr);
    const auto items = listArchive(archive());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "big.txt");
    EXPECT_TRUE(unzipTestPasses(archive()));
}

TEST_F(PackTest, ManyItemsUseZip64EndRecords) {
    const std::string folder = dir.mkdir("many");
    for (int i = 0; i < 66000; ++i) {
        const std::string f = folder + "/" + std::to_string(i);
        ::close(::creat(f.c_str(), 0644));
        ASSERT_EQ(LSP_PACK(f.c_str(), archive().c_str(), "", 2, LSP_PF_BATCH), LSP_OK) << i;
    }
    LSP_RESETDLL();
    EXPECT_EQ(listArchive(archive()).size(), 66000u);
    EXPECT_TRUE(unzipTestPasses(archive()));
}

}  // namespace
}  // namespace quillet::test
