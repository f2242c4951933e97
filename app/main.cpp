#include "PanelMain.h"

// The program is in r6140k_app, which is compiled as one unit: on its own
// this file would read the same Qt headers again.
int main(int argc, char* argv[]) { return app::runPanel(argc, argv); }
