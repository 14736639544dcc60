#include "ui/melvanedlg.h"

#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include <cstring>
#include <vector>

#include "menu/cqmenu.h"
#include "res/resource.h"
#include "res/traymenu.h"
#include "ui/aboutdlg.h"
#include "ui/skin.h"
#include "wincompat/popupmenu.h"
#include "wincompat/resources.h"
#include "wincompat/window_message.h"
#include "wincompat/wnd_qt.h"

platform::NOTIFYICONDATA g_nidTray;
int g_nAnimFrame = 1;
int g_bAnimUp = 1;

namespace {

constexpr char kAutoStartName[] = "DefName";
constexpr char kHelpFile[] = "music.chm";
// The help page an installed copy carries, relative to the executable's folder.
constexpr char kInstalledHelpPage[] = "../share/doc/melvane/index.html";
constexpr int kTimerId = 1;
constexpr int kTimerPeriodMs = 500;

// String resource `id`; empty when there is none.
QString LoadString(int id) {
    for (const StringResource& string : kStringTable) {
        if (string.id == id) {
            return QString::fromUtf8(string.text);
        }
    }
    return QString();
}

struct ControlTemplate {
    int id;
    int x;
    int y;
    int bitmap;  // 0 for the list
    bool notify;
};

// The controls in creation order, as the window's template lays them out.
constexpr ControlTemplate kTemplate[] = {
    {IDC_ADD, 19, 55, IDB_ADD, true},
    {IDC_DELETE, 62, 55, IDB_DELETE, true},
    {-1, 0, 0, IDB_BACKGROUND, false},
    {IDC_REPEATONE, 191, 56, IDB_REPEATONE_OFF, true},
    {IDC_REPEATALL, 262, 56, IDB_REPEATALL_ON, true},
    {IDC_LISTMUSIC, 23, 69, 0, true},
    {IDC_EXIT, 297, 193, IDB_EXIT, true},
    {IDC_FIRST, 6, 91, IDB_FIRST, true},
    {IDC_PLAY, 9, 108, IDB_PLAY, true},
    {IDC_FINAL, 7, 139, IDB_FINAL, true},
    {IDC_STOP, 7, 123, IDB_STOP, true},
    {IDC_HIDE, 279, 194, IDB_HIDE, true},
    {IDC_HELP, 259, 193, IDB_HELP, true},
};
constexpr int kListWidthDlu = 302;
constexpr int kListHeightDlu = 122;
constexpr int kWindowWidth = 508;
constexpr int kWindowHeight = 325;

struct MessageMapEntry {
    int id;
    int code;
    void (CMelvaneDlg::*handler)();
};

const MessageMapEntry kMessageMap[] = {
    {IDC_REPEATONE, 0, &CMelvaneDlg::OnRepeatOne},
    {IDC_REPEATALL, 0, &CMelvaneDlg::OnRepeatAll},
    {IDC_EXIT, 0, &CMelvaneDlg::OnExit},
    {IDC_HIDE, 0, &CMelvaneDlg::OnHide},
    {IDC_HELP, 0, &CMelvaneDlg::OnHelp},
    {IDC_LISTMUSIC, LBN_DBLCLK, &CMelvaneDlg::OnDblclkList},
    {IDC_LISTMUSIC, LBN_SELCHANGE, &CMelvaneDlg::OnSelchangeList},
    {IDC_ADD, 0, &CMelvaneDlg::OnAdd},
    {IDC_DELETE, 0, &CMelvaneDlg::OnDelete},
    {IDC_STOP, 0, &CMelvaneDlg::OnStop},
    {IDC_FIRST, 0, &CMelvaneDlg::OnFirst},
    {IDC_PLAY, 0, &CMelvaneDlg::OnPlay},
    {IDC_FINAL, 0, &CMelvaneDlg::OnFinal},
    {ID_TRAY_EXIT, 0, &CMelvaneDlg::OnTrayExit},
    {ID_TRAY_FINAL, 0, &CMelvaneDlg::OnTrayFinal},
    {ID_TRAY_NEXT, 0, &CMelvaneDlg::OnTrayNext},
    {ID_TRAY_STOP, 0, &CMelvaneDlg::OnTrayStop},
    {ID_TRAY_PLAY, 0, &CMelvaneDlg::OnTrayPlay},
    {ID_TRAY_LAST, 0, &CMelvaneDlg::OnTrayLast},
    {ID_TRAY_FIRST, 0, &CMelvaneDlg::OnTrayFirst},
    {ID_TRAY_OPTION, 0, &CMelvaneDlg::OnTrayOption},
};

struct ToolTemplate {
    int id;
    const char* text;
};

constexpr ToolTemplate kTools[] = {
    {IDC_ADD, "Add music"},
    {IDC_DELETE, "Delete music"},
    {IDC_REPEATONE, "Repeat one music"},
    {IDC_REPEATALL, "Repeat all music"},
    {IDC_FIRST, "Goto the start"},
    {IDC_PLAY, "Play the music"},
    {IDC_STOP, "Stop the music"},
    {IDC_FINAL, "Goto the end"},
    {IDC_EXIT, "Exit"},
    {IDC_HIDE, "Hide the window"},
    {IDC_LISTMUSIC, "DBclick to select music"},
    {IDC_HELP, "Help"},
};

int ControlId(QWidget* widget) {
    if (auto* picture = qobject_cast<CPictureCtrl*>(widget)) {
        return picture->Id();
    }
    if (auto* list = qobject_cast<CListBoxCtrl*>(widget)) {
        return list->Id();
    }
    return -1;
}

}  // namespace

