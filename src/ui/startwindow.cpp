#include "ui/startwindow.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "ui/melvanedlg.h"

CStartWindow::CStartWindow(CMelvaneDlg& dlg, platform::ITray& tray) : m_dlg(dlg), m_tray(tray) {
    m_grace.setSingleShot(true);
    connect(&m_grace, &QTimer::timeout, this, &CStartWindow::OnGraceOver);
}

CStartWindow::~CStartWindow() {
    Finish();
}

void CStartWindow::Start(int graceMs) {
    if (m_state != State::Idle) {
        return;
    }
    if (m_tray.IsTrayAvailable() || m_dlg.IsDestroyed()) {
        m_dlg.hide();
        m_state = State::Done;
        return;
    }
    m_state = State::Waiting;
    m_tray.SetTrayAppearedHandler([this] { OnTrayAppeared(); });
    m_grace.start(graceMs);
}

void CStartWindow::OnGraceOver() {
    if (m_state != State::Waiting) {
        return;
    }
    m_grace.stop();
    if (m_tray.IsTrayAvailable() || m_dlg.IsDestroyed()) {
        Finish();
        return;
    }
    m_state = State::Shown;
    // Anything the user does to the window from here on keeps it up.
    qApp->installEventFilter(this);
    m_dlg.show();
}

void CStartWindow::OnTrayAppeared() {
    if (m_state == State::Shown && !m_dlg.IsDestroyed()) {
        m_dlg.hide();
    }
    if (m_state == State::Waiting || m_state == State::Shown) {
        Finish();
    }
}

void CStartWindow::Finish() {
    if (m_state == State::Waiting || m_state == State::Shown) {
        m_tray.SetTrayAppearedHandler({});
    }
    m_grace.stop();
    qApp->removeEventFilter(this);
    if (m_state != State::Idle) {
        m_state = State::Done;
    }
}

bool CStartWindow::IsTouch(QObject* watched, const QEvent* event) const {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::Move:
            break;
        default:
            return false;
    }
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget == nullptr || widget->window() != &m_dlg) {
        return false;
    }
    if (event->type() == QEvent::Move) {
        // Only the user moves the window once it is up and active; a window
        // manager places it before it gets the focus.
        return widget == &m_dlg && event->spontaneous() && m_dlg.isActiveWindow();
    }
    return true;
}

bool CStartWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_state == State::Shown && IsTouch(watched, event)) {
        Finish();
    }
    return QObject::eventFilter(watched, event);
}
