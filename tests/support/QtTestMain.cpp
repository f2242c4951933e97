// Test entry for widget tests.
#include "tests/support/WidgetTestRun.h"

int main(int argc, char** argv)
{
    return test_support::runWidgetTests(argc, argv);
}