CMelvaneDlg::CMelvaneDlg(const Services& services, QWidget* pParent)
    : QDialog(pParent, Qt::Window | Qt::FramelessWindowHint),
      m_bPlaying(0),
      m_bRepeatAll(1),
      m_prompts(services.prompts),
      m_app(services.app),
      m_autoStart(services.autoStart),
      m_tray(services.tray),
      m_shell(services.shell),
      m_exePath(services.exePath),
      m_openFiles(services.openFiles),
      m_playlist(services.mci, services.prompts, services.app, services.playlistFolder) {
    m_hIcon = platform::LoadIcon(IDR_MAINFRAME);

    LoadSkinHandle(g_hbmAdd, platform::LoadBitmap(IDB_ADD));
    LoadSkinHandle(g_hbmAddHot, platform::LoadBitmap(IDB_ADD_HOT));
    LoadSkinHandle(g_hbmDelete, platform::LoadBitmap(IDB_DELETE));
    LoadSkinHandle(g_hbmDeleteHot, platform::LoadBitmap(IDB_DELETE_HOT));
    LoadSkinHandle(g_hbmRepeatOneOff, platform::LoadBitmap(IDB_REPEATONE_OFF));
    LoadSkinHandle(g_hbmRepeatOneOn, platform::LoadBitmap(IDB_REPEATONE_ON));
    LoadSkinHandle(g_hbmRepeatAllOff, platform::LoadBitmap(IDB_REPEATALL_OFF));
    LoadSkinHandle(g_hbmRepeatAllOn, platform::LoadBitmap(IDB_REPEATALL_ON));
    LoadSkinHandle(g_hbmExit, platform::LoadBitmap(IDB_EXIT));
    LoadSkinHandle(g_hbmExitHot, platform::LoadBitmap(IDB_EXIT_HOT));
    LoadSkinHandle(g_hbmFirst, platform::LoadBitmap(IDB_FIRST));
    LoadSkinHandle(g_hbmFirstHot, platform::LoadBitmap(IDB_FIRST_HOT));
    LoadSkinHandle(g_hbmPlay, platform::LoadBitmap(IDB_PLAY));
    LoadSkinHandle(g_hbmPlayHot, platform::LoadBitmap(IDB_PLAY_HOT));
    LoadSkinHandle(g_hbmFinal, platform::LoadBitmap(IDB_FINAL));
    LoadSkinHandle(g_hbmFinalHot, platform::LoadBitmap(IDB_FINAL_HOT));
    LoadSkinHandle(g_hbmStop, platform::LoadBitmap(IDB_STOP));
    LoadSkinHandle(g_hbmStopHot, platform::LoadBitmap(IDB_STOP_HOT));

    LoadSkinHandle(g_hCursorHand,
                   platform::LoadCursor(IDC_HAND, QPoint(kHandHotSpotX, kHandHotSpotY)));

    LoadSkinHandle(g_hIconAnim1, platform::LoadIcon(IDI_ANIM1));
    LoadSkinHandle(g_hIconAnim2, platform::LoadIcon(IDI_ANIM2));
    LoadSkinHandle(g_hIconAnim3, platform::LoadIcon(IDI_ANIM3));
    LoadSkinHandle(g_hIconAnim4, platform::LoadIcon(IDI_ANIM4));
    LoadSkinHandle(g_hIconStill, platform::LoadIcon(IDI_STILL));

    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });
}

