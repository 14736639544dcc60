#include "preview.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <vector>

#include "palette.h"
#include "pictures.h"
#include "res/resource.h"
#include "shapes.h"

namespace makeskin {
namespace {

constexpr int kMargin = 16;
constexpr int kLabelHeight = 18;
constexpr int kZoom = 4;
constexpr QRgb kSheet = qRgb(233, 236, 239);
constexpr QRgb kLabelInk = qRgb(40, 40, 40);

QImage Picture(int id) {
    const PictureEntry* entry = FindPicture(id);
    return entry ? Render(*entry) : QImage();
}

QImage Enlarged(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void Label(QPainter& painter, QPoint at, const QString& text) {
    painter.setFont(SkinFont(11, false));
    painter.setPen(QColor::fromRgb(kLabelInk));
    painter.drawText(at + QPoint(0, 12), text);
}

// The main window as the program shows it: the background, the list box
// (white, with the toolkit's frame) and one picture per button.
QImage Window(bool lit) {
    QImage window = Picture(IDB_BACKGROUND).convertToFormat(QImage::Format_RGB32);
    QPainter painter(&window);
    painter.fillRect(kListRect, Qt::white);
    painter.setPen(QPen(QColor(122, 122, 122), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kListRect.adjusted(0, 0, -1, -1));
    for (const ButtonPlacement& button : Buttons()) {
        painter.drawImage(button.pos, Picture(lit ? button.litId : button.plainId));
    }
    return window;
}

// One row of enlarged icons with their numbers under them; returns its height.
int IconRow(QPainter& painter, QPoint at, const std::vector<int>& ids, QRgb panel,
            bool silhouette) {
    constexpr int kCell = 16 * kZoom + 8;
    const int height = 16 * kZoom + 12 + kLabelHeight;
    painter.fillRect(QRect(at, QSize(kCell * static_cast<int>(ids.size()) + 12, height)),
                     QColor::fromRgb(panel));
    int x = at.x() + 12;
    for (int id : ids) {
        QImage icon = Picture(id);
        if (silhouette) {
            QImage shape = icon.convertToFormat(QImage::Format_ARGB32);
            QPainter tint(&shape);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(shape.rect(), QColor(60, 60, 60));
            tint.end();
            icon = shape;
        }
        painter.drawImage(QPoint(x, at.y() + 8), Enlarged(icon, kZoom));
        painter.setFont(SkinFont(11, false));
        painter.setPen(qGray(panel) < 128 ? QColor(230, 230, 230) : QColor::fromRgb(kLabelInk));
        painter.drawText(QPoint(x + 20, at.y() + 16 * kZoom + 24), QString::number(id));
        x += kCell;
    }
    return height;
}

}  // namespace

QImage RenderPreview() {
    const int width = 2 * kWindowSize.width() + 3 * kMargin;
    const int height = 1400;
    QImage sheet(QSize(width, height), QImage::Format_RGB32);
    sheet.fill(kSheet);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    int y = kMargin;
    Label(painter, QPoint(kMargin, y), QStringLiteral("Plain pictures (as at start)"));
    Label(painter, QPoint(2 * kMargin + kWindowSize.width(), y),
          QStringLiteral("Lit pictures (hover, selected repeat mode)"));
    y += kLabelHeight;
    painter.drawImage(QPoint(kMargin, y), Window(false));
    painter.drawImage(QPoint(2 * kMargin + kWindowSize.width(), y), Window(true));
    y += kWindowSize.height() + kMargin;

    const std::vector<int> trayAndMenu = {
        IDI_ANIM1,     IDI_ANIM2,      IDI_ANIM3,       IDI_ANIM4,     IDI_STILL,
        IDI_CHECK,     IDI_MENU_FIRST, IDI_MENU_LAST,   IDI_MENU_PLAY, IDI_MENU_STOP,
        IDI_MENU_NEXT, IDI_MENU_FINAL, IDI_MENU_OPTION, IDI_MENU_EXIT};
    Label(painter, QPoint(kMargin, y), QStringLiteral("Icons x4 on a light and a dark panel"));
    y += kLabelHeight;
    y += IconRow(painter, QPoint(kMargin, y), trayAndMenu, qRgb(246, 246, 246), false);
    y += IconRow(painter, QPoint(kMargin, y), trayAndMenu, qRgb(43, 43, 43), false);
    y += kMargin / 2;
    Label(painter, QPoint(kMargin, y), QStringLiteral("Menu icons as one-colour silhouettes"));
    y += kLabelHeight;
    const std::vector<int> menu(trayAndMenu.begin() + 6, trayAndMenu.end());
    y += IconRow(painter, QPoint(kMargin, y), menu, qRgb(212, 208, 200), true) + kMargin;

    Label(painter, QPoint(kMargin, y),
          QStringLiteral("Application icon (48, x4, at 16 x4), hand cursor x4, menu band x2"));
    y += kLabelHeight;
    const QImage app = Picture(IDR_MAINFRAME);
    int x = kMargin;
    painter.drawImage(QPoint(x, y), app);
    x += app.width() + kMargin;
    painter.drawImage(QPoint(x, y), Enlarged(app, kZoom));
    x += app.width() * kZoom + kMargin;
    const QImage small = app.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(QPoint(x, y), Enlarged(small, kZoom));
    x += 16 * kZoom + kMargin;
    painter.fillRect(QRect(x, y, 32 * kZoom, 32 * kZoom), QColor(170, 190, 210));
    painter.drawImage(QPoint(x, y), Enlarged(Picture(IDC_HAND), kZoom));
    x += 32 * kZoom + kMargin;
    const QImage band = Enlarged(Picture(IDB_BAND), 2);
    painter.drawImage(QPoint(x, y), band);
    y += std::max(app.height() * kZoom, band.height()) + kMargin;
    painter.end();
    return sheet.copy(0, 0, width, y);
}

}  // namespace makeskin
