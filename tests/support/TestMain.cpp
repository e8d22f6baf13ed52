// Test program entry: starts the framework for the main thread, as the programs' start-up does.
#include <gtest/gtest.h>

#include "framework/FrameworkSession.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QRV2::FrameworkSession framework;
    framework.Start();
    int result = RUN_ALL_TESTS();
    framework.Stop();
    return result;
}
