#include <gtest/gtest.h>

#include <QApplication>

#include "TestEnvironment.h"

// Widget tests: the same environment as the core tests, plus one QApplication on the
// offscreen platform for the whole process.
int main(int argc, char** argv) {
    quillet::test::prepareTestEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
