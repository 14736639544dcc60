#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#ifdef MELVANE_HAVE_QTSVG
#include <QSvgRenderer>
#endif

#include "generate.h"
#include "palette.h"
#include "pictures.h"
#include "png_writer.h"
#include "res/resource.h"
#include "shapes.h"

namespace makeskin {
namespace {

QImage Pic(int id) {
    const PictureEntry* entry = FindPicture(id);
    return entry ? Render(*entry) : QImage();
}

bool Opaque(QRgb pixel) {
    return qAlpha(pixel) >= 128;
}

// How many pixels of `image` satisfy `test`.
template <typename Test>
int Count(const QImage& image, Test test) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

int OpaqueCount(const QImage& image) {
    return Count(image, Opaque);
}

// The smallest rectangle holding every pixel that differs from `paper`.
QRect InkBounds(const QImage& image, QRgb paper) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != paper) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

// The icon laid on a panel of one colour, as a tray or menu would show it.
QImage OnPanel(const QImage& icon, QColor panel) {
    QImage out(icon.size(), QImage::Format_RGB32);
    out.fill(panel);
    QPainter painter(&out);
    painter.drawImage(0, 0, icon);
    return out;
}

// Pixels whose grey level differs from the panel's by more than `by`.
int StandsOut(const QImage& icon, QColor panel, int by) {
    return Count(OnPanel(icon, panel),
                 [&](QRgb p) { return std::abs(qGray(p) - qGray(panel.rgb())) > by; });
}

TEST(PictureTable, EveryPictureHasItsExactSizeAndAlpha) {
    // id, width, height, alpha
    const std::vector<std::tuple<int, int, int, bool>> expected = {
        {157, 508, 325, false}, {161, 47, 20, false},  {164, 47, 20, false}, {162, 59, 20, false},
        {165, 59, 20, false},   {167, 93, 20, false},  {168, 93, 20, false}, {169, 93, 20, false},
        {170, 93, 20, false},   {175, 36, 13, false},  {176, 37, 13, false}, {177, 19, 21, false},
        {178, 19, 21, false},   {179, 16, 18, false},  {180, 19, 21, false}, {181, 19, 21, false},
        {182, 19, 21, false},   {186, 19, 21, false},  {187, 19, 21, false}, {185, 14, 12, false},
        {196, 15, 15, false},   {151, 38, 219, false}, {128, 48, 48, true},  {145, 16, 16, true},
        {147, 16, 16, true},    {148, 16, 16, true},   {191, 16, 16, true},  {146, 16, 16, true},
        {149, 16, 16, true},    {131, 16, 16, true},   {133, 16, 16, true},  {135, 16, 16, true},
        {134, 16, 16, true},    {138, 16, 16, true},   {137, 16, 16, true},  {192, 16, 16, true},
        {194, 16, 16, true},    {163, 32, 32, true}};
    EXPECT_EQ(Pictures().size(), expected.size());
    for (const auto& [id, width, height, alpha] : expected) {
        SCOPED_TRACE(id);
        const QImage image = Pic(id);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(width, height));
        EXPECT_EQ(image.hasAlphaChannel(), alpha);
    }
}

std::vector<std::string> ChunkTypes(const QByteArray& png) {
    std::vector<std::string> types;
    for (int at = 8; at + 8 <= png.size();) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(png.constData() + at);
        const int length = (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
        types.emplace_back(png.constData() + at + 4, 4);
        at += 12 + length;
    }
    return types;
}

TEST(PngOutput, DrawingTwiceGivesTheSameBytes) {
    for (const PictureEntry& entry : Pictures()) {
        SCOPED_TRACE(entry.id);
        QString error;
        const QByteArray first = EncodePng(Render(entry), &error);
        ASSERT_FALSE(first.isEmpty()) << error.toStdString();
        EXPECT_EQ(first, EncodePng(Render(entry), &error));
    }
}

