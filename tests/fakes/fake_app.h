#pragma once

#include "platform/app.h"

class FakeApp : public platform::IApp {
public:
    platform::HWND GetMainWnd() const override { return mainWnd; }
    platform::HWND mainWnd = nullptr;
};
