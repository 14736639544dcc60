#include "platform/prompts_qt.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace platform {
namespace {

void ShowBox(QMessageBox::Icon icon, const std::string& text, QWidget* owner) {
    QMessageBox box(icon, QCoreApplication::applicationName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, owner);
    // Owned by a hidden main window, the box would not be centred anywhere
    // sensible; it still must come up on top.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace

void QtPrompts::AppMessageBox(const std::string& text) {
    ShowBox(QMessageBox::Warning, text, nullptr);
}

void QtPrompts::WindowMessageBox(const std::string& text) {
    QWidget* owner = m_mainWindow;
    ShowBox(QMessageBox::NoIcon, text, owner != nullptr && owner->isVisible() ? owner : nullptr);
}

}  // namespace platform
