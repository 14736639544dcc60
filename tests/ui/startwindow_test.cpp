#include <QTest>

#include <functional>
#include <memory>

#include "dlg_fixture.h"
#include "ui/startwindow.h"

namespace {

// Start-up as the application does it, with a grace that only the test ends
// (by OnGraceOver), unless it asks for a real one.
class StartWindowTest : public DlgTest {
protected:
    CStartWindow& Begin(bool trayThere, int graceMs = 600000) {
        m_tray.available = trayThere;
        CMelvaneDlg& dlg = Start();
        dlg.hide();
        m_start = std::make_unique<CStartWindow>(dlg, m_tray);
        m_start->Start(graceMs);
        return *m_start;
    }
    void TearDown() override {
        m_start.reset();
        DlgTest::TearDown();
    }
    std::unique_ptr<CStartWindow> m_start;
};

using State = CStartWindow::State;

TEST_F(StartWindowTest, WithATrayTheWindowStaysHiddenAndNothingIsAwaited) {
    CStartWindow& start = Begin(true);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(start.GetState(), State::Done);
    EXPECT_FALSE(m_tray.appeared);
}

TEST_F(StartWindowTest, ATrayComingWithinTheGraceKeepsTheWindowHiddenForGood) {
    CStartWindow& start = Begin(false);
    EXPECT_EQ(start.GetState(), State::Waiting);
    EXPECT_FALSE(m_dlg->isVisible());
    ASSERT_TRUE(m_tray.appeared);
    m_tray.Appear();
    EXPECT_EQ(start.GetState(), State::Done);
    start.OnGraceOver();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_FALSE(m_tray.appeared);
}

TEST_F(StartWindowTest, NoTrayByTheEndOfTheGraceShowsTheWindowUntilOneComes) {
    CStartWindow& start = Begin(false, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dlg->isVisible(); }, 30000));
    EXPECT_EQ(start.GetState(), State::Shown);
    m_tray.Appear();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(start.GetState(), State::Done);
    // A tray that starts again later leaves the window to the user.
    m_dlg->show();
    m_tray.Appear();
    EXPECT_TRUE(m_dlg->isVisible());
}

TEST_F(StartWindowTest, ATrayFoundAtTheEndOfTheGraceKeepsTheWindowHidden) {
    CStartWindow& start = Begin(false);
    m_tray.available = true;  // there, but not announced
    start.OnGraceOver();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(start.GetState(), State::Done);
}

TEST_F(StartWindowTest, AWindowTheUserHasTouchedStaysWhenTheTrayComes) {
    struct Touch {
        const char* what;
        std::function<void(CMelvaneDlg&)> act;
    };
    const Touch touches[] = {
        {"click on the list",
         [](CMelvaneDlg& dlg) {
             QTest::mouseClick(dlg.m_listMusic.GetSafeHwnd()->viewport(), Qt::LeftButton);
         }},
        {"click on the background",
         [](CMelvaneDlg& dlg) { QTest::mouseClick(&dlg, Qt::LeftButton); }},
        {"key", [](CMelvaneDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Down); }},
    };
    for (const Touch& touch : touches) {
        SCOPED_TRACE(touch.what);
        m_start.reset();
        CStartWindow& start = Begin(false);
        start.OnGraceOver();
        ASSERT_TRUE(m_dlg->isVisible());
        touch.act(*m_dlg);
        EXPECT_EQ(start.GetState(), State::Done);
        m_tray.Appear();
        EXPECT_TRUE(m_dlg->isVisible());
    }
}

TEST_F(StartWindowTest, AnotherWindowsEventsAndAPaintDoNotCountAsTouches) {
    CStartWindow& start = Begin(false);
    start.OnGraceOver();
    QWidget other;
    other.show();
    QTest::mouseClick(&other, Qt::LeftButton);
    QTest::keyClick(&other, Qt::Key_A);
    m_dlg->repaint();
    EXPECT_EQ(start.GetState(), State::Shown);
    m_tray.Appear();
    EXPECT_FALSE(m_dlg->isVisible());
}

TEST_F(StartWindowTest, AWindowAlreadyDestroyedIsNeverShown) {
    CStartWindow& start = Begin(false);
    m_dlg->DestroyWindow();
    start.OnGraceOver();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(start.GetState(), State::Done);
}

}  // namespace