CMelvaneDlg::~CMelvaneDlg() {
    // The record outlives the window; its picture must not outlive the
    // toolkit.
    g_nidTray.hIcon = QIcon();
}

bool CMelvaneDlg::Create() {
    setWindowTitle(QString());
    // The window has no caption; a screen reader still names it.
    setAccessibleName(QStringLiteral("melvane"));
    setFont(DialogFont());
    setFixedSize(kWindowWidth, kWindowHeight);
    move(0, 0);
    CreateControls();
    DoDataExchange();
    OnInitDialog();
    return true;
}

void CMelvaneDlg::CreateControls() {
    for (const ControlTemplate& control : kTemplate) {
        QWidget* widget = nullptr;
        if (control.id == IDC_LISTMUSIC) {
            auto* list = new CListBoxCtrl(this, control.id);
            list->setGeometry(Dlu(control.x), Dlu(control.y), Dlu(kListWidthDlu),
                              Dlu(kListHeightDlu));
            widget = list;
        } else {
            auto* picture = new CPictureCtrl(this, control.id, control.notify);
            picture->move(Dlu(control.x), Dlu(control.y));
            picture->SetPicture(platform::LoadBitmap(control.bitmap));
            widget = picture;
        }
        widget->installEventFilter(this);
        if (auto* list = qobject_cast<CListBoxCtrl*>(widget)) {
            list->viewport()->installEventFilter(this);
        }
        // The background lies under every other control.
        if (control.id == -1) {
            widget->lower();
            widget->setAccessibleName(QStringLiteral("Background"));
        }
    }
    setMouseTracking(true);
    installEventFilter(this);
    auto* sysMenuKey = new QShortcut(QKeySequence(QStringLiteral("Alt+Space")), this);
    connect(sysMenuKey, &QShortcut::activated, this,
            [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

void CMelvaneDlg::DoDataExchange() {
    auto bindPicture = [this](int id, CStatic& wrapper) {
        wrapper.Attach(findChild<CPictureCtrl*>(QStringLiteral("control%1").arg(id)));
    };
    m_listMusic.Attach(findChild<CListBoxCtrl*>(QStringLiteral("control%1").arg(IDC_LISTMUSIC)));
    bindPicture(IDC_ADD, m_btnAdd);
    bindPicture(IDC_DELETE, m_btnDelete);
    bindPicture(IDC_REPEATONE, m_btnRepeatOne);
    bindPicture(IDC_REPEATALL, m_btnRepeatAll);
    bindPicture(IDC_EXIT, m_btnExit);
    bindPicture(IDC_FIRST, m_btnFirst);
    bindPicture(IDC_PLAY, m_btnPlay);
    bindPicture(IDC_FINAL, m_btnFinal);
    bindPicture(IDC_STOP, m_btnStop);
    bindPicture(IDC_HIDE, m_btnHide);
    bindPicture(IDC_HELP, m_btnHelp);
}

// ---- Initialisation ---------------------------------------------------------

bool CMelvaneDlg::OnInitDialog() {
    if (QMenu* pSysMenu = GetSystemMenu()) {
        const QString strAboutMenu = LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.isEmpty()) {
            pSysMenu->addSeparator();
            QAction* about = pSysMenu->addAction(strAboutMenu);
            connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX, 0); });
        }
    }

    setWindowIcon(m_hIcon);

    g_nidTray.cbSize = 88;
    g_nidTray.hWnd = platform::ToHwnd(this);
    g_nidTray.uID = 100;
    g_nidTray.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
    g_nidTray.uCallbackMessage = WM_TRAYNOTIFY;
    g_nidTray.hIcon = QIcon(platform::LoadIconImage(IDI_ANIM1, 16, 16));
    std::strncpy(g_nidTray.szTip, "Sonabel", sizeof g_nidTray.szTip - 1);
    m_tray.Shell_NotifyIcon(platform::NIM_ADD, g_nidTray);

    SetTimer();

    // The list sorts; each row keeps the playlist entry it shows, as the
    // playlist keeps the file's order until the first edit.
    for (int i = 0; i < m_playlist.GetCount(); i++) {
        m_listMusic.SetItemData(m_listMusic.AddString(m_playlist.GetMusic(i)), i);
    }

    m_tooltip.Create(this);
    m_tooltip.Activate(true);
    m_tooltip.SetDelayTime(TTDT_INITIAL, 50);
    for (const ToolTemplate& tool : kTools) {
        QWidget* control = findChild<QWidget*>(QStringLiteral("control%1").arg(tool.id));
        m_tooltip.AddTool(control, QString::fromUtf8(tool.text));
        // A picture says nothing to a screen reader: each control is named by
        // its tip's words.
        if (control != nullptr) {
            control->setAccessibleName(QString::fromUtf8(tool.text));
        }
    }

    const bool bRegistered = RegisterAutoStart();
    // Files the user named are what they asked to hear, whatever became of
    // the autostart entry.
    if (!m_openFiles.empty()) {
        OpenFiles(m_openFiles);
        m_openFiles.clear();
        return false;
    }
    if (!bRegistered) {
        return false;
    }
    PlayMusic();
    return false;
}

