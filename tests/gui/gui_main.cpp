// GoogleTest on a QApplication of the offscreen platform: no display is needed.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // Workers that a test left running must not see the statics destroyed under them.
    std::quick_exit(result);
}
