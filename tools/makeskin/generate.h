// The generator's work, apart from main() so the tests can run it.
#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace makeskin {

struct Options {
    QString outDir;
    QString previewPath;  // empty: no preview sheet
};

// Reads "<outdir> [--preview <file>]". False, with the reason in *error, for
// anything else.
bool ParseArguments(const QStringList& arguments, Options* options, QString* error);

// Draws every picture and checks its size and alpha against the table before
// anything is written, then writes "<id>.png" files into options.outDir
// (created when missing) and the preview sheet when asked. Lists what it wrote
// on `out`; problems go to `err`. Returns 0 on success, 1 on failure.
int Generate(const Options& options, QTextStream& out, QTextStream& err);

}  // namespace makeskin