bool CMelvaneDlg::RegisterAutoStart() {
    const std::string strPath = m_exePath;
    if (!m_autoStart.OpenKey()) {
        m_prompts.WindowMessageBox("错误: 修改无法打开有关的hKEY!");
        return false;
    }
    if (!m_autoStart.SetValue(kAutoStartName, strPath)) {
        m_prompts.WindowMessageBox("错误: 无法修改有关注册表信息!");
        m_autoStart.CloseKey();
        return false;
    }
    m_autoStart.CloseKey();
    return true;
}

// ---- About box and system menu ----------------------------------------------

QMenu* CMelvaneDlg::GetSystemMenu() {
    if (!m_sysMenu) {
        m_sysMenu = std::make_unique<QMenu>();
        m_sysMenu->setObjectName(QStringLiteral("systemMenu"));
        connect(m_sysMenu->addAction(tr("Minimize")), &QAction::triggered, this,
                [this] { OnSysCommand(SC_MINIMIZE, 0); });
        connect(m_sysMenu->addAction(tr("Close")), &QAction::triggered, this,
                [this] { OnSysCommand(SC_CLOSE, 0); });
    }
    return m_sysMenu.get();
}

void CMelvaneDlg::ShowSystemMenu(const QPoint& globalPos) {
    if (m_sysMenu) {
        m_sysMenu->popup(globalPos);
    }
}

void CMelvaneDlg::OnSysCommand(unsigned nID, std::intptr_t /*lParam*/) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(m_hIcon, this);
        dlgAbout.exec();
        return;
    }
    // Default processing of the few system commands a frameless window has.
    switch (nID & 0xFFF0) {
        case SC_MINIMIZE:
            showMinimized();
            break;
        case SC_CLOSE:
            reject();
            break;
        default:
            break;
    }
}

void CMelvaneDlg::paintEvent(QPaintEvent* event) {
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    // Minimised: the application icon in the middle of the client area.
    QPainter dc(this);
    const int cxIcon = 32;
    const int cyIcon = 32;
    const QRect rect = this->rect();
    const int x = (rect.width() - cxIcon + 1) / 2;
    const int y = (rect.height() - cyIcon + 1) / 2;
    m_hIcon.paint(&dc, x, y, cxIcon, cyIcon);
}

QIcon CMelvaneDlg::OnQueryDragIcon() const {
    return m_hIcon;
}

void CMelvaneDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The background offers the system menu; the list keeps its own.
    QWidget* under = ControlAt(event->pos());
    if (under == nullptr || ControlId(under) == -1) {
        ShowSystemMenu(event->globalPos());
    }
}

QWidget* CMelvaneDlg::ControlAt(const QPoint& pos) const {
    QWidget* under = childAt(pos);
    // The list's items are drawn in its viewport; the point is over the list.
    for (QWidget* up = under; up != nullptr && up != this; up = up->parentWidget()) {
        if (qobject_cast<CListBoxCtrl*>(up) != nullptr) {
            return up;
        }
    }
    return under;
}

void CMelvaneDlg::keyPressEvent(QKeyEvent* event) {
    // A dialog without OK and Cancel buttons: Enter and Escape both end it,
    // which for this window means hiding it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        HideWindow();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMelvaneDlg::reject() {
    if (m_tray.IsTrayAvailable()) {
        QDialog::reject();
    } else {
        HideWindow();
    }
}

// ---- Message routing --------------------------------------------------------

