// melvane-bench-late-play: opens one file through the media layer and plays it
// only after it has waited prerolled for a while, as the first track of a run
// waits for the window. Usage: melvane-bench-late-play FILE WAIT_MS. Runs until
// stopped; the probe times its first sound.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/mci_gst.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: melvane-bench-late-play FILE WAIT_MS\n");
        return 2;
    }
    const int waitMs = std::atoi(argv[2]);
    platform::GstMci mci;
    if (const platform::MCIERROR error = mci.OpenElement(argv[1], "themidi")) {
        std::fprintf(stderr, "melvane-bench-late-play: open failed (%u)\n", error);
        return 1;
    }
    QTimer::singleShot(waitMs, &app, [&mci] {
        if (mci.SendString("play themidi", nullptr) != 0) {
            std::fprintf(stderr, "melvane-bench-late-play: play failed\n");
            QCoreApplication::exit(1);
        }
    });
    return QCoreApplication::exec();
}
