#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "platform/FileSystem.h"

namespace quillet {

namespace {

// Mount tables write a blank as \040, a tab as \011, a line break as \012 and a
// backslash as \134.
std::string unescaped(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        auto octal = [&](std::size_t k) { return field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

bool isNetworkType(std::string_view type) {
    static constexpr std::string_view kNetwork[] = {
        "nfs",         "nfs4",           "cifs",        "smb3",      "smbfs",        "ncpfs",         "afs",
        "ceph",        "glusterfs",      "lustre",      "9p",        "sshfs",        "fuse.sshfs",    "davfs",
        "fuse.davfs2", "fuse.glusterfs", "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.smbnetfs", "fuse.curlftpfs",
    };
    return std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
}

bool below(const std::string& path, std::string_view folder) {
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || path[folder.size()] == '/' || folder == "/";
}

bool readsOne(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "r");
    if (!f) return false;
    const int c = std::fgetc(f);
    std::fclose(f);
    return c == '1';
}

}  // namespace

MountTable MountTable::parse(const std::string& text, std::string sysRoot) {
    MountTable table;
    table.sysRoot_ = std::move(sysRoot);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        MountEntry e;
        if (!(fields >> e.device >> e.folder >> e.type)) continue;
        e.device = unescaped(e.device);
        e.folder = unescaped(e.folder);
        if (e.folder.empty() || e.folder[0] != '/') continue;
        table.entries_.push_back(std::move(e));
    }
    return table;
}

MountTable MountTable::current() {
    std::string text;
    if (std::FILE* f = std::fopen("/proc/self/mounts", "r")) {
        char buffer[8192];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        std::fclose(f);
    }
    return parse(text);
}

const MountEntry* MountTable::mountOf(const std::string& path) const {
    const MountEntry* best = nullptr;
    for (const MountEntry& e : entries_) {
        if (below(path, e.folder) && (!best || e.folder.size() >= best->folder.size())) best = &e;
    }
    return best;
}

bool MountTable::removableDevice(const std::string& device) const {
    if (device.rfind("/dev/", 0) != 0) return false;
    std::string name = device.substr(device.rfind('/') + 1);
    if (readsOne(sysRoot_ + "/block/" + name + "/removable")) return true;
    // A partition: its disk is the name without the partition number ("sdb1" -> "sdb",
    // "mmcblk0p1" -> "mmcblk0").
    const auto digits = name.find_last_not_of("0123456789");
    if (digits == std::string::npos || digits + 1 == name.size()) return false;
    name.erase(digits + 1);
    if (name.size() > 1 && name.back() == 'p' && std::isdigit(static_cast<unsigned char>(name[name.size() - 2])))
        name.pop_back();
    return readsOne(sysRoot_ + "/block/" + name + "/removable");
}

DriveType MountTable::driveType(const std::string& path) const {
    const MountEntry* m = mountOf(path);
    if (!m) return DriveType::Unknown;
    if (isNetworkType(m->type)) return DriveType::Remote;
    for (std::string_view media : {"/media", "/run/media", "/mnt"}) {
        if (below(m->folder, media)) return DriveType::Removable;
    }
    if (removableDevice(m->device)) return DriveType::Removable;
    return DriveType::Fixed;
}

}  // namespace quillet
