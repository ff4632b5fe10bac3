#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

const char* kSampleMounts =
    "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n"
    "/dev/nvme0n1p2 / ext4 rw,relatime 0 0\n"
    "/dev/nvme0n1p3 /home ext4 rw,relatime 0 0\n"
    "server:/export /home/u/nfs nfs4 rw,relatime 0 0\n"
    "//nas/share /srv/smb cifs rw 0 0\n"
    "u@host:/data /home/u/remote fuse.sshfs rw 0 0\n"
    "/dev/sdb1 /media/u/My\\040Stick vfat rw 0 0\n"
    "/dev/sdc1 /srv/usb ext4 rw 0 0\n"
    "/dev/mmcblk0p1 /srv/card ext4 rw 0 0\n"
    "tmpfs /tmp tmpfs rw 0 0\n"
    "/dev/sdd1 /mnt ext4 rw 0 0\n"
    "malformed line\n";

class MountTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A /sys where sdc and mmcblk0 say they are removable and nvme0n1 does not.
        sys_.write("block/sdc/removable", "1\n");
        sys_.write("block/mmcblk0/removable", "1\n");
        sys_.write("block/nvme0n1/removable", "0\n");
        table_ = MountTable::parse(kSampleMounts, sys_.path());
    }
    test::TempDir sys_;
    MountTable table_ = MountTable::parse("");
};

TEST_F(MountTableTest, FindsTheMountHoldingAPath) {
    EXPECT_EQ(table_.entries().size(), 11u);
    EXPECT_EQ(table_.mountOf("/home/u/docs")->folder, "/home");
    EXPECT_EQ(table_.mountOf("/home")->folder, "/home");
    EXPECT_EQ(table_.mountOf("/homework")->folder, "/");  // a folder boundary, not a text prefix
    EXPECT_EQ(table_.mountOf("/media/u/My Stick/backup")->folder, "/media/u/My Stick");
    EXPECT_EQ(table_.mountOf("/media/u/My Stick/backup")->device, "/dev/sdb1");
    // A later mount on the same folder covers the earlier one.
    const MountTable over = MountTable::parse("/dev/sda1 /data ext4 rw 0 0\nsrv:/x /data nfs rw 0 0\n");
    EXPECT_EQ(over.driveType("/data/file"), DriveType::Remote);
    EXPECT_EQ(MountTable::parse("").mountOf("/x"), nullptr);
}

TEST_F(MountTableTest, DriveTypes) {
    EXPECT_EQ(table_.driveType("/home/u/docs"), DriveType::Fixed);
    EXPECT_EQ(table_.driveType("/usr/bin"), DriveType::Fixed);
    EXPECT_EQ(table_.driveType("/tmp/x"), DriveType::Fixed);
    EXPECT_EQ(table_.driveType("/home/u/nfs/a"), DriveType::Remote);
    EXPECT_EQ(table_.driveType("/srv/smb"), DriveType::Remote);
    EXPECT_EQ(table_.driveType("/home/u/remote/x"), DriveType::Remote);
    EXPECT_EQ(table_.driveType("/media/u/My Stick/backup"), DriveType::Removable);
    EXPECT_EQ(table_.driveType("/mnt/backup"), DriveType::Removable);
    EXPECT_EQ(table_.driveType("/srv/usb/backup"), DriveType::Removable);  // sysfs says removable
    EXPECT_EQ(table_.driveType("/srv/card"), DriveType::Removable);        // partition p1 of mmcblk0
}

TEST(MountTableLive, RealFileSystemAnswers) {
    FileSystem fs;
    const DriveType root = fs.driveType("/");
    EXPECT_NE(root, DriveType::Unknown);
    EXPECT_EQ(fs.mountFolder("/"), "/");
    test::TempDir dir;
    // The mount folder of a path is a prefix of the path with its links resolved.
    const std::string m = fs.mountFolder(dir.path() + "/not/yet");
    EXPECT_EQ(m.front(), '/');
}

}  // namespace
}  // namespace quillet
