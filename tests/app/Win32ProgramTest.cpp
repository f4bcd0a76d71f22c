// The whole Windows program over a scripted sockets library: what the user sees
// at start-up when the library or the host-name lookup fails. Each case runs
// the program in a child process of this test, which watches its windows from
// outside as the user would, because a failed start-up ends the process.
#include "app/Win32Program.h"
#include "DisplayTest.h"
#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "StartupScenarios.h"
#include "backends/win32/WinText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <windows.h>

namespace vexor {
namespace {

struct ChildWindows {
    DWORD process = 0;
    HWND box = nullptr;
    HWND main = nullptr;
};

BOOL CALLBACK FindChildWindows(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<ChildWindows*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != found->process) {
        return TRUE;
    }
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
        found->box = window;
    } else if (std::wstring(name) == L"VexorMoraltoPrincipal") {
        found->main = window;
    }
    return TRUE;
}

// Asks the control itself: another process's edit box keeps its text where
// GetWindowText does not look.
std::string WindowText(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return win32::WideToUtf8(text);
}

BOOL CALLBACK FindEditBox(HWND window, LPARAM context) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"Edit" || std::wstring(name) == L"EDIT") {
        *reinterpret_cast<HWND*>(context) = window;
        return FALSE;
    }
    return TRUE;
}

// Runs one scenario and writes down what appears, in order: each message box's
// text with whether the main window stood behind it, then the main window's
// name box and whether it is centred. Closing the main window ends the run.
std::string Watch(const std::string& scenario, DWORD& exitCode) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --filho " + win32::Utf8ToWide(scenario);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return "não iniciou";
    }
    std::string transcript;
    for (int i = 0; i < 300 && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT; ++i) {
        ChildWindows found;
        found.process = process.dwProcessId;
        EnumWindows(&FindChildWindows, reinterpret_cast<LPARAM>(&found));
        const bool mainShown = found.main != nullptr && IsWindowVisible(found.main);
        if (found.box != nullptr) {
            Sleep(100);
            transcript += "caixa:" + WindowText(GetDlgItem(found.box, 0xFFFF)) +
                          "|janela:" + (mainShown ? "visível" : "oculta") + "\n";
            PostMessageW(found.box, WM_COMMAND, IDOK, 0);
            Sleep(200);
        } else if (mainShown) {
            Sleep(200);
            RECT work{};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            RECT frame{};
            GetWindowRect(found.main, &frame);
            const bool centred =
                std::abs((frame.left + frame.right) - (work.left + work.right)) <= 2 &&
                std::abs((frame.top + frame.bottom) - (work.top + work.bottom)) <= 2;
            HWND name = nullptr;
            EnumChildWindows(found.main, &FindEditBox, reinterpret_cast<LPARAM>(&name));
            transcript +=
                "janela:" + WindowText(name) + "|centrada:" + (centred ? "sim" : "não") + "\n";
            PostMessageW(found.main, WM_CLOSE, 0, 0);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return transcript;
}

using Win32ProgramTest = win32::DisplayTest;

std::wstring DetachMarker() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"vexor-detach-" + std::to_wstring(GetCurrentProcessId());
}

BOOL CALLBACK FindSair(HWND window, LPARAM context) {
    wchar_t text[16] = {};
    GetWindowTextW(window, text, 16);
    if (std::wstring(text) == L"&Sair") {
        *reinterpret_cast<HWND*>(context) = window;
        return FALSE;
    }
    return TRUE;
}

// Clicks "&Sair" once the child's window is up: the child must end with 0 and
// without its process detach.
TEST_F(Win32ProgramTest, SairEndsWithSuccessAndWithoutTheProcessDetach) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring marker = DetachMarker();
    DeleteFileW(marker.c_str());
    std::wstring line = L"\"" + std::wstring(self) + L"\" --sair \"" + marker + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    bool clicked = false;
    for (int i = 0; i < 200 && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT; ++i) {
        ChildWindows found;
        found.process = process.dwProcessId;
        EnumWindows(&FindChildWindows, reinterpret_cast<LPARAM>(&found));
        HWND sair = nullptr;
        if (!clicked && found.main != nullptr && IsWindowVisible(found.main)) {
            EnumChildWindows(found.main, &FindSair, reinterpret_cast<LPARAM>(&sair));
        }
        if (sair != nullptr) {
            PostMessageW(sair, BM_CLICK, 0, 0);
            clicked = true;
        }
    }
    DWORD exitCode = STILL_ACTIVE;
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &exitCode);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the process detach ran";
    DeleteFileW(marker.c_str());
}

int RunChild(const std::string& scenario) {
    fakes::FakeSockets sockets;
    fakes::ScriptSockets(sockets, scenario);
    fakes::FakeNetwork network({});
    fakes::FakeShell shell;
    return RunWin32Window(GetModuleHandleW(nullptr), SW_SHOWNORMAL, sockets, network, shell);
}

TEST_F(Win32ProgramTest, StartUpMessagesComeBeforeTheWindowAndFailedLibrariesEndTheProgram) {
    for (const auto& c : fakes::kStartupScenarios) {
        DWORD exitCode = 0;
        EXPECT_EQ(Watch(c.name, exitCode), c.transcript) << c.name;
        EXPECT_EQ(exitCode, static_cast<DWORD>(c.status)) << c.name;
    }
}

} // namespace
} // namespace vexor

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--sair") {
        // A DLL beside this program notes the process detach, if it runs.
        SetEnvironmentVariableA("VEXOR_DETACH_MARKER", argv[2]);
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring witness(self);
        witness.resize(witness.find_last_of(L"\\/") + 1);
        if (LoadLibraryW((witness + L"detach_witness.dll").c_str()) == nullptr) {
            return 3;
        }
        return vexor::RunChild("normal");
    }
    if (argc == 3 && std::string(argv[1]) == "--filho") {
        return vexor::RunChild(argv[2]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