bool CMelvaneDlg::event(QEvent* event) {
    if (event->type() == platform::MciNotifyEvent::Type()) {
        const auto* notify = static_cast<platform::MciNotifyEvent*>(event);
        OnMciNotify(notify->WParam(), notify->LParam());
        emit PlayerStateChanged();
        return true;
    }
    if (event->type() == platform::MciOutputEvent::Type()) {
        OnMciOutput();
        emit PlayerStateChanged();
        return true;
    }
    if (event->type() == platform::CommandEvent::Type()) {
        const auto* command = static_cast<platform::CommandEvent*>(event);
        OnCommand(command->Id(), command->Code());
        emit PlayerStateChanged();
        return true;
    }
    if (event->type() == platform::WindowMessageEvent::Type()) {
        const auto* message = static_cast<platform::WindowMessageEvent*>(event);
        DefWindowProc(message->Message(), message->WParam(), message->LParam());
        emit PlayerStateChanged();
        return true;
    }
    return QDialog::event(event);
}

bool CMelvaneDlg::OnCommand(int nID, int nCode) {
    for (const MessageMapEntry& entry : kMessageMap) {
        if (entry.id == nID && entry.code == nCode) {
            (this->*entry.handler)();
            return true;
        }
    }
    return false;
}

bool CMelvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    PreTranslateMessage(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        watched == m_listMusic.GetSafeHwnd()) {
        // Delete in the list is the Delete picture's command.
        QCoreApplication::postEvent(this, new platform::CommandEvent(IDC_DELETE, 0));
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        // A move a control does not take travels on to its parent; the cursor
        // is over whatever lies under it, whoever sees the event.
        const auto* move = static_cast<QMouseEvent*>(event);
        QWidget* under = ControlAt(mapFromGlobal(move->globalPosition().toPoint()));
        OnSetCursor(under != nullptr ? under : this);
    }
    return QDialog::eventFilter(watched, event);
}

bool CMelvaneDlg::PreTranslateMessage(QObject* receiver, QEvent* event) {
    m_tooltip.RelayEvent(receiver, event);
    return false;
}

std::intptr_t CMelvaneDlg::DefWindowProc(std::uint32_t message, std::uintptr_t /*wParam*/,
                                         std::intptr_t lParam) {
    if (message == WM_TRAYNOTIFY) {
        switch (static_cast<std::uint32_t>(lParam)) {
            case platform::WM_LBUTTONDBLCLK:
                ShowWindow();
                break;
            case platform::WM_RBUTTONDOWN:
                ShowTrayMenu();
                break;
            default:
                break;
        }
    }
    return 0;
}

