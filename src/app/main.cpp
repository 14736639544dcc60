#include <QApplication>

#include "app/melvaneapp.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    platform::KeepTheHeapSmall();
    CMelvaneApp::OpenFirstTrackAhead();
    QApplication application(argc, argv);
    // The window hides instead of closing; only the exit path ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CMelvaneApp theApp;
    theApp.InitInstance();
    return 0;
}
