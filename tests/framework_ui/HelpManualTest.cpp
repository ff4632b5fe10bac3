#include <gtest/gtest.h>

#include <QFileInfo>

#include "framework/ui/HelpManual.h"
#include "platform/Paths.h"

namespace quillet {
namespace {

TEST(HelpManual, PointsAtTheShippedManualAndItsSections) {
    const HelpManual manual(Paths::fromEnvironment().manualFolder);
    const QUrl whole = manual.url();
    ASSERT_TRUE(whole.isLocalFile());
    // The manual the program ships is really there, with the sections Help buttons name.
    EXPECT_TRUE(QFileInfo::exists(whole.toLocalFile())) << whole.toLocalFile().toStdString();
    EXPECT_TRUE(whole.fragment().isEmpty());

    const QUrl section = manual.url("commandline");
    EXPECT_EQ(section.toLocalFile(), whole.toLocalFile());
    EXPECT_EQ(section.fragment(), "commandline");

    // A folder given without its trailing "/" and one with a blank in its name.
    EXPECT_EQ(HelpManual("/opt/my docs").url().toLocalFile(), "/opt/my docs/index.html");
}

}  // namespace
}  // namespace quillet
