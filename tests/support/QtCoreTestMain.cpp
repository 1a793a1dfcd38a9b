#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of code that runs without a display: an event loop, no windows.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
