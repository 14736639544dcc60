// Fakes of the window's other services: autostart, tray and shell. Each
// writes what it was asked to a shared journal so tests can check the order
// of work across services.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QIcon>

#include "platform/autostart.h"
#include "platform/shell.h"
#include "platform/tray.h"

using Journal = std::vector<std::string>;

class FakeAutoStart : public platform::IAutoStart {
public:
    explicit FakeAutoStart(Journal& journal) : m_journal(journal) {}

    bool OpenKey() override {
        m_journal.push_back("autostart: open");
        return openWorks;
    }
    bool SetValue(const std::string& name, const std::string& path) override {
        m_journal.push_back("autostart: set " + name + "=" + path);
        if (setWorks) {
            value = path;
            present = true;
        }
        return setWorks;
    }
    bool DeleteValue(const std::string& name) override {
        m_journal.push_back("autostart: delete " + name);
        const bool was = present;
        present = false;
        return was;
    }
    void CloseKey() override { m_journal.push_back("autostart: close"); }

    bool openWorks = true;
    bool setWorks = true;
    bool present = false;
    std::string value;

private:
    Journal& m_journal;
};

class FakeTray : public platform::ITray {
public:
    explicit FakeTray(Journal& journal) : m_journal(journal) {}

    bool Shell_NotifyIcon(std::uint32_t dwMessage, const platform::NOTIFYICONDATA& nid) override {
        static const char* const kNames[] = {"add", "modify", "delete"};
        m_journal.push_back(std::string("tray: ") + (dwMessage < 3 ? kNames[dwMessage] : "?"));
        records.push_back({dwMessage, nid});
        return available;
    }
    bool IsTrayAvailable() const override { return available; }
    void SetTrayAppearedHandler(std::function<void()> handler) override {
        appeared = std::move(handler);
    }

    // A tray host starts: the icon has somewhere to go.
    void Appear() {
        available = true;
        if (appeared) {
            appeared();
        }
    }

    // The icon handed over with the last NIM_MODIFY.
    QIcon LastIcon() const { return records.empty() ? QIcon() : records.back().second.hIcon; }

    bool available = true;
    std::vector<std::pair<std::uint32_t, platform::NOTIFYICONDATA>> records;
    std::function<void()> appeared;

private:
    Journal& m_journal;
};

class FakeShell : public platform::IShell {
public:
    bool GetOpenFileNames(QWidget* owner, const std::string& defaultSuffix,
                          const std::string& filter, std::vector<std::string>& paths) override {
        lastOwner = owner;
        lastSuffix = defaultSuffix;
        lastFilter = filter;
        ++dialogs;
        if (cancel) {
            return false;
        }
        paths = chosen;
        return true;
    }
    bool OpenDocument(const std::string& path) override {
        opened.push_back(path);
        return false;
    }

    bool cancel = false;
    std::vector<std::string> chosen;
    int dialogs = 0;
    QWidget* lastOwner = nullptr;
    std::string lastSuffix;
    std::string lastFilter;
    std::vector<std::string> opened;
};
