#pragma once

// Runs widget tests: one QApplication for the whole run, headless unless a
// platform is chosen. Tests made at run time are registered once the
// application exists.
#include <QApplication>
#include <functional>
#include <gtest/gtest.h>

namespace test_support {

inline int runWidgetTests(int argc, char** argv, const std::function<void()>& registerTests = {})
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (registerTests)
        registerTests();
    return RUN_ALL_TESTS();
}

} // namespace test_support
