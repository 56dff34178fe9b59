#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Qt needs an application object for the executable's folder and URL handling.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
