// melvane-makeskin: draws every picture of the skin and writes them as
// "<id>.png" files, the same bytes on every run.
#include <QGuiApplication>
#include <QTextStream>

#include "generate.h"

int main(int argc, char** argv) {
    // Drawing needs no display; this lets the tool run on a build machine.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList arguments = QGuiApplication::arguments();
    arguments.removeFirst();
    makeskin::Options options;
    QString error;
    if (!makeskin::ParseArguments(arguments, &options, &error)) {
        err << "melvane-makeskin: " << error << "\n"
            << "usage: melvane-makeskin <outdir> [--preview <file.png>]\n";
        return 2;
    }
    return makeskin::Generate(options, out, err);
}
