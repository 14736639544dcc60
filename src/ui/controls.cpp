#include "ui/controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCollator>
#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "wincompat/wnd_qt.h"

namespace {

constexpr int kBytesRole = Qt::UserRole + 1;
constexpr int kDataRole = Qt::UserRole + 2;

void PostCommand(QWidget* control, int id, int code) {
    if (QWidget* parent = control->parentWidget()) {
        QCoreApplication::postEvent(parent, new platform::CommandEvent(id, code));
    }
}

// To assistive technology a picture that takes clicks is a button whose press
// is the click; any other picture is a graphic.
class PictureAccessible : public QAccessibleWidget {
public:
    explicit PictureAccessible(CPictureCtrl* control)
        : QAccessibleWidget(control,
                            control->Notifies() ? QAccessible::Button : QAccessible::Graphic),
          m_control(control) {}

    QStringList actionNames() const override {
        return m_control->Notifies() ? QStringList{pressAction()} : QStringList();
    }
    void doAction(const QString& actionName) override {
        if (m_control->Notifies() && actionName == pressAction()) {
            PostCommand(m_control, m_control->Id(), 0);
        }
    }

private:
    CPictureCtrl* m_control;
};

QAccessibleInterface* PictureAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CPictureCtrl") && object != nullptr && object->isWidgetType()) {
        return new PictureAccessible(static_cast<CPictureCtrl*>(object));
    }
    return nullptr;
}

}  // namespace

CPictureCtrl::CPictureCtrl(QWidget* parent, int id, bool notify)
    : QWidget(parent), m_id(id), m_notify(notify) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(PictureAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("control%1").arg(id));
    setMouseTracking(true);
}

void CPictureCtrl::SetPicture(const QPixmap& picture) {
    m_picture = picture;
    if (!picture.isNull()) {
        resize(picture.size());
    }
    update();
}

void CPictureCtrl::paintEvent(QPaintEvent*) {
    if (!m_picture.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_picture);
    }
}

void CPictureCtrl::mousePressEvent(QMouseEvent* event) {
    m_pressed = m_notify && event->button() == Qt::LeftButton;
    event->setAccepted(m_notify);
}

void CPictureCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        PostCommand(this, m_id, 0);
    }
    event->setAccepted(m_notify);
}

void CPictureCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    m_pressed = false;
    event->setAccepted(m_notify);
}

CListBoxCtrl::CListBoxCtrl(QWidget* parent, int id) : QListWidget(parent), m_id(id) {
    setObjectName(QStringLiteral("control%1").arg(id));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    connect(this, &QListWidget::currentRowChanged, this,
            [this](int) { PostCommand(this, m_id, LBN_SELCHANGE); });
}

int CListBoxCtrl::AddString(const std::string& bytes) {
    const QString display = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    // After every item that sorts before or equal to it, as a sorted list
    // places a new string among equals.
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (collator.compare(item(mid)->text(), display) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    auto* entry = new QListWidgetItem(display);
    entry->setData(kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    insertItem(low, entry);
    return low;
}

std::string CListBoxCtrl::Text(int index) const {
    const QListWidgetItem* entry = item(index);
    if (entry == nullptr) {
        return std::string();
    }
    return entry->data(kBytesRole).toByteArray().toStdString();
}

void CListBoxCtrl::SetItemData(int index, int value) {
    if (QListWidgetItem* entry = item(index)) {
        entry->setData(kDataRole, value);
    }
}

int CListBoxCtrl::ItemData(int index) const {
    const QListWidgetItem* entry = item(index);
    bool ok = false;
    const int value = entry != nullptr ? entry->data(kDataRole).toInt(&ok) : -1;
    return ok ? value : -1;
}

void CListBoxCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    // Only a double-click on an entry picks one; below the last row there is
    // nothing to play.
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        PostCommand(this, m_id, LBN_DBLCLK);
    }
}

void CStatic::SetBitmap(const QPixmap* picture) {
    if (m_hWnd) {
        m_hWnd->SetPicture(picture != nullptr ? *picture : QPixmap());
    }
}

