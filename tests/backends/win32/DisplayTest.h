#pragma once

#include <gtest/gtest.h>
#include <windows.h>

namespace vexor::win32 {

// Tests that make windows: skipped where no display lets a window be created.
class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                           nullptr, GetModuleHandleW(nullptr), nullptr);
        if (probe == nullptr) {
            GTEST_SKIP() << "no display: windows cannot be created here";
        }
        DestroyWindow(probe);
    }
};

} // namespace vexor::win32
