#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The tests need no screen; test discovery runs this binary without the test environment too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
