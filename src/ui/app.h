// COprex_AppApp, the application object: sets up the application, runs the
// main window modally and ends the program when it closes.
#pragma once

#include <QApplication>

class COprex_AppApp : public QApplication {
    Q_OBJECT
  public:
    COprex_AppApp(int& argc, char** argv);
    // Runs the main window; returns the process exit status.
    int run();
};
