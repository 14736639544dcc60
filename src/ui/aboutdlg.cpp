#include "ui/aboutdlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/skin.h"

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* pParent) : QDialog(pParent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("关于 melvane"));
    setFont(DialogFont());
    setFixedSize(Dlu(235), Dlu(55));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setGeometry(Dlu(11), Dlu(17), Dlu(20), Dlu(20));
    picture->setPixmap(icon.pixmap(Dlu(20), Dlu(20)));

    auto* name = new QLabel(QStringLiteral("melvane 1.0 版"), this);
    name->setTextFormat(Qt::PlainText);
    name->setGeometry(Dlu(40), Dlu(10), Dlu(119), Dlu(8) + 4);

    auto* line = new QLabel(QStringLiteral("Music from the tray."), this);
    line->setGeometry(Dlu(40), Dlu(25), Dlu(119), Dlu(8) + 4);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(Dlu(178), Dlu(7), Dlu(50), Dlu(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
