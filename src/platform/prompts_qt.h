#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompts.h"

namespace platform {

// Message boxes on QMessageBox, captioned with the application title.
class QtPrompts : public IPrompts {
public:
    // The window that owns the window's boxes; may be set after construction.
    void SetMainWindow(QWidget* window) { m_mainWindow = window; }

    void AppMessageBox(const std::string& text) override;
    void WindowMessageBox(const std::string& text) override;

private:
    QPointer<QWidget> m_mainWindow;
};

}  // namespace platform