TEST(PngOutput, FilesHoldOnlyPixelsAndTheRightColourType) {
    const std::set<std::string> allowed = {"IHDR", "pHYs", "IDAT", "IEND"};
    for (const PictureEntry& entry : Pictures()) {
        SCOPED_TRACE(entry.id);
        QString error;
        const QByteArray png = EncodePng(Render(entry), &error);
        for (const std::string& type : ChunkTypes(png)) {
            EXPECT_TRUE(allowed.count(type)) << "chunk " << type;
        }
        // IHDR: bit depth at byte 24, colour type at 25 (2 = RGB, 6 = RGBA).
        ASSERT_GT(png.size(), 26);
        EXPECT_EQ(png.at(24), 8);
        EXPECT_EQ(png.at(25), entry.alpha ? 6 : 2);
    }
}

TEST(ButtonsOnBackground, EveryButtonSitsOnAPlainPatchOfItsOwnColour) {
    const QImage background = Pic(IDB_BACKGROUND);
    for (const ButtonPlacement& button : Buttons()) {
        for (int id : {button.plainId, button.litId}) {
            SCOPED_TRACE(id);
            const QImage picture = Pic(id);
            const QRect area(button.pos, picture.size());
            ASSERT_TRUE(background.rect().contains(area));
            const QRgb under = background.pixel(area.topLeft());
            EXPECT_EQ(InkBounds(background.copy(area), under), QRect()) << "background not plain";
            // Every edge pixel of the picture is the background's colour:
            // the button blends in and nothing of its symbol is cut off.
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const bool edge =
                        x == 0 || y == 0 || x == picture.width() - 1 || y == picture.height() - 1;
                    if (edge) {
                        ASSERT_EQ(picture.pixel(x, y), under) << "at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(ButtonsOnBackground, ListAreaIsLeftPlain) {
    const QImage background = Pic(IDB_BACKGROUND);
    EXPECT_EQ(InkBounds(background.copy(kListRect), kField), QRect());
}

TEST(ButtonsOnBackground, LitPicturesChangeColourNotShape) {
    const QImage background = Pic(IDB_BACKGROUND);
    for (const ButtonPlacement& button : Buttons()) {
        if (button.plainId == IDB_PLAY || button.plainId == button.litId ||
            button.plainId == IDB_REPEATONE_OFF || button.plainId == IDB_REPEATALL_OFF) {
            continue;  // Play grows; the repeat modes turn bold
        }
        SCOPED_TRACE(button.plainId);
        const QRgb paper = background.pixel(button.pos);
        const QImage plain = Pic(button.plainId);
        const QImage lit = Pic(button.litId);
        EXPECT_EQ(InkBounds(plain, paper), InkBounds(lit.copy(plain.rect()), paper));
        EXPECT_NE(plain, lit.copy(plain.rect()));
    }
}

TEST(ButtonsOnBackground, WordsAndSymbolsUseTheirInks) {
    const auto holds = [](const QImage& image, QRgb ink) {
        return Count(image, [ink](QRgb p) { return p == ink; }) > 0;
    };
    for (int id : {IDB_ADD, IDB_DELETE, IDB_REPEATONE_OFF, IDB_REPEATALL_OFF, IDB_FIRST, IDB_PLAY,
                   IDB_STOP, IDB_FINAL}) {
        EXPECT_TRUE(holds(Pic(id), kInk)) << id;
    }
    for (int id : {IDB_ADD_HOT, IDB_DELETE_HOT, IDB_REPEATONE_ON, IDB_REPEATALL_ON, IDB_FIRST_HOT,
                   IDB_PLAY_HOT, IDB_STOP_HOT, IDB_FINAL_HOT}) {
        EXPECT_TRUE(holds(Pic(id), kInkLit)) << id;
    }
    EXPECT_TRUE(holds(Pic(IDB_EXIT_HOT), kStripInkHot));
}

TEST(ButtonsOnBackground, HoverPlayIsTheSameTriangleGrownFromItsTopLeftCorner) {
    const QRect plain = InkBounds(Pic(IDB_PLAY), kField);
    const QRect hot = InkBounds(Pic(IDB_PLAY_HOT), kField);
    EXPECT_GT(hot.width(), plain.width());
    EXPECT_GT(hot.height(), plain.height());
    EXPECT_NEAR(hot.left(), plain.left() * 19.0 / 16, 1.0);
    EXPECT_NEAR(hot.top(), plain.top() * 21.0 / 18, 1.0);
    EXPECT_NEAR(hot.right() + 1, (plain.right() + 1) * 19.0 / 16, 1.0);
    EXPECT_NEAR(hot.bottom() + 1, (plain.bottom() + 1) * 21.0 / 18, 1.0);
}

TEST(ButtonsOnBackground, BoldRepeatWordsAreHeavierThanPlainOnes) {
    const auto inked = [](const QImage& image) {
        return Count(image, [](QRgb p) { return qGray(p) > qGray(kField) + 60; });
    };
    EXPECT_GT(inked(Pic(IDB_REPEATONE_ON)), inked(Pic(IDB_REPEATONE_OFF)) * 11 / 10);
    EXPECT_GT(inked(Pic(IDB_REPEATALL_ON)), inked(Pic(IDB_REPEATALL_OFF)) * 11 / 10);
}

TEST(TrayIcons, FramesShrinkFromTheFirstToTheFourth) {
    const std::vector<int> frames = {IDI_ANIM1, IDI_ANIM2, IDI_ANIM3, IDI_ANIM4};
    for (size_t i = 1; i < frames.size(); ++i) {
        SCOPED_TRACE(frames[i]);
        const QImage bigger = Pic(frames[i - 1]);
        const QImage smaller = Pic(frames[i]);
        EXPECT_LT(OpaqueCount(smaller), OpaqueCount(bigger));
        EXPECT_LT(InkBounds(smaller, qRgba(0, 0, 0, 0)).height(),
                  InkBounds(bigger, qRgba(0, 0, 0, 0)).height());
    }
}

TEST(TrayIcons, ReadOnDarkAndLightPanels) {
    for (int id : {IDI_ANIM1, IDI_ANIM2, IDI_ANIM3, IDI_ANIM4, IDI_STILL}) {
        SCOPED_TRACE(id);
        const QImage icon = Pic(id);
        EXPECT_GE(StandsOut(icon, QColor(30, 30, 30), 90), 12);
        EXPECT_GE(StandsOut(icon, QColor(245, 245, 245), 90), 12);
    }
}

TEST(TrayIcons, StillIconCrossesTheNoteOutInRed) {
    const QImage still = Pic(IDI_STILL);
    const auto red = [](QRgb p) {
        return Opaque(p) && qRed(p) > 180 && qGreen(p) < 100 && qBlue(p) < 100;
    };
    EXPECT_GE(Count(still, red), 30);
    // The bar runs from top left to bottom right through the middle.
    EXPECT_TRUE(red(still.pixel(7, 7)));
    EXPECT_TRUE(red(still.pixel(4, 4)));
    EXPECT_TRUE(red(still.pixel(11, 11)));
    EXPECT_FALSE(red(still.pixel(11, 4)));
}

TEST(MenuIcons, SilhouettesStayDistinct) {
    const std::vector<int> ids = {IDI_MENU_FIRST, IDI_MENU_LAST,  IDI_MENU_PLAY,   IDI_MENU_STOP,
                                  IDI_MENU_NEXT,  IDI_MENU_FINAL, IDI_MENU_OPTION, IDI_MENU_EXIT};
    for (size_t a = 0; a < ids.size(); ++a) {
        for (size_t b = a + 1; b < ids.size(); ++b) {
            const QImage first = Pic(ids[a]);
            const QImage second = Pic(ids[b]);
            int different = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    different += Opaque(first.pixel(x, y)) != Opaque(second.pixel(x, y)) ? 1 : 0;
                }
            }
            EXPECT_GE(different, 12) << ids[a] << " and " << ids[b] << " look alike";
        }
    }
    // The gear has a hole, so its silhouette is not a blot.
    EXPECT_FALSE(Opaque(Pic(IDI_MENU_OPTION).pixel(8, 8)));
}

TEST(MenuIcons, PlayIsGreenAndStopIsRed) {
    const auto share = [](const QImage& icon, auto hue) {
        return Count(icon, [&](QRgb p) { return qAlpha(p) == 255 && hue(p); }) * 100 /
               Count(icon, [](QRgb p) { return qAlpha(p) == 255; });
    };
    EXPECT_GE(share(Pic(IDI_MENU_PLAY), [](QRgb p) { return qGreen(p) > qRed(p) + 50; }), 80);
    EXPECT_GE(share(Pic(IDI_MENU_STOP), [](QRgb p) { return qRed(p) > qGreen(p) + 80; }), 80);
}

TEST(Icons, CheckMarkAndAppIconHaveTransparentCorners) {
    for (int id : {IDI_CHECK, IDR_MAINFRAME}) {
        const QImage icon = Pic(id);
        const int w = icon.width() - 1;
        const int h = icon.height() - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << id;
        }
    }
    EXPECT_GE(StandsOut(Pic(IDI_CHECK), QColor(212, 208, 200), 100), 15);
}

