// The main window's controls and their wrappers. A control is a child widget
// that knows its id and reports clicks and list notifications to its parent as
// commands; a wrapper is bound to a control by id and offers the operations
// the window's handlers use.
#pragma once

#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

constexpr int LBN_SELCHANGE = 1;
constexpr int LBN_DBLCLK = 2;
constexpr int TTDT_INITIAL = 3;

// A picture control: shows one picture at its top-left corner and takes its
// size. With `notify`, a click posts a command with the control's id.
class CPictureCtrl : public QWidget {
    Q_OBJECT
public:
    CPictureCtrl(QWidget* parent, int id, bool notify);

    int Id() const { return m_id; }
    // Whether a click posts a command.
    bool Notifies() const { return m_notify; }
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The second press of a double-click: the first press already made the
    // click, so this one makes none.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_id;
    bool m_notify;
    bool m_pressed = false;
    QPixmap m_picture;
};

// A sorted single-selection list whose items keep the exact bytes they were
// given; only their display is decoded. Sorting is case-insensitive and follows
// the user's locale.
class CListBoxCtrl : public QListWidget {
    Q_OBJECT
public:
    CListBoxCtrl(QWidget* parent, int id);
    int Id() const { return m_id; }

    int AddString(const std::string& bytes);
    std::string Text(int index) const;
    void SetItemData(int index, int value);
    int ItemData(int index) const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_id;
};

class CStatic {
public:
    void Attach(CPictureCtrl* control) { m_hWnd = control; }
    CPictureCtrl* GetSafeHwnd() const { return m_hWnd; }
    // Shows `picture` (nothing for a null handle), sized to it, top-left fixed.
    void SetBitmap(const QPixmap* picture);
    // The picture shown, for tests and the hover logic.
    QPixmap GetBitmap() const;

private:
    QPointer<CPictureCtrl> m_hWnd;
};

class CListBox {
public:
    void Attach(CListBoxCtrl* control) { m_hWnd = control; }
    CListBoxCtrl* GetSafeHwnd() const { return m_hWnd; }

    int AddString(const std::string& text);
    std::string GetText(int index) const;
    int GetCount() const;
    int GetCurSel() const;  // -1 when nothing is selected
    // A number kept with an entry, moving with it as the list sorts; -1 for an
    // entry without one or out of range.
    void SetItemData(int index, int data);
    int GetItemData(int index) const;
    // Out of range (-1 included) leaves nothing selected.
    void SetCurSel(int index);
    void DeleteString(int index);

private:
    QPointer<CListBoxCtrl> m_hWnd;
};

// Tool tips that follow the mouse messages relayed to them, with our own
// initial delay, shown only while their window is the active one.
class CToolTipCtrl : public QObject {
    Q_OBJECT
public:
    bool Create(QWidget* parent);
    void Activate(bool active) { m_active = active; }
    void SetDelayTime(int which, int ms);
    bool AddTool(QWidget* tool, const QString& text);
    void RelayEvent(QObject* receiver, QEvent* event);

    // What is showing now, for tests; empty when nothing.
    QString ShownText() const { return m_shown; }

private:
    struct Tool {
        QPointer<QWidget> widget;
        QString text;
    };
    const Tool* FindTool(QObject* receiver) const;
    void Show();
    void Hide();

    QPointer<QWidget> m_parent;
    std::vector<Tool> m_tools;
    QTimer m_timer;
    const Tool* m_pending = nullptr;
    QString m_shown;
    bool m_active = false;
};
