#include "lsp/Shared.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/EventsThrough.h"
#include "platform/Folders.h"

namespace lsp {

std::recursive_mutex& libraryLock() {
    static std::recursive_mutex lock;
    return lock;
}

namespace {
bool g_busy = false;
}

EntryGuard::EntryGuard() : lock_(libraryLock()), reentered_(g_busy) {
    g_busy = true;
}

EntryGuard::~EntryGuard() {
    if (!reentered_) g_busy = false;
}

LSP_HOST& packHost() {
    static LSP_HOST host{};
    return host;
}

LSP_HOST& unpackHost() {
    static LSP_HOST host{};
    return host;
}

namespace {
BatchCompleter g_completer = nullptr;
}

void setBatchCompleter(BatchCompleter completer) {
    g_completer = completer;
}

std::int16_t completeBatch(const std::string* archive) {
    return g_completer ? g_completer(archive) : 0;
}

Progress::Progress(const LSP_HOST& host, bool enabled, std::uint64_t total)
    : host_(host), enabled_(enabled && (host.progress || host.stopRequested || host.pumpEvents)), total_(total) {}

std::int16_t Progress::at(std::uint64_t done) {
    if (!enabled_) return LSP_OK;
    const int percent = total_ ? static_cast<int>(done >= total_ ? 100 : done * 100 / total_) : 0;
    if (percent == lastPercent_ && done - lastBytes_ < 65536) return LSP_OK;
    lastPercent_ = percent;
    lastBytes_ = done;
    if (host_.progress) host_.progress(host_.context, percent);
    if (host_.pumpEvents) host_.pumpEvents(host_.context);
    if (host_.stopRequested && host_.stopRequested(host_.context)) return LSP_CANCELLED;
    return LSP_OK;
}

void Progress::finish() {
    if (enabled_ && host_.progress && lastPercent_ != 100) host_.progress(host_.context, 100);
}

int askHost(const LSP_HOST& host, bool quiet, const std::string& question, const std::string& title) {
    if (quiet || !host.ask) return LSP_ANSWER_NO;
    const int answer = host.ask(host.context, question.c_str(), title.c_str());
    return answer == LSP_ANSWER_YES || answer == LSP_ANSWER_CANCEL ? answer : LSP_ANSWER_NO;
}

namespace {

// An absolute path without empty, "." or ".." parts and without a trailing "/": already
// in the form absolutePath gives (a backup hands over every file this way).
bool isNormalAbsolute(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    if (path.size() == 1) return true;
    if (path.back() == '/') return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '/') continue;
        const std::string_view part = path.substr(i + 1, path.find('/', i + 1) - (i + 1));
        if (part.empty() || part == "." || part == "..") return false;
    }
    return true;
}

}  // namespace

std::string absolutePath(std::string_view path) {
    if (isNormalAbsolute(path)) return std::string(path);
    std::string full;
    if (path.empty() || path.front() != '/') {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE) return std::string(path);
            cwd.resize(cwd.size() * 2);
        }
        full = cwd.data();
        full.push_back('/');
    }
    full.append(path);
    std::vector<std::string_view> parts;
    std::string_view rest(full);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (auto part : parts) {
        out.push_back('/');
        out.append(part);
    }
    return out.empty() ? "/" : out;
}

std::function<void()> hostPump(const LSP_HOST& host) {
    if (!host.pumpEvents) return {};
    return [&host] { host.pumpEvents(host.context); };
}

std::int16_t writeFailure(int err) {
    return err == ENOSPC || err == EDQUOT ? LSP_E_DISK_FULL : LSP_E_WRITE;
}

void fillBuffer(char* buffer, std::string_view text) {
    if (!buffer) return;
    const std::size_t n = text.size() < 254 ? text.size() : 254;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

int syncLettingEventsThrough(int fd, const LSP_HOST& host) {
    int result = 0;
    quillet::runLettingEventsThrough([&] { result = ::fsync(fd) == 0 ? 0 : errno; }, hostPump(host));
    return result;
}

void syncFolderLettingEventsThrough(const std::string& folder, const LSP_HOST& host) {
    quillet::runLettingEventsThrough([&] { quillet::syncFolder(folder); }, hostPump(host));
}

}  // namespace lsp