TEST(Cursor, FingerTipIsTheHotSpotAndThePictureIsTwoColoured) {
    const QImage hand = Pic(IDC_HAND);
    EXPECT_EQ(hand.pixel(5, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(hand.pixel(5, 1), qRgba(255, 255, 255, 255));
    for (int x = 0; x < 32; ++x) {
        if (x < 4 || x > 6) {
            EXPECT_EQ(qAlpha(hand.pixel(x, 0)), 0) << "row 0 column " << x;
        }
    }
    EXPECT_EQ(Count(hand,
                    [](QRgb p) {
                        return qAlpha(p) != 0 && p != qRgba(0, 0, 0, 255) &&
                               p != qRgba(255, 255, 255, 255);
                    }),
              0)
        << "only black, white and clear";
    EXPECT_GE(OpaqueCount(hand), 250);
}

TEST(MenuBand, HasSixteenColoursAtMost) {
    const QImage band = Pic(IDB_BAND);
    std::set<QRgb> colours;
    for (int y = 0; y < band.height(); ++y) {
        for (int x = 0; x < band.width(); ++x) {
            colours.insert(band.pixel(x, y));
        }
    }
    EXPECT_LE(colours.size(), 16u);
}

TEST(MenuBand, DarkStripOnTheLeftLightGreyBesideIt) {
    const QImage band = Pic(IDB_BAND);
    EXPECT_EQ(InkBounds(band.copy(16, 0, 22, 219), kBandLight), QRect());
    EXPECT_EQ(InkBounds(band.copy(0, 0, 16, 109), kBandStrip), QRect()) << "upper half plain";
    // The name stands upright along the strip's lower half.
    const QRect name = InkBounds(band.copy(0, 109, 16, 110), kBandStrip);
    EXPECT_GT(name.height(), 40);
    EXPECT_LE(name.width(), 14);
}

struct ToolRun {
    int status;
    QString out;
    QString err;
};

ToolRun RunTool(const Options& options) {
    ToolRun run{};
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = makeskin::Generate(options, out, err);
    return run;
}

TEST(Arguments, AcceptTheFolderAndAnOptionalPreview) {
    Options options;
    QString error;
    ASSERT_TRUE(ParseArguments({QStringLiteral("out")}, &options, &error));
    EXPECT_EQ(options.outDir, QStringLiteral("out"));
    EXPECT_TRUE(options.previewPath.isEmpty());
    ASSERT_TRUE(ParseArguments(
        {QStringLiteral("--preview"), QStringLiteral("p.png"), QStringLiteral("out")}, &options,
        &error));
    EXPECT_EQ(options.previewPath, QStringLiteral("p.png"));
}

TEST(Arguments, RejectWhatTheyCannotUse) {
    const std::vector<QStringList> bad = {{},
                                          {QStringLiteral("a"), QStringLiteral("b")},
                                          {QStringLiteral("out"), QStringLiteral("--preview")},
                                          {QStringLiteral("--force"), QStringLiteral("out")}};
    for (const QStringList& arguments : bad) {
        Options options;
        QString error;
        EXPECT_FALSE(ParseArguments(arguments, &options, &error))
            << arguments.join(u' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(Tool, WritesEveryPictureIntoANewFolder) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString folder = temp.filePath(QStringLiteral("new/res"));
    const ToolRun run = RunTool({folder, temp.filePath(QStringLiteral("sheet.png"))});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), static_cast<int>(Pictures().size()));
    for (const PictureEntry& entry : Pictures()) {
        SCOPED_TRACE(entry.id);
        const QImage read(QDir(folder).filePath(QStringLiteral("%1.png").arg(entry.id)));
        ASSERT_FALSE(read.isNull());
        EXPECT_EQ(read.convertToFormat(QImage::Format_ARGB32),
                  Render(entry).convertToFormat(QImage::Format_ARGB32));
    }
    EXPECT_FALSE(QImage(temp.filePath(QStringLiteral("sheet.png"))).isNull());
}

TEST(Tool, RefusesAFileAsTheFolderAndLeavesItAlone) {
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("res"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    const ToolRun run = RunTool({path, QString()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("not a folder"))) << run.err.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
}

TEST(Tool, ReportsAFolderItCannotCreate) {
    const ToolRun run = RunTool({QStringLiteral("/proc/melvane-no-such/res"), QString()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot create"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

QString SourcePath(const char* relative) {
    return QDir(QStringLiteral(MELVANE_SOURCE_DIR)).filePath(QLatin1String(relative));
}

TEST(CommittedSkin, MatchesWhatTheGeneratorDraws) {
    if (ResolvedSkinFamily() != QLatin1String("DejaVu Sans")) {
        GTEST_SKIP() << "DejaVu Sans is not installed; the words cannot match";
    }
    const QDir res(SourcePath("src/res"));
    for (const PictureEntry& entry : Pictures()) {
        SCOPED_TRACE(entry.id);
        const QImage committed(res.filePath(QStringLiteral("%1.png").arg(entry.id)));
        ASSERT_FALSE(committed.isNull()) << "missing; run melvane-makeskin src/res";
        EXPECT_EQ(committed.hasAlphaChannel(), entry.alpha);
        // Compared as drawn, premultiplied: the return to straight colour may
        // round a translucent pixel's channel a step either way, which shows nowhere.
        EXPECT_EQ(committed.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  Render(entry).convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << "out of date; run melvane-makeskin src/res";
    }
    for (const QString& name : res.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        bool ok = false;
        const int id = QString(name).chopped(4).toInt(&ok);
        EXPECT_TRUE(ok && FindPicture(id)) << name.toStdString() << " is not drawn by the tool";
    }
}

#ifdef MELVANE_HAVE_QTSVG
TEST(CommittedSkin, SvgIconIsTheSameDesignAsThePng) {
    QSvgRenderer svg(SourcePath("src/res/128.svg"));
    ASSERT_TRUE(svg.isValid());
    QImage drawn(48, 48, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    svg.render(&painter);
    painter.end();
    const QImage svgImage = drawn.convertToFormat(QImage::Format_ARGB32);
    const QImage png = Pic(IDR_MAINFRAME);
    long total = 0;
    int far = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            const QRgb a = svgImage.pixel(x, y);
            const QRgb b = png.pixel(x, y);
            const int diff = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                             std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
            total += diff;
            far += diff > 120 ? 1 : 0;
        }
    }
    EXPECT_LT(total / (48 * 48), 6);
    EXPECT_LT(far, 20);
}
#endif

}  // namespace
}  // namespace makeskin

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
