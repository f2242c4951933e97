// Test entry for widget tests.
#include "WidgetTestRun.h"

int main(int argc, char** argv)
{
    return test_support::runWidgetTests(argc, argv);
}
