// melvane-bench-bare-tray: a Qt 6 process that shows one still tray icon and
// does nothing else, the floor under what any Qt tray program costs at rest.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setBrush(QColor(38, 99, 165));
        painter.drawEllipse(2, 2, 12, 12);
    }
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();
    return QApplication::exec();
}
