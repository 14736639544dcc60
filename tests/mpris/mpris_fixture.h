// The window over fakes with the real media-control service on the session
// bus, and the desktop's side of the bus: playerctl, run as a process while
// this thread keeps serving the bus, and a second connection that reads
// properties and hears PropertiesChanged.
#pragma once

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/mpris_qt.h"
#include "ui/dlg_fixture.h"
#include "ui/melvanempris.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Every PropertiesChanged the player sends, in order of arrival.
class PropertiesChangedRecorder : public QObject {
    Q_OBJECT
public:
    struct Change {
        QString interface;
        QVariantMap changed;
    };
    std::vector<Change> changes;

public Q_SLOTS:
    void OnChanged(const QString& interface, const QVariantMap& changed,
                   const QStringList& /*invalidated*/) {
        changes.push_back({interface, changed});
    }
};

// Message boxes that stay open while `whileOpen` runs: its waits are the box's
// own event loop, as a real box runs one.
class ModalPrompts : public FakePrompts {
public:
    void AppMessageBox(const std::string& text) override {
        FakePrompts::AppMessageBox(text);
        if (whileOpen) {
            const std::function<void()> action = std::move(whileOpen);
            whileOpen = nullptr;
            action();
        }
    }
    std::function<void()> whileOpen;
};

struct ProcessResult {
    bool finished = false;
    int exitCode = -1;
    QString out;
};

// Runs a program to its end (or kills it after `timeoutMs`) while this thread
// goes on serving the bus.
inline ProcessResult RunProcess(const QString& program, const QStringList& args,
                                int timeoutMs = 10000) {
    QProcess process;
    process.start(program, args);
    ProcessResult result;
    if (!process.waitForStarted()) {
        return result;
    }
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.finished = true;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return result;
}

class MprisTest : public DlgTest {
protected:
    static QString Service() { return QLatin1String(platform::MprisService::kServiceName); }
    static QString Path() { return QLatin1String(platform::MprisService::kObjectPath); }

    void TearDown() override {
        m_service.reset();
        m_player.reset();
        if (m_observer) {
            m_observer.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
        }
        DlgTest::TearDown();
    }

    // A window over entries /m/0.mid .. /m/(n-1).mid, playing the first, on
    // the bus; what start-up did is forgotten.
    CMelvaneDlg& StartOnBus(int n) {
        std::vector<std::string> entries;
        for (int i = 0; i < n; ++i) {
            entries.push_back("/m/" + std::to_string(i) + ".mid");
        }
        WritePlaylist(entries);
        return StartOnBus();
    }
    CMelvaneDlg& StartOnBus() {
        m_dlg = std::make_unique<CMelvaneDlg>(CMelvaneDlg::Services{
            m_mci, m_modal, m_app, m_autoStart, m_tray, m_shell, "/opt/melvane/melvane"});
        m_app.mainWnd = platform::ToHwnd(m_dlg.get());
        m_dlg->Create();
        m_player = std::make_unique<CMelvaneMpris>(*m_dlg);
        m_service =
            std::make_unique<platform::MprisService>(*m_player, QDBusConnection::sessionBus());
        m_player->Follow(*m_service);
        EXPECT_TRUE(m_service->Register());
        // Another client of the bus, which hears the player's news.
        m_observer = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("observer")));
        m_observer->connect(Service(), Path(), QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("PropertiesChanged"), &m_recorder,
                            SLOT(OnChanged(QString, QVariantMap, QStringList)));
        // A round trip to the bus: the match rule is in place before anything
        // happens.
        m_observer->interface()->isServiceRegistered(Service());
        Clear();
        m_modal.app.clear();
        return *m_dlg;
    }

    // playerctl aimed at this player; its output, or "failed" when it failed.
    QString Ctl(const QStringList& args) {
        const ProcessResult run =
            RunProcess(QStringLiteral("playerctl"),
                       QStringList{QStringLiteral("-p"), QStringLiteral("melvane")} + args);
        // The command itself was queued behind the reply.
        QCoreApplication::processEvents();
        return run.finished && run.exitCode == 0 ? run.out : QStringLiteral("failed");
    }

    // A method call or property read from the other client, answered while
    // this thread serves the bus.
    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(Service(), Path(), interface, method);
        call.setArguments(args);
        QDBusPendingCallWatcher watcher(m_observer->asyncCall(call, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 6000))
            << "no answer to " << method.toStdString();
        QCoreApplication::processEvents();
        return watcher.reply();
    }
    QVariant Property(const QString& interface, const QString& name) {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                        QStringLiteral("Get"), {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariant PlayerProperty(const char* name) {
        return Property(QStringLiteral("org.mpris.MediaPlayer2.Player"), QLatin1String(name));
    }
    QVariantMap Metadata() {
        return qdbus_cast<QVariantMap>(PlayerProperty("Metadata").value<QDBusArgument>());
    }

    // Waits for the n-th PropertiesChanged since the start.
    bool WaitForChanges(std::size_t n) {
        return QTest::qWaitFor([&] { return m_recorder.changes.size() >= n; }, 5000);
    }

    ModalPrompts m_modal;
    std::unique_ptr<CMelvaneMpris> m_player;
    std::unique_ptr<platform::MprisService> m_service;
    std::unique_ptr<QDBusConnection> m_observer;
    PropertiesChangedRecorder m_recorder;
};