QPixmap CStatic::GetBitmap() const {
    return m_hWnd ? m_hWnd->Picture() : QPixmap();
}

int CListBox::AddString(const std::string& text) {
    return m_hWnd ? m_hWnd->AddString(text) : -1;
}

std::string CListBox::GetText(int index) const {
    return m_hWnd ? m_hWnd->Text(index) : std::string();
}

int CListBox::GetCount() const {
    return m_hWnd ? m_hWnd->count() : 0;
}

int CListBox::GetCurSel() const {
    if (!m_hWnd) {
        return -1;
    }
    const QList<QListWidgetItem*> selected = m_hWnd->selectedItems();
    return selected.isEmpty() ? -1 : m_hWnd->row(selected.first());
}

void CListBox::SetItemData(int index, int data) {
    if (m_hWnd) {
        m_hWnd->SetItemData(index, data);
    }
}

int CListBox::GetItemData(int index) const {
    return m_hWnd ? m_hWnd->ItemData(index) : -1;
}

void CListBox::SetCurSel(int index) {
    if (!m_hWnd) {
        return;
    }
    if (index < 0 || index >= m_hWnd->count()) {
        m_hWnd->clearSelection();
        return;
    }
    m_hWnd->setCurrentRow(index);
}

void CListBox::DeleteString(int index) {
    if (m_hWnd && index >= 0 && index < m_hWnd->count()) {
        delete m_hWnd->takeItem(index);
    }
}

bool CToolTipCtrl::Create(QWidget* parent) {
    m_parent = parent;
    m_timer.setSingleShot(true);
    m_timer.setInterval(QToolTip::isVisible() ? 0 : 500);
    connect(&m_timer, &QTimer::timeout, this, &CToolTipCtrl::Show);
    return parent != nullptr;
}

void CToolTipCtrl::SetDelayTime(int which, int ms) {
    if (which == TTDT_INITIAL) {
        m_timer.setInterval(ms);
    }
}

bool CToolTipCtrl::AddTool(QWidget* tool, const QString& text) {
    if (tool == nullptr) {
        return false;
    }
    m_tools.push_back(Tool{tool, text});
    return true;
}

const CToolTipCtrl::Tool* CToolTipCtrl::FindTool(QObject* receiver) const {
    for (QObject* object = receiver; object != nullptr; object = object->parent()) {
        for (const Tool& tool : m_tools) {
            if (tool.widget == object) {
                return &tool;
            }
        }
        if (object == m_parent) {
            break;
        }
    }
    return nullptr;
}

void CToolTipCtrl::RelayEvent(QObject* receiver, QEvent* event) {
    if (!m_parent) {
        return;
    }
    switch (event->type()) {
        case QEvent::MouseMove: {
            // Moves a control ignores reach its parent too; the tool is what
            // lies under the cursor.
            const auto* move = static_cast<QMouseEvent*>(event);
            const QPoint pos = m_parent->mapFromGlobal(move->globalPosition().toPoint());
            const Tool* tool = FindTool(m_parent->childAt(pos));
            if (tool != m_pending) {
                Hide();
                m_pending = tool;
                if (tool != nullptr && m_active) {
                    m_timer.start();
                }
            }
            break;
        }
        case QEvent::Leave:
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            if (receiver != m_parent) {
                break;
            }
            [[fallthrough]];
        case QEvent::MouseButtonPress:
            Hide();
            m_pending = nullptr;
            break;
        default:
            break;
    }
}

void CToolTipCtrl::Show() {
    if (m_pending == nullptr || !m_pending->widget || !m_parent || !m_parent->isActiveWindow()) {
        return;
    }
    m_shown = m_pending->text;
    QToolTip::showText(QCursor::pos(), m_shown, m_pending->widget);
}

void CToolTipCtrl::Hide() {
    m_timer.stop();
    if (!m_shown.isEmpty()) {
        QToolTip::hideText();
        m_shown.clear();
    }
}
