#include "generate.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <utility>
#include <vector>

#include "pictures.h"
#include "png_writer.h"
#include "preview.h"
#include "shapes.h"

namespace makeskin {
namespace {

constexpr char kTool[] = "melvane-makeskin: ";

struct Encoded {
    const PictureEntry* entry;
    QByteArray png;
};

QString SizeText(QSize size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

}  // namespace

bool ParseArguments(const QStringList& arguments, Options* options, QString* error) {
    Options parsed;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--preview")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                *error = QStringLiteral("--preview needs a file name");
                return false;
            }
            parsed.previewPath = arguments.at(++i);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            *error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        } else if (parsed.outDir.isEmpty() && !argument.isEmpty()) {
            parsed.outDir = argument;
        } else {
            *error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return false;
        }
    }
    if (parsed.outDir.isEmpty()) {
        *error = QStringLiteral("no output folder given");
        return false;
    }
    *options = parsed;
    return true;
}

int Generate(const Options& options, QTextStream& out, QTextStream& err) {
    const QString family = ResolvedSkinFamily();
    if (family != QLatin1String("DejaVu Sans")) {
        err << kTool << "warning: DejaVu Sans is not installed; the words are drawn in " << family
            << " and will differ from the committed pictures\n";
    }

    std::vector<Encoded> encoded;
    for (const PictureEntry& entry : Pictures()) {
        const QImage image = Render(entry);
        if (image.size() != entry.size || image.hasAlphaChannel() != entry.alpha) {
            err << kTool << "picture " << entry.id << " came out " << SizeText(image.size())
                << (image.hasAlphaChannel() ? " with" : " without") << " alpha, expected "
                << SizeText(entry.size) << (entry.alpha ? " with" : " without")
                << " alpha; nothing written\n";
            return 1;
        }
        QString error;
        QByteArray png = EncodePng(image, &error);
        if (png.isEmpty()) {
            err << kTool << "cannot encode picture " << entry.id << ": " << error
                << "; nothing written\n";
            return 1;
        }
        encoded.push_back({&entry, std::move(png)});
    }

    const QFileInfo folder(options.outDir);
    if (folder.exists() && !folder.isDir()) {
        err << kTool << "cannot write into " << options.outDir << ": it is not a folder\n";
        return 1;
    }
    if (!QDir().mkpath(options.outDir)) {
        err << kTool << "cannot create the folder " << options.outDir << "\n";
        return 1;
    }
    const QDir dir(options.outDir);
    for (const Encoded& picture : encoded) {
        const QString path = dir.filePath(QStringLiteral("%1.png").arg(picture.entry->id));
        QString error;
        if (!WriteFileAtomically(path, picture.png, &error)) {
            err << kTool << "cannot write " << path << ": " << error << "\n";
            return 1;
        }
        out << picture.entry->id << ".png  " << SizeText(picture.entry->size) << "  "
            << (picture.entry->alpha ? "alpha" : "opaque RGB") << "\n";
    }

    if (!options.previewPath.isEmpty()) {
        QString error;
        const QByteArray png = EncodePng(RenderPreview(), &error);
        if (png.isEmpty() || !WriteFileAtomically(options.previewPath, png, &error)) {
            err << kTool << "cannot write the preview " << options.previewPath << ": " << error
                << "\n";
            return 1;
        }
        out << "preview: " << options.previewPath << "\n";
    }
    return 0;
}

}  // namespace makeskin
