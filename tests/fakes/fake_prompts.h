// Records message boxes instead of showing them.
#pragma once

#include <string>
#include <vector>

#include "platform/prompts.h"

class FakePrompts : public platform::IPrompts {
public:
    void AppMessageBox(const std::string& text) override { app.push_back(text); }
    void WindowMessageBox(const std::string& text) override { window.push_back(text); }

    std::vector<std::string> app;     // warning-icon boxes of the application
    std::vector<std::string> window;  // plain boxes of the main window
};