void CMelvaneDlg::ShowWindow() {
    if (m_bDestroyed) {
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void CMelvaneDlg::DestroyWindow() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    KillTimer();
    hide();
    emit WindowDestroyed();
}

void CMelvaneDlg::SetTimer() {
    m_timer.start();
}

void CMelvaneDlg::KillTimer() {
    m_timer.stop();
}

// ---- Playback ----------------------------------------------------------------

void CMelvaneDlg::PlayMusic() {
    if (m_bPlaying == 0) {
        if (m_playlist.Play()) {
            m_bPlaying = 1;
        }
    }
}

void CMelvaneDlg::PrevMusic() {
    if (m_playlist.Prev()) {
        m_bPlaying = 1;
    } else {
        ShowStopped();
    }
}

void CMelvaneDlg::NextMusic() {
    if (m_playlist.Next()) {
        m_bPlaying = 1;
    } else {
        ShowStopped();
    }
}

void CMelvaneDlg::StopMusic() {
    if (m_bPlaying != 0) {
        m_playlist.Stop();
        m_bPlaying = 0;
    }
}

void CMelvaneDlg::OnMciNotify(std::uint32_t wParam, std::uint32_t /*lParam*/) {
    // A track that broke off (its output went away, say) no longer plays: the
    // player stops as if told to, and starts the same entry again, from its
    // start, when the media layer has an output again.
    if (wParam == platform::MCI_NOTIFY_FAILURE && m_bPlaying == 1) {
        OnStop();
        m_bResumeOnOutput = true;
        return;
    }
    if (wParam != platform::MCI_NOTIFY_SUCCESSFUL) {
        return;
    }
    m_playlist.Stop();
    if (m_bRepeatAll != 0) {
        m_playlist.MoveNext();
    }
    if (!m_playlist.Play()) {
        ShowStopped();
    }
}

void CMelvaneDlg::PlayEntry(int nIndex) {
    m_playlist.Stop();
    m_playlist.SetCurrent(nIndex);
    if (m_playlist.Play()) {
        if (m_bPlaying == 0) {
            SetTimer();
        }
        m_bPlaying = 1;
    } else {
        ShowStopped();
    }
}

void CMelvaneDlg::ShowStopped() {
    if (m_bPlaying == 0) {
        return;
    }
    KillTimer();
    g_nidTray.hIcon = *g_hIconStill;
    m_tray.Shell_NotifyIcon(platform::NIM_MODIFY, g_nidTray);
    m_bPlaying = 0;
}

void CMelvaneDlg::OnMciOutput() {
    if (m_bResumeOnOutput) {
        m_bResumeOnOutput = false;
        OnPlay();
    }
}

// ---- Skin buttons --------------------------------------------------------------

namespace {

// The seven controls that swap to a hover picture while the mouse is over
// them. The handles are read at each use: the constructor loads them.
struct HoverPair {
    int id;
    CStatic CMelvaneDlg::*button;
    QPixmap** normal;
    QPixmap** hot;
};

const HoverPair kHoverPairs[] = {
    {IDC_ADD, &CMelvaneDlg::m_btnAdd, &g_hbmAdd, &g_hbmAddHot},
    {IDC_DELETE, &CMelvaneDlg::m_btnDelete, &g_hbmDelete, &g_hbmDeleteHot},
    {IDC_EXIT, &CMelvaneDlg::m_btnExit, &g_hbmExit, &g_hbmExitHot},
    {IDC_FIRST, &CMelvaneDlg::m_btnFirst, &g_hbmFirst, &g_hbmFirstHot},
    {IDC_PLAY, &CMelvaneDlg::m_btnPlay, &g_hbmPlay, &g_hbmPlayHot},
    {IDC_FINAL, &CMelvaneDlg::m_btnFinal, &g_hbmFinal, &g_hbmFinalHot},
    {IDC_STOP, &CMelvaneDlg::m_btnStop, &g_hbmStop, &g_hbmStopHot},
};

}  // namespace

bool CMelvaneDlg::OnSetCursor(QWidget* pWnd) {
    const int nID = ControlId(pWnd);
    for (const HoverPair& pair : kHoverPairs) {
        if (pair.id == nID) {
            pWnd->setCursor(*g_hCursorHand);
            (this->*pair.button).SetBitmap(*pair.hot);
            return true;
        }
    }
    switch (nID) {
        case IDC_REPEATONE:
        case IDC_REPEATALL:
        case IDC_HIDE:
        case IDC_HELP:
            pWnd->setCursor(*g_hCursorHand);
            return true;
        default:
            for (const HoverPair& pair : kHoverPairs) {
                (this->*pair.button).SetBitmap(*pair.normal);
            }
            return false;
    }
}

void CMelvaneDlg::OnRepeatOne() {
    m_btnRepeatOne.SetBitmap(g_hbmRepeatOneOn);
    m_btnRepeatAll.SetBitmap(g_hbmRepeatAllOff);
    m_bRepeatAll = 0;
}

void CMelvaneDlg::OnRepeatAll() {
    m_btnRepeatOne.SetBitmap(g_hbmRepeatOneOff);
    m_btnRepeatAll.SetBitmap(g_hbmRepeatAllOn);
    m_bRepeatAll = 1;
}

void CMelvaneDlg::OnExit() {
    OnTrayExit();
}

void CMelvaneDlg::OnFirst() {
    PlayEntry(0);
}

void CMelvaneDlg::OnPlay() {
    if (m_bPlaying == 0) {
        if (m_playlist.Play()) {
            SetTimer();
            m_bPlaying = 1;
        }
    }
}

void CMelvaneDlg::OnFinal() {
    PlayEntry(m_playlist.GetCount() - 1);
}

void CMelvaneDlg::OnStop() {
    m_bResumeOnOutput = false;
    if (m_bPlaying == 1) {
        m_playlist.Stop();
        ShowStopped();
    }
}

void CMelvaneDlg::OnHide() {
    HideWindow();
}

void CMelvaneDlg::HideWindow() {
    // Without a tray icon a hidden window could not be brought back: it goes
    // to the task bar instead.
    if (m_tray.IsTrayAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

void CMelvaneDlg::OnHelp() {
    // An installed copy has no music.chm beside it, and most desktops could
    // not show one: it opens the help page installed with it instead.
    if (::access(kHelpFile, F_OK) != 0) {
        const std::string page = m_exePath.substr(0, m_exePath.rfind('/') + 1) + kInstalledHelpPage;
        if (m_exePath.find('/') != std::string::npos && ::access(page.c_str(), R_OK) == 0) {
            m_shell.OpenDocument(page);
            return;
        }
    }
    m_shell.OpenDocument(kHelpFile);
}

void CMelvaneDlg::OnDblclkList() {
    const int i = m_listMusic.GetCurSel();
    if (i < 0) {
        return;
    }
    // The entry the row shows, which until the first edit sits elsewhere in
    // the playlist.
    const int nEntry = m_listMusic.GetItemData(i);
    PlayEntry(nEntry >= 0 ? nEntry : i);
}

void CMelvaneDlg::OnSelchangeList() {
}

// ---- Playlist editing -----------------------------------------------------------

void CMelvaneDlg::OnAdd() {
    std::vector<std::string> paths;
    if (!m_shell.GetOpenFileNames(this, ".mid", "MediaFile(*.mid *.wav *.mp3)|*.mid;*.wav;*.mp3|",
                                  paths)) {
        return;
    }
    AddToList(paths, nullptr);
    RebuildPlaylist();
}

bool CMelvaneDlg::AddToList(const std::vector<std::string>& paths, std::string* pFirst) {
    // A line break would split the entry in the playlist file, and the
    // playlist has 100 places: such files are left out, and the user told.
    int nLeftOut = 0;
    bool bAdded = false;
    for (const std::string& path : paths) {
        if (path.find_first_of("\r\n") != std::string::npos) {
            m_prompts.WindowMessageBox("Can't add a file whose name contains a line break:\n" +
                                       path);
            continue;
        }
        if (m_listMusic.GetCount() >= CMusicList::kMaxMusic) {
            ++nLeftOut;
            continue;
        }
        m_listMusic.AddString(path);
        if (!bAdded && pFirst != nullptr) {
            *pFirst = path;
        }
        bAdded = true;
    }
    if (nLeftOut > 0) {
        m_prompts.WindowMessageBox("The playlist holds at most 100 files; " +
                                   std::to_string(nLeftOut) + " file(s) were not added.");
    }
    return bAdded;
}

void CMelvaneDlg::OpenFiles(const std::vector<std::string>& paths) {
    std::string strFirst;
    if (!AddToList(paths, &strFirst)) {
        RebuildPlaylist();
        return;
    }
    CopyListToPlaylist();
    int nFirst = 0;
    while (nFirst < m_playlist.GetCount() && m_playlist.GetMusic(nFirst) != strFirst) {
        ++nFirst;
    }
    PlayEntry(nFirst);
}

void CMelvaneDlg::OnOpenRequest(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        ShowWindow();
    } else {
        OpenFiles(paths);
    }
    emit PlayerStateChanged();
}

void CMelvaneDlg::OnDelete() {
    const int i = m_listMusic.GetCurSel();
    m_listMusic.SetCurSel(i + 1);
    m_listMusic.DeleteString(i);
    RebuildPlaylist();
}

void CMelvaneDlg::RebuildPlaylist() {
    CopyListToPlaylist();
    if (m_bPlaying == 0) {
        if (m_playlist.Play()) {
            m_bPlaying = 1;
        }
    }
}

void CMelvaneDlg::CopyListToPlaylist() {
    // Every entry of the list is copied back, empty ones too: an empty line
    // loaded from the file must not cut the rest of the playlist off.
    int k = m_listMusic.GetCount();
    if (k > CMusicList::kMaxMusic) {
        k = CMusicList::kMaxMusic;
    }
    for (int j = 0; j < k; j++) {
        m_playlist.SetMusic(j, m_listMusic.GetText(j));
        m_listMusic.SetItemData(j, j);
    }
    if (k < CMusicList::kMaxMusic) {
        m_playlist.SetMusic(k, "");
    }
    m_playlist.SetCount(k);
    m_playlist.Save();
    m_playlist.SetCurrent(0);
}

// ---- Tray icon, menu and exit -------------------------------------------------------

void CMelvaneDlg::OnTimer(int /*nIDEvent*/) {
    if (m_bPlaying != 1) {
        return;
    }
    switch (g_nAnimFrame) {
        case 1:
            g_nidTray.hIcon = *g_hIconAnim1;
            g_nAnimFrame = 2;
            g_bAnimUp = !g_bAnimUp;
            break;
        case 2:
            g_nidTray.hIcon = *g_hIconAnim2;
            g_nAnimFrame = g_bAnimUp ? 3 : 1;
            break;
        case 3:
            g_nidTray.hIcon = *g_hIconAnim3;
            g_nAnimFrame = g_bAnimUp ? 4 : 2;
            break;
        case 4:
            g_nidTray.hIcon = *g_hIconAnim4;
            g_nAnimFrame = 3;
            g_bAnimUp = !g_bAnimUp;
            break;
        default:
            break;
    }
    m_tray.Shell_NotifyIcon(platform::NIM_MODIFY, g_nidTray);
}

namespace {

// Menu resource `nIDResource` into `menu`; FALSE when there is none.
bool LoadMenu(platform::CMenu& menu, int nIDResource) {
    platform::CMenu popup;
    if (nIDResource != IDR_TRAYMENU || !menu.CreateMenu() || !popup.CreatePopupMenu()) {
        return false;
    }
    popup.AppendMenu(platform::MF_STRING, ID_MENU_PLACEHOLDER, kTrayMenuPlaceholderText);
    return menu.AppendMenu(platform::MF_POPUP, reinterpret_cast<platform::UINT_PTR>(popup.Detach()),
                           kTrayMenuPopupText);
}

}  // namespace

std::vector<platform::HostMenuEntry> CMelvaneDlg::TrayMenuEntries() {
    // The same insertions as the owner-drawn menu's, giving its final order.
    std::vector<platform::HostMenuEntry> entries;
    for (const TrayMenuStep& step : kTrayMenuSteps) {
        const platform::HostMenuEntry entry =
            step.text == nullptr ? platform::HostMenuEntry{0, QString()}
                                 : platform::HostMenuEntry{step.id, QString::fromUtf8(step.text)};
        entries.insert(entries.begin() + step.position, entry);
    }
    return entries;
}

void CMelvaneDlg::ShowTrayMenu() {
    CQMenu menu;

    platform::CMenu menuBar;
    LoadMenu(menuBar, IDR_TRAYMENU);
    menu.Attach(menuBar.GetSubMenu(0));

    platform::CBitmap bmpBand;
    bmpBand.LoadBitmap(IDB_BAND);
    menu.SetBandBitmap(bmpBand.Detach());

    menu.SetItemCount(kTrayMenuItemCount);
    menu.SetBandSize(platform::CSize(16, 218));
    menu.SetBandColor(platform::RGB(100, 100, 100));

    CQMenuItem items[kTrayMenuItemCount];
    int n = 0;
    for (const TrayMenuStep& step : kTrayMenuSteps) {
        CQMenuItem& item = items[n++];
        if (step.icon == 0) {
            item.SetSeparator(true);
        } else {
            item.LoadIcon(static_cast<platform::UINT>(step.icon));
            item.SetText(step.text);
        }
        menu.InsertItem(static_cast<platform::UINT>(step.id), &item, step.position);
    }

    menu.RemoveMenu(ID_MENU_PLACEHOLDER, platform::MF_BYCOMMAND);

    const QPoint point = QCursor::pos();

    menu.TrackPopupMenu(platform::TPM_RIGHTBUTTON, point.x(), point.y(), platform::ToHwnd(this));

    // The popup goes with the bar it was taken from: the menu lets go of it
    // first, so each is destroyed once.
    menu.Detach();
    menuBar.DestroyMenu();
}

void CMelvaneDlg::OnTrayExit() {
    if (!m_autoStart.OpenKey()) {
        m_prompts.WindowMessageBox("错误: 修改无法打开有关的hKEY!");
    } else {
        if (!m_autoStart.DeleteValue(kAutoStartName)) {
            m_prompts.WindowMessageBox("错误: 无法修改有关注册表信息!");
        }
        m_autoStart.CloseKey();
    }
    m_tray.Shell_NotifyIcon(platform::NIM_DELETE, g_nidTray);
    DestroyWindow();
}

void CMelvaneDlg::OnTrayFinal() {
    OnFinal();
}

void CMelvaneDlg::OnTrayNext() {
    NextMusic();
}

void CMelvaneDlg::OnTrayStop() {
    OnStop();
}

void CMelvaneDlg::OnTrayPlay() {
    OnPlay();
}

void CMelvaneDlg::OnTrayLast() {
    PrevMusic();
}

void CMelvaneDlg::OnTrayFirst() {
    OnFirst();
}

void CMelvaneDlg::OnTrayOption() {
    ShowWindow();
}
