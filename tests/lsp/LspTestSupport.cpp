#include "LspTestSupport.h"

#include <signal.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <memory>

namespace quillet::test {

std::vector<ListedItem> listArchive(const std::string& archive, std::int16_t* status) {
    std::vector<ListedItem> items;
    char b1[256] = "", b2[256] = "";
    LSP_ITEM record{};
    auto text = std::make_unique<LSP_ITEM_TEXT>();
    std::int16_t s;
    while ((s = LSP_GETNEXTITEMEX(b1, b2, archive.c_str(), &record, text.get())) == LSP_OK) {
        ListedItem item;
        item.name = text->name;
        item.path = text->path;
        item.method = record.method;
        item.attributes = record.attributes;
        item.dosDate = record.dosDate;
        item.dosTime = record.dosTime;
        item.crc = record.crc32;
        item.packed = record.packedSize | (static_cast<std::uint64_t>(record.packedSizeHigh) << 32);
        item.unpacked = record.unpackedSize | (static_cast<std::uint64_t>(record.unpackedSizeHigh) << 32);
        items.push_back(item);
    }
    LSP_RESETDLL();
    if (status) *status = s;
    return items;
}

const ListedItem* findItem(const std::vector<ListedItem>& items, const std::string& name) {
    for (const auto& i : items)
        if (i.name == name) return &i;
    return nullptr;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool unzipTestPasses(const std::string& archive) {
    return runCommand("unzip -tqq " + quoted(archive) + " >/dev/null 2>&1") == 0;
}

std::string unzipNames(const std::string& archive) {
    std::string out;
    FILE* p = ::popen(("unzip -Z1 " + quoted(archive) + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    ::pclose(p);
    return out;
}

std::uint32_t crcOf(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

namespace {

void onProgress(void* context, int percent) {
    auto* h = static_cast<RecordingHost*>(context);
    h->percents.push_back(percent);
    if (h->killAtProgressCall >= 0 && static_cast<int>(h->percents.size()) > h->killAtProgressCall)
        ::kill(::getpid(), SIGKILL);
}

int onStop(void* context) {
    auto* h = static_cast<RecordingHost*>(context);
    return h->stopAtProgressCall >= 0 && static_cast<int>(h->percents.size()) > h->stopAtProgressCall;
}

void onPump(void* context) {
    ++static_cast<RecordingHost*>(context)->pumps;
}

int onAsk(void* context, const char* question, const char*) {
    auto* h = static_cast<RecordingHost*>(context);
    h->questions.push_back(question);
    if (h->answers.empty()) return LSP_ANSWER_NO;
    const int a = h->answers.front();
    h->answers.erase(h->answers.begin());
    return a;
}

void add16(std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xff));
    s.push_back(static_cast<char>((v >> 8) & 0xff));
}
void add32(std::string& s, std::uint32_t v) {
    add16(s, v & 0xffff);
    add16(s, v >> 16);
}

}  // namespace

LSP_HOST RecordingHost::host() {
    LSP_HOST h{};
    h.context = this;
    h.progress = onProgress;
    h.stopRequested = onStop;
    h.pumpEvents = onPump;
    h.ask = onAsk;
    return h;
}

std::string buildZip(const std::vector<RawEntry>& entries) {
    std::string out, central;
    for (const auto& e : entries) {
        const std::uint32_t crc = e.crcOverride >= 0 ? static_cast<std::uint32_t>(e.crcOverride) : crcOf(e.data);
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        add32(out, 0x04034b50);
        add16(out, 10);
        add16(out, e.flags);
        add16(out, e.method);
        add16(out, 0);
        add16(out, (1 << 5) | 1);
        add32(out, crc);
        const std::uint32_t unpacked =
            static_cast<std::uint32_t>(e.unpackedOverride >= 0 ? e.unpackedOverride : std::int64_t(e.data.size()));
        add32(out, static_cast<std::uint32_t>(e.data.size()));
        add32(out, unpacked);
        add16(out, static_cast<std::uint32_t>(e.name.size()));
        add16(out, 0);
        out += e.name;
        out += e.data;

        add32(central, 0x02014b50);
        add16(central, 0x0314);
        add16(central, 10);
        add16(central, e.flags);
        add16(central, e.method);
        add16(central, 0);
        add16(central, (1 << 5) | 1);
        add32(central, crc);
        add32(central, static_cast<std::uint32_t>(e.data.size()));
        add32(central, unpacked);
        add16(central, static_cast<std::uint32_t>(e.name.size()));
        add16(central, 0);
        add16(central, 0);
        add16(central, 0);
        add16(central, 0);
        add32(central, e.unixMode << 16);
        add32(central, offset);
        central += e.name;
    }
    const std::uint32_t cdOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    add32(out, 0x06054b50);
    add16(out, 0);
    add16(out, 0);
    add16(out, static_cast<std::uint32_t>(entries.size()));
    add16(out, static_cast<std::uint32_t>(entries.size()));
    add32(out, static_cast<std::uint32_t>(central.size()));
    add32(out, cdOffset);
    add16(out, 0);
    return out;
}

std::string deflateRaw(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void LspTest::SetUp() {
    LSP_RESETDLL();
    LSP_PINIT_MP(nullptr);
    LSP_UINIT_MP(nullptr);
    LSP_RELATIVEPATH("", 0);
}

void LspTest::TearDown() {
    // The test's host lived in the test body, which has returned: take it away before a
    // batch still open is completed, since completing it may pump the host's events.
    LSP_PINIT_MP(nullptr);
    LSP_UINIT_MP(nullptr);
    LSP_RESETDLL();
    LSP_RELATIVEPATH("", 0);
}

}  // namespace quillet::test
