#include "backends/win32/Win32Window.h"
#include "DisplayTest.h"
#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "FakeWindow.h"
#include "RecordingSink.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace vexor::win32 {
namespace {

using fakes::RecordingSink;

// Hands every waiting message to the window as its message loop would.
void Pump(Win32Window& window) {
    for (int round = 0; round < 5; ++round) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!window.PreTranslate(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Sleep(20);
    }
}

RECT RectIn(HWND control, HWND parent) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string NameOf(const Win32Window& window, HWND control) {
    for (const ControlSpec& entry : kMainWindow.controls) {
        if (window.control(entry.name) == control) {
            return std::string(entry.name);
        }
    }
    return "?";
}

using Win32WindowTest = DisplayTest;

TEST_F(Win32WindowTest, ControlsStandWhereTheDescriptionPutsThem) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    ASSERT_EQ(window.dpi(), 96) << "the rectangles below are those of 96 dpi";
    RECT client;
    GetClientRect(window.handle(), &client);
    EXPECT_EQ(client.right, 460);
    EXPECT_EQ(client.bottom, 252);
    for (const ControlSpec& entry : kMainWindow.controls) {
        const HWND control = window.control(entry.name);
        ASSERT_NE(control, nullptr) << entry.name;
        RECT rect = RectIn(control, window.handle());
        if (!entry.container.empty()) {
            const RECT frame = RectIn(window.control(entry.container), window.handle());
            OffsetRect(&rect, -frame.left, -frame.top);
        }
        EXPECT_EQ(rect.left, entry.left / 15) << entry.name;
        EXPECT_EQ(rect.top, entry.top / 15) << entry.name;
        EXPECT_EQ(rect.right - rect.left, entry.width / 15) << entry.name;
        EXPECT_EQ(rect.bottom - rect.top, entry.height / 15) << entry.name;
    }
}

// The list box's own procedure, and one in front of it that refuses inserts
// as a list box out of memory does.
WNDPROC gListProcedure = nullptr;
LRESULT CALLBACK RefusingInserts(HWND control, UINT message, WPARAM w, LPARAM l) {
    if (message == LB_INSERTSTRING) {
        return LB_ERRSPACE;
    }
    return CallWindowProcW(gListProcedure, control, message, w, l);
}

TEST_F(Win32WindowTest, AReplaceThatCannotInsertLeavesTheListAsItWas) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    IListBox& list = window.controls().lstIPRede;
    for (const char* line : {"ALFA", "BETA", "GAMA"}) {
        list.AddItem(line);
    }
    const HWND control = window.control("lstIPRede");
    gListProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefusingInserts)));
    list.setItem(1, "BETA                10.0.0.2");
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gListProcedure));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0), "ALFA");
    EXPECT_EQ(list.item(1), "BETA");
    EXPECT_EQ(list.item(2), "GAMA");
    list.setItem(1, "BETA                10.0.0.2");
    EXPECT_EQ(list.item(1), "BETA                10.0.0.2");
    EXPECT_EQ(list.item(2), "GAMA");
}

TEST_F(Win32WindowTest, FixedBorderWithoutMaximizeBox) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    const LONG_PTR style = GetWindowLongPtrW(window.handle(), GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    wchar_t title[64];
    GetWindowTextW(window.handle(), title, 64);
    EXPECT_EQ(std::wstring(title), L"Vexor Moralto - v2.5");
}

TEST_F(Win32WindowTest, FocusStartsOnSairAndTabFollowsTheTabIndex) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    ShowWindow(window.control("lstIPRede"), SW_HIDE);
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    ASSERT_EQ(NameOf(window, GetFocus()), "btnSair");
    std::vector<std::string> order;
    HWND current = GetFocus();
    for (int i = 0; i < 6; ++i) {
        current = GetNextDlgTabItem(window.handle(), current, FALSE);
        order.push_back(NameOf(window, current));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"btnAjuda", "txtIPS", "lstIPS", "btnAtualizar",
                                               "btnImprimir", "btnSair"}));
    ShowWindow(window.control("lstIPRede"), SW_SHOW);
    EXPECT_EQ(NameOf(window, GetNextDlgTabItem(window.handle(), window.control("lstIPS"), FALSE)),
              "lstIPRede");
}

