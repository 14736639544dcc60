// The window over fakes with the real media-control service on the session
// bus, and the desktop's side of the bus: playerctl, run as a process while
// this thread keeps serving the bus, and a second connection that calls
// methods and hears PropertiesChanged.
#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QProcess>
#include <QTest>

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
inline void PrintTo(const QVariant& value, std::ostream* out) {
    *out << value.typeName() << ' ' << value.toString().toStdString();
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

class MprisTest : public DlgTest {
protected:
    // How long an answer or a process may take on a busy machine; waits end
    // as soon as what they wait for has come.
    static constexpr int kBoundMs = 30000;

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

    // A window over `entries`, playing the first, on the bus; what start-up
    // did is forgotten.
    CMelvaneDlg& StartOnBus(const std::vector<std::string>& entries) {
        WritePlaylist(entries);
        Start(&m_modal);
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

    // playerctl aimed at this player, run while this thread goes on serving
    // the bus; its output, or "failed" when it failed.
    QString Ctl(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral("playerctl"),
                      QStringList{QStringLiteral("-p"), QStringLiteral("melvane")} + args);
        const bool ended =
            process.waitForStarted() &&
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kBoundMs);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        // The command itself was queued behind the reply.
        QCoreApplication::processEvents();
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
                   ? QString::fromUtf8(process.readAllStandardOutput()).trimmed()
                   : QStringLiteral("failed");
    }

    // A method call from the other client, answered while this thread serves
    // the bus.
    void Call(const QString& interface, const QString& method) {
        QDBusPendingCallWatcher watcher(m_observer->asyncCall(
            QDBusMessage::createMethodCall(Service(), Path(), interface, method), kBoundMs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, kBoundMs + 1000))
            << "no answer to " << method.toStdString();
        EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
        QCoreApplication::processEvents();
    }

    // A property of the player interface, read by the other client while this
    // thread serves the bus; an invalid value when it could not be read.
    QVariant Property(const QString& name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            Service(), Path(), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << name;
        QDBusPendingCallWatcher watcher(m_observer->asyncCall(get, kBoundMs));
        if (!QTest::qWaitFor([&] { return watcher.isFinished(); }, kBoundMs + 1000) ||
            watcher.isError()) {
            return QVariant();
        }
        return watcher.reply().arguments().value(0).value<QDBusVariant>().variant();
    }

    // Waits for the n-th PropertiesChanged since the start.
    bool WaitForChanges(std::size_t n) {
        return QTest::qWaitFor([&] { return m_recorder.changes.size() >= n; }, kBoundMs);
    }

    ModalPrompts m_modal;
    std::unique_ptr<CMelvaneMpris> m_player;
    std::unique_ptr<platform::MprisService> m_service;
    std::unique_ptr<QDBusConnection> m_observer;
    PropertiesChangedRecorder m_recorder;
};
