#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // What Qt and the libraries under it keep for the user (caches, settings)
    // goes to a folder of the run's own, not to the home of whoever runs it.
    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_STATE_HOME", path + "/.local/state");
    // Private to the user, as a runtime folder must be; without one Qt makes
    // /tmp/runtime-USER.
    qputenv("XDG_RUNTIME_DIR", path);
    // GStreamer's plugin registry would be rebuilt in every such folder: one,
    // kept in the build tree, serves every run.
    if (qEnvironmentVariableIsEmpty("GST_REGISTRY")) {
        qputenv("GST_REGISTRY", MELVANE_TEST_GST_REGISTRY);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