TEST_F(Win32WindowTest, F5FromAListBoxRefreshes) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    fakes::FakeSockets sockets;
    sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    sockets.hostsByName["ALFA"] = {"alfa", {{10, 0, 0, 5}}};
    fakes::FakeNetwork network(
        {fakes::Provider("Rede", {fakes::Domain("GRUPO", {fakes::Server("\\\\ALFA")})})});
    fakes::FakeShell shell;
    fakes::FakeToolkit toolkit;
    frmPrincipal form(PlatformServices{sockets, network, shell, toolkit}, window.controls());
    window.setEventSink(&form);
    form.Load();
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    EXPECT_FALSE(IsWindowVisible(window.control("lstIPRede")));

    SetFocus(window.control("lstIPS"));
    PostMessageW(window.control("lstIPS"), WM_KEYDOWN, VK_F5, 1);
    Pump(window);
    EXPECT_TRUE(IsWindowVisible(window.control("lstIPRede")));
    EXPECT_FALSE(IsWindowVisible(window.control("rtlIPRede")));
    EXPECT_EQ(window.controls().lstIPRede.item(0), "ALFA                10.0.0.5");
    EXPECT_EQ(window.controls().txtIPS.text(), "ESTACAO01");
    window.setEventSink(nullptr);
}

TEST_F(Win32WindowTest, AccessKeysClickTheirButtonsAndCloseRunsUnload) {
    const struct {
        wchar_t key;
        const char* click;
    } cases[] = {{L'S', "click:btnSair"}, {L'A', "click:btnAjuda"}, {L'I', "click:btnImprimir"}};
    for (const auto& c : cases) {
        Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
        RecordingSink sink;
        window.setEventSink(&sink);
        window.showCentred(SW_SHOWNORMAL);
        Pump(window);
        const HWND focus = GetFocus();
        // The message loop translates the key into the character the dialog
        // manager matches against the captions' access keys.
        PostMessageW(focus, WM_SYSKEYDOWN, c.key, 0x20000001);
        Pump(window);
        EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), c.click), 1) << c.click;
        EXPECT_EQ(std::count(sink.events.begin(), sink.events.end(), "unload"), 0);
        SendMessageW(window.handle(), WM_CLOSE, 0, 0);
        EXPECT_EQ(sink.events.back(), "unload");
        EXPECT_FALSE(IsWindow(window.handle()));
    }
}

// Presses a key on `control` as the keyboard would, with the modifier keys of
// `modifiers` (VK_SHIFT, VK_CONTROL, VK_MENU) held down for its length.
void PressKey(Win32Window& window, HWND control, WORD key, std::initializer_list<BYTE> modifiers) {
    BYTE state[256] = {};
    bool alt = false;
    for (const BYTE modifier : modifiers) {
        state[modifier] = 0x80;
        alt = alt || modifier == VK_MENU;
    }
    SetKeyboardState(state);
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    const LPARAM context = alt ? 0x20000001 : 1;
    PostMessageW(control, down, key, context);
    PostMessageW(control, up, key, context | static_cast<LPARAM>(0xC0000000));
    Pump(window);
    BYTE released[256] = {};
    SetKeyboardState(released);
}

TEST_F(Win32WindowTest, F5WithEveryModifierFromEveryControlReachesTheWindowOnce) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    RecordingSink sink;
    window.setEventSink(&sink);
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    const struct {
        std::initializer_list<BYTE> modifiers;
        const char* event;
    } keys[] = {{{}, "key:116:0"},
                {{VK_SHIFT}, "key:116:1"},
                {{VK_CONTROL}, "key:116:2"},
                {{VK_MENU}, "key:116:4"},
                {{VK_SHIFT, VK_CONTROL, VK_MENU}, "key:116:7"}};
    for (const char* name :
         {"btnSair", "btnAjuda", "txtIPS", "lstIPS", "lstIPRede", "btnAtualizar", "btnImprimir"}) {
        const HWND control = window.control(name);
        SetFocus(control);
        ASSERT_EQ(GetFocus(), control) << name;
        for (const auto& key : keys) {
            sink.events.clear();
            PressKey(window, control, VK_F5, key.modifiers);
            EXPECT_EQ(sink.events, std::vector<std::string>{key.event}) << name;
        }
    }
}

