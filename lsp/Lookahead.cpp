#include "lsp/Lookahead.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>

#include "lsp/Deflate.h"

namespace lsp {

namespace {

// How far ahead: a bound on files and on bytes held, so memory stays small.
constexpr std::size_t kAheadFiles = 256;
constexpr std::size_t kAheadBytes = 16u << 20;
// The packing thread (the host's, often its user-interface thread) helps only with
// files this small, so that it never goes long without reporting progress.
constexpr std::uint64_t kHelpMax = 512u << 10;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

enum class State { Pending, Working, Ready, Unusable, Gone };

// What a prepared file holds, and the state of the file it was read from.
struct Ready {
    PreparedFile file;
    struct stat st {};
};

// Small, since a run may announce a hundred thousand files: the name is the host's.
struct Item {
    const char* path = nullptr;
    State state = State::Pending;
    bool tooLargeToHelp = false;
    std::unique_ptr<Ready> ready;
};

// Opens a file for preparing; -1 when it is not a regular file small enough to be
// compressed whole (or not above limit).
int openSmall(const std::string& path, struct stat& st, std::uint64_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > limit) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads and compresses an open file; false when it changed while read or failed.
bool prepare(int fd, const struct stat& st, int level, PreparedFile& out) {
    std::vector<unsigned char> in(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < in.size()) {
        const ssize_t n = ::read(fd, in.data() + got, in.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    struct stat after {};
    const bool ok = got == in.size() && ::fstat(fd, &after) == 0 && sameFile(st, after);
    ::close(fd);
    if (!ok) return false;
    out.size = got;
    out.crc = crcOf(0, in.data(), got);
    std::vector<unsigned char> packed;
    const std::size_t n = deflateWhole(level, in.data(), got, packed);
    out.deflated = n > 0;
    if (out.deflated) {
        packed.resize(n);
        packed.shrink_to_fit();
        out.data = std::move(packed);
    } else {
        out.data = std::move(in);
    }
    return true;
}

class Lookahead {
public:
    Lookahead() {
        // A forked child has no background thread: it starts without a list (files being
        // prepared would never become ready) and makes a thread of its own when needed.
        ::pthread_atfork([] { instance().m_.lock(); }, [] { instance().m_.unlock(); },
                         [] {
                             Lookahead& self = instance();
                             (void)self.worker_.release();
                             // The parent's waiting thread is still counted in them.
                             new (&self.work_) std::condition_variable();
                             new (&self.ready_) std::condition_variable();
                             self.clear();
                             self.m_.unlock();
                         });
    }
    ~Lookahead() {
        {
            std::lock_guard<std::mutex> lock(m_);
            quit_ = true;
        }
        work_.notify_all();
        if (worker_) worker_->join();
    }

    static Lookahead& instance() {
        static Lookahead self;
        return self;
    }

    void start(AheadList files, int level) {
        std::unique_lock<std::mutex> lock(m_);
        clear();
        if (level <= 0 || files.paths.empty()) return;
        level_ = level;
        owned_ = std::move(files.owned);
        items_.resize(files.paths.size());
        byPath_.reserve(files.paths.size());
        for (std::size_t i = 0; i < files.paths.size(); ++i) {
            items_[i].path = files.paths[i];
            byPath_.push_back({hashOf(files.paths[i]), i});
        }
        std::sort(byPath_.begin(), byPath_.end());
        if (!worker_) worker_ = std::make_unique<std::thread>([this] { run(); });
        lock.unlock();
        work_.notify_all();
    }

    void stop() {
        std::lock_guard<std::mutex> lock(m_);
        clear();
    }

    bool take(const std::string& file, int level, const struct stat& st, PreparedFile& out) {
        std::unique_lock<std::mutex> lock(m_);
        if (level != level_) return false;
        const std::size_t i = indexOf(file);
        if (i == std::string::npos) return false;
        // Files passed over by the host are not wanted any more.
        for (; cursor_ < i; ++cursor_) drop(items_[cursor_]);
        cursor_ = i + 1;
        work_.notify_all();
        const std::uint64_t generation = generation_;
        for (;;) {
            if (generation != generation_) return false;
            Item& item = items_[i];
            switch (item.state) {
                case State::Pending:
                    item.state = State::Gone;  // packed by the caller as usual
                    return false;
                case State::Unusable:
                case State::Gone:
                    item.state = State::Gone;
                    return false;
                case State::Ready: {
                    const bool usable = sameFile(item.ready->st, st);
                    held_ -= item.ready->file.data.capacity();
                    if (usable) out = std::move(item.ready->file);
                    item.ready.reset();
                    item.state = State::Gone;
                    work_.notify_all();
                    return usable;
                }
                case State::Working:
                    if (!help(lock)) ready_.wait(lock);
                    break;
            }
        }
    }

private:
    static std::uint64_t hashOf(std::string_view path) { return std::hash<std::string_view>()(path); }

    // The first item at or after the cursor with this path, or npos.
    std::size_t indexOf(const std::string& file) const {
        const std::uint64_t h = hashOf(file);
        auto at = std::lower_bound(byPath_.begin(), byPath_.end(), std::pair<std::uint64_t, std::size_t>{h, cursor_});
        for (; at != byPath_.end() && at->first == h; ++at)
            if (file == items_[at->second].path) return at->second;
        return std::string::npos;
    }

    void clear() {
        ++generation_;
        byPath_.clear();
        byPath_.shrink_to_fit();
        items_.clear();
        items_.shrink_to_fit();
        owned_.clear();
        cursor_ = 0;
        held_ = 0;
        level_ = 0;
    }

    void drop(Item& item) {
        if (item.state == State::Ready) held_ -= item.ready->file.data.capacity();
        item.ready.reset();
        item.state = State::Gone;
    }

    // The next file to prepare within the window, or npos.
    std::size_t nextPending(bool helping) {
        const std::size_t end = std::min(items_.size(), cursor_ + kAheadFiles);
        if (held_ >= kAheadBytes) return std::string::npos;
        for (std::size_t i = cursor_; i < end; ++i)
            if (items_[i].state == State::Pending && !(helping && items_[i].tooLargeToHelp)) return i;
        return std::string::npos;
    }

    // Prepares item i with the lock released.
    void prepareItem(std::unique_lock<std::mutex>& lock, std::size_t i, std::uint64_t limit) {
        const std::uint64_t generation = generation_;
        const std::string path = items_[i].path;
        const int level = level_;
        items_[i].state = State::Working;
        lock.unlock();
        struct stat st {};
        PreparedFile result;
        const int fd = openSmall(path, st, limit);
        const bool small = fd >= 0;
        const bool ok = small && prepare(fd, st, level, result);
        lock.lock();
        if (generation != generation_) return;
        Item& item = items_[i];
        if (!small && limit < kWholeMax) {
            item.state = State::Pending;  // too large to help with: left to the background thread
            item.tooLargeToHelp = true;
            return;
        }
        if (ok) {
            item.ready = std::make_unique<Ready>();
            item.ready->file = std::move(result);
            item.ready->st = st;
            item.state = State::Ready;
            held_ += item.ready->file.data.capacity();
        } else {
            item.state = State::Unusable;
        }
        ready_.notify_all();
    }

    // The packing thread, waiting for a file the background thread is preparing, prepares
    // the next small one itself. False when there is none.
    bool help(std::unique_lock<std::mutex>& lock) {
        const std::size_t j = nextPending(true);
        if (j == std::string::npos) return false;
        prepareItem(lock, j, kHelpMax);
        return true;
    }

    void run() {
        std::unique_lock<std::mutex> lock(m_);
        while (!quit_) {
            const std::size_t i = nextPending(false);
            if (i == std::string::npos) {
                work_.wait(lock);
                continue;
            }
            prepareItem(lock, i, kWholeMax);
        }
    }

    std::mutex m_;
    std::condition_variable work_;   // the background thread waits for work
    std::condition_variable ready_;  // the packing thread waits for a file being prepared
    std::unique_ptr<std::thread> worker_;
    bool quit_ = false;
    std::vector<Item> items_;
    std::deque<std::string> owned_;  // names the host's list did not hold as they are
    // The items by the hash of their path (then by position): 16 bytes a file.
    std::vector<std::pair<std::uint64_t, std::size_t>> byPath_;
    std::size_t cursor_ = 0;  // first item the packer has not asked for
    std::size_t held_ = 0;    // bytes of prepared results not yet taken
    std::uint64_t generation_ = 0;
    int level_ = 0;
};

Lookahead& lookahead() {
    return Lookahead::instance();
}

}  // namespace

void lookaheadStart(AheadList files, int level) {
    lookahead().start(std::move(files), level);
}

void lookaheadStop() {
    lookahead().stop();
}

bool lookaheadTake(const std::string& file, int level, const struct stat& st, PreparedFile& out) {
    return lookahead().take(file, level, st, out);
}

}  // namespace lsp
