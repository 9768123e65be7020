// Entry point of the desktop program: everything happens in the main window.
#include "ui/app.h"

int main(int argc, char** argv) {
    COprex_AppApp app(argc, argv);
    return app.run();
}