// F5 held down repeats (bit 30 of lParam), and presses and clicks made while a
// refresh kept the window busy wait in the queue with their time: none of them
// runs another refresh.
TEST_F(Win32WindowTest, HeldOrQueuedInputNeverRunsAnotherRefresh) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    std::uint32_t now = 10000;
    window.setClock([&now] { return now; });
    // Each handler takes four seconds of the window's clock.
    struct SlowSink : RecordingSink {
        std::uint32_t* now = nullptr;
        void KeyDown(std::uint16_t& keyCode, int shiftState) override {
            RecordingSink::KeyDown(keyCode, shiftState);
            *now += 4000;
        }
        void Click(std::string_view control) override {
            RecordingSink::Click(control);
            *now += 4000;
        }
    } sink;
    sink.now = &now;
    window.setEventSink(&sink);
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    const HWND focus = window.control("btnSair");
    SetFocus(focus);
    const HWND refresh = window.control("btnAtualizar");
    RECT inside{};
    GetClientRect(refresh, &inside);
    const LPARAM centre = MAKELPARAM(inside.right / 2, inside.bottom / 2);

    enum Kind { F5, HeldF5, Click };
    const struct {
        const char* what;
        Kind kind;
        DWORD time;
        std::vector<std::string> events;
    } steps[] = {
        {"F5 held down", HeldF5, 1000, {}},
        {"F5", F5, 1000, {"key:116:0"}},
        {"F5 pressed during that refresh", F5, 2000, {}},
        {"a click during that refresh", Click, 4900, {}},
        {"F5 held down after it", HeldF5, 5100, {}},
        {"F5 after it", F5, 5100, {"key:116:0"}},
        {"a click during the second refresh", Click, 8900, {}},
        {"a click after it", Click, 9200, {"click:btnAtualizar"}},
        {"F5 during the click's refresh", F5, 12900, {}},
    };
    for (const auto& step : steps) {
        sink.events.clear();
        std::vector<MSG> messages;
        if (step.kind == Click) {
            messages.push_back({refresh, WM_LBUTTONDOWN, MK_LBUTTON, centre, step.time, {}});
            messages.push_back({refresh, WM_LBUTTONUP, 0, centre, step.time, {}});
        } else {
            const LPARAM repeated = step.kind == HeldF5 ? LPARAM{1} << 30 : 0;
            messages.push_back({focus, WM_KEYDOWN, VK_F5, 1 | repeated, step.time, {}});
        }
        for (MSG& message : messages) {
            if (!window.PreTranslate(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Pump(window);
        EXPECT_EQ(sink.events, step.events) << step.what;
    }
    window.setEventSink(nullptr);
}

TEST_F(Win32WindowTest, SpaceClicksTheFocusedSairAndNoAltKeyClicksAtualizar) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    RecordingSink sink;
    window.setEventSink(&sink);
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    ASSERT_EQ(NameOf(window, GetFocus()), "btnSair");
    PressKey(window, GetFocus(), VK_SPACE, {});
    EXPECT_EQ(sink.count("click:btnSair"), 1);
    for (WORD key = L'0'; key <= L'Z'; ++key) {
        if (key > L'9' && key < L'A') {
            continue;
        }
        PressKey(window, GetFocus(), key, {VK_MENU});
    }
    EXPECT_EQ(sink.count("click:btnAtualizar"), 0);
    EXPECT_EQ(sink.count("click:btnImprimir"), 1);
    EXPECT_EQ(sink.count("click:btnAjuda"), 1);
    EXPECT_EQ(sink.count("click:btnSair"), 2);
}

TEST_F(Win32WindowTest, ShownCentredWithTheInstructionOnTwoLines) {
    Win32Window window(GetModuleHandleW(nullptr), kMainWindow);
    window.showCentred(SW_SHOWNORMAL);
    Pump(window);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{};
    GetWindowRect(window.handle(), &frame);
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 2);

    // The label draws its text as DrawText does with word breaks, in its own font.
    const HWND label = window.control("rtlIPRede");
    wchar_t text[256] = {};
    GetWindowTextW(label, text, 256);
    RECT bounds{};
    GetClientRect(label, &bounds);
    const LONG height = bounds.bottom;
    const HDC context = GetDC(label);
    const HGDIOBJ previous =
        SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    DrawTextW(context, text, -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(context, previous);
    ReleaseDC(label, context);
    EXPECT_EQ(bounds.bottom / metrics.tmHeight, 2) << bounds.bottom << " / " << metrics.tmHeight;
    EXPECT_LE(bounds.bottom, height);
}

// The real program: Alt+S ends it at once.
TEST_F(Win32WindowTest, AltSEndsTheProgram) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path program =
        std::filesystem::path(self).parent_path().parent_path() / "src" / "vexormoralto.exe";
    ASSERT_TRUE(std::filesystem::exists(program)) << program.string();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = L"\"" + program.wstring() + L"\"";
    ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND found = nullptr;
    for (int i = 0; i < 200 && found == nullptr; ++i) {
        Sleep(50);
        found = FindWindowW(L"VexorMoraltoPrincipal", L"Vexor Moralto - v2.5");
    }
    ASSERT_NE(found, nullptr) << "the window did not appear";
    Sleep(200);
    HWND sair = FindWindowExW(found, nullptr, L"BUTTON", L"&Sair");
    ASSERT_NE(sair, nullptr);
    PostMessageW(sair, WM_SYSKEYDOWN, L'S', 0x20000001);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace
} // namespace vexor::win32
