#include <QApplication>

#include <cstdio>

#include "app/commandline.h"
#include "app/melvaneapp.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    platform::KeepTheHeapSmall();
    // Answered before anything is loaded, so that a second start, --help and
    // --version end at once.
    const CommandLine commandLine = ParseCommandLine(argc, argv, platform::GetCurrentDirectory());
    switch (commandLine.action) {
        case CommandLine::Action::kHelp:
            std::fputs(Usage(), stdout);
            return 0;
        case CommandLine::Action::kVersion:
            std::fputs(VersionText(), stdout);
            return 0;
        case CommandLine::Action::kError:
            std::fprintf(stderr, "melvane: %s\n%s", commandLine.error.c_str(), Usage());
            return 2;
        case CommandLine::Action::kRun:
            break;
    }
    CMelvaneApp theApp(commandLine.files);
    int nStatus = 0;
    if (theApp.HandedToRunningPlayer(&nStatus)) {
        return nStatus;
    }
    theApp.OpenFirstTrackAhead();
    // The files are the program's, not the toolkit's: Qt sees no arguments.
    int nQtArgc = 1;
    QApplication application(nQtArgc, argv);
    // The window hides instead of closing; only the exit path ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    theApp.InitInstance();
    return 0;
}
