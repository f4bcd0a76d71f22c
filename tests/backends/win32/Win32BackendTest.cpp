#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "FakeWindow.h"
#include "backends/win32/Win32Network.h"
#include "backends/win32/Win32Shell.h"
#include "backends/win32/Win32Sockets.h"
#include "backends/win32/WinText.h"
#include "contracts/BackendContracts.h"
#include "core/main_window/frmPrincipal.h"
#include "core/network/modNetwork.h"

#include <gtest/gtest.h>

#include <chrono>

#include <cstring>
#include <filesystem>
#include <vector>
#include <windows.h>

namespace vexor::win32 {
namespace {

using fakes::FakeLabel;
using fakes::FakeListBox;
using fakes::FakeTextBox;
using fakes::FakeToolkit;

struct Form {
    Form(ISocketsLibrary& sockets, INetworkEnumeration& network, IShell& shell)
        : form(PlatformServices{sockets, network, shell, toolkit},
               FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede}) {}
    FakeToolkit toolkit;
    FakeTextBox txtIPS;
    FakeListBox lstIPS;
    FakeListBox lstIPRede;
    FakeLabel rtlIPRede;
    frmPrincipal form;
};

std::filesystem::path TestProgramDirectory() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

TEST(Win32Sockets, AnswersTheRefreshsNames) {
    contracts::ExpectRefreshNamesAnswered(
        [](std::shared_ptr<IRefreshNames> names) -> std::unique_ptr<ISocketsLibrary> {
            return std::make_unique<Win32Sockets>(std::move(names));
        });
}

TEST(Win32Sockets, RealStartupPassesTheCheckAndListsTheMachine) {
    Win32Sockets sockets;
    contracts::ExpectStartupAndCleanup(sockets);
    contracts::ExpectNameLookups(sockets);

    fakes::FakeNetwork network({});
    fakes::FakeShell shell;
    Form f(sockets, network, shell);
    f.form.Form_Load();
    for (const auto& message : f.toolkit.messages) {
        EXPECT_EQ(message.text.find("soquete"), std::string::npos) << message.text;
    }
    EXPECT_FALSE(f.toolkit.ended);
    char name[256] = {};
    ASSERT_EQ(sockets.hostName(name, sizeof name), 0);
    if (f.toolkit.messages.empty()) {
        EXPECT_FALSE(f.txtIPS.value.empty());
        EXPECT_FALSE(f.lstIPS.lines().empty());
    }
}

TEST(Win32Network, RealEnumerationWithoutANetworkLeavesTheListAlone) {
    Win32Network network;
    FakeListBox list;
    list.AddItem("anterior");
    const bool walked = ListNetworkMachines(network, list);
    // Wine has no network provider, so its root cannot be opened; a real Windows
    // machine may walk, and then the walk succeeds.
    NetEnumHandle handle = nullptr;
    const std::uint32_t opened = network.openEnum(2, 0, 0, nullptr, &handle);
    if (opened == net::kErrorNoNetwork) {
        EXPECT_FALSE(walked);
        EXPECT_EQ(list.lines(), std::vector<std::string>{"anterior"});
    } else if (opened == net::kNoError) {
        network.closeEnum(handle);
        EXPECT_TRUE(walked);
    }
}

TEST(Win32Shell, HelpWithoutTheBrowserShowsTheRealErrorAndRunsNothingPlanted) {
    const std::filesystem::path planted = L"C:\\Arquivos.exe";
    const std::filesystem::path mark = L"C:\\Arquivos.exe.ran";
    std::error_code ignored;
    std::filesystem::remove(mark, ignored);
    const bool plantedHere =
        std::filesystem::copy_file(TestProgramDirectory() / "planted_program.exe", planted,
                                   std::filesystem::copy_options::overwrite_existing, ignored);
    if (std::filesystem::exists(kBrowserPath)) {
        GTEST_SKIP() << "this machine has the browser at its fixed place";
    }

    const ShellResult direct = StartProcess(kBrowserPath, BrowserCommandLine(L"x"), 3);
    ASSERT_FALSE(direct.ok());

    Win32Sockets sockets;
    fakes::FakeNetwork network({});
    Win32Shell shell;
    Form f(sockets, network, shell);
    f.form.btnAjuda_Click();
    ASSERT_EQ(f.toolkit.messages.size(), 1u);
    EXPECT_EQ(f.toolkit.messages[0].text,
              "Ocorreu um erro e a página de ajuda não poderá ser exibida!");
    EXPECT_EQ(f.toolkit.messages[0].caption, "ERRO - " + std::to_string(direct.error));
    EXPECT_EQ(f.toolkit.messages[0].flags, 0x10u);

    Sleep(500);
    EXPECT_TRUE(plantedHere);
    EXPECT_FALSE(std::filesystem::exists(mark)) << "C:\\Arquivos.exe was started";
    std::filesystem::remove(planted, ignored);
    std::filesystem::remove(mark, ignored);
}

// Waits a bounded time for the mark a started stand-in leaves, and reads it.
std::string MarkOf(const std::filesystem::path& program) {
    const std::filesystem::path mark = program.wstring() + L".ran";
    for (int i = 0; i < 100 && !std::filesystem::exists(mark); ++i) {
        Sleep(50);
    }
    Sleep(100);
    return fakes::ReadFileBytes(mark);
}

TEST(Win32Shell, BrowserStartsMaximizedAndNotepadNormal) {
    const std::filesystem::path browser = kBrowserPath;
    if (std::filesystem::exists(browser)) {
        GTEST_SKIP() << "this machine has a real browser at the fixed place";
    }
    const fakes::FakeShell scratch;
    const std::filesystem::path windows = scratch.directory / "WINDOWS";
    std::filesystem::create_directories(windows);
    std::filesystem::create_directories(browser.parent_path());
    const auto stand_in = TestProgramDirectory() / "planted_program.exe";
    std::filesystem::copy_file(stand_in, browser);
    std::filesystem::copy_file(stand_in, windows / "Notepad.exe");
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINDIR", saved, MAX_PATH);
    SetEnvironmentVariableW(L"WINDIR", windows.c_str());

    Win32Shell shell;
    const ShellResult help = shell.openInBrowser("http://exemplo/ajuda.htm");
    const ShellResult editor =
        shell.openInTextEditor(FilePath(std::wstring(L"C:\\Minhas Ferramentas\\IP.txt")));
    SetEnvironmentVariableW(L"WINDIR", saved);
    const std::string browserMark = MarkOf(browser);
    const std::string editorMark = MarkOf(windows / "Notepad.exe");
    std::error_code ignored;
    std::filesystem::remove_all(L"C:\\Arquivos de Programas", ignored);

    EXPECT_TRUE(help.ok()) << help.reason;
    EXPECT_TRUE(editor.ok()) << editor.reason;
    EXPECT_EQ(browserMark, "3\nC:\\Arquivos de Programas\\Internet Explorer\\IEXPLORE.EXE "
                           "http://exemplo/ajuda.htm\n");
    EXPECT_EQ(editorMark, "1\n" + WideToUtf8((windows / "Notepad.exe").wstring()) +
                              " C:\\Minhas Ferramentas\\IP.txt\n");
}

TEST(Win32Shell, NotepadCommandLines) {
    const struct {
        const wchar_t* windows;
        const wchar_t* report;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\WINDOWS", L"C:\\Ferramentas\\IP.txt",
         L"C:\\WINDOWS\\Notepad.exe C:\\Ferramentas\\IP.txt"},
        {L"C:\\WINDOWS", L"C:\\Minhas Ferramentas\\IP.txt",
         L"C:\\WINDOWS\\Notepad.exe C:\\Minhas Ferramentas\\IP.txt"},
        {L"", L"C:\\IP.txt", L"\\Notepad.exe C:\\IP.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NotepadCommandLine(c.windows, c.report), c.expected);
    }
    EXPECT_EQ(BrowserCommandLine(L"http://exemplo/ajuda.htm"),
              L"C:\\Arquivos de Programas\\Internet Explorer\\IEXPLORE.EXE "
              L"http://exemplo/ajuda.htm");
}

TEST(Win32Shell, EditorThatCannotStartReportsTheRealError) {
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINDIR", saved, MAX_PATH);
    SetEnvironmentVariableW(L"WINDIR", L"C:\\pasta-que-nao-existe");
    Win32Shell shell;
    const ShellResult result = shell.openInTextEditor(FilePath(std::wstring(L"C:\\IP.txt")));
    SetEnvironmentVariableW(L"WINDIR", saved);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.error == ERROR_PATH_NOT_FOUND || result.error == ERROR_FILE_NOT_FOUND)
        << result.error;
    EXPECT_FALSE(result.reason.empty());
}

TEST(Win32Shell, ReportIsWrittenInTheAnsiCodePageBesideTheProgram) {
    Win32Shell shell;
    EXPECT_EQ(shell.programDirectory(), TestProgramDirectory());
    fakes::FakeShell scratch;
    const auto path = scratch.directory / "IP.txt";
    ASSERT_TRUE(shell.writeReport(path, "Local: ESTAÇÃO\r\n- Versão\r\n").ok());
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the ANSI code page here is " << GetACP();
    }
    EXPECT_EQ(fakes::ReadFileBytes(path), "Local: ESTA\xC7\xC3O\r\n- Vers\xE3o\r\n");
}

// Text for files and controls in the ANSI code page: a character it lacks
// becomes '?', never a look-alike that means something else to a path or a
// command line (best fit would give '/', '\\', '"', ':').
TEST(WinText, CharactersTheCodePageLacksBecomeQuestionMarks) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the ANSI code page here is " << GetACP();
    }
    const struct {
        const char* utf8;
        const char* ansi;
    } cases[] = {
        {"ESTAÇÃO", "ESTA\xC7\xC3O"},
        {"a\uFF0Fb", "a?b"},          // fullwidth solidus
        {"a\u2215b", "a?b"},          // division slash
        {"a\uFF3Cb", "a?b"},          // fullwidth reverse solidus
        {"a\uFF02b\u02BAc", "a?b?c"}, // fullwidth and modifier quotation marks
        {"C\uFF1A", "C?"},            // fullwidth colon
        {"\u0100", "?"},              // Latin capital A with macron
        {"\u20AC", "\x80"},           // the euro sign is in the code page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    }
}

// Reads a resource of the program file loaded as data.
std::string ResourceBytes(HMODULE module, int id, const wchar_t* type) {
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (resource == nullptr) {
        return {};
    }
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return std::string(data, SizeofResource(module, resource));
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) {
        return {};
    }
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(Win32Resources, IconGroupAndVersionInformation) {
    const std::filesystem::path program =
        TestProgramDirectory().parent_path() / "src" / "vexormoralto.exe";
    const HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << program.string();
    const struct {
        int id;
        int size;
    } images[] = {{30001, 32}, {30002, 16}};
    for (const auto& image : images) {
        const std::string bytes = ResourceBytes(module, image.id, RT_ICON);
        ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER)) << image.id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes.data(), sizeof header);
        EXPECT_EQ(header.biWidth, image.size);
        EXPECT_EQ(header.biHeight, 2 * image.size) << "colour and mask";
        EXPECT_EQ(header.biBitCount, 4) << "16 colours";
    }
    const std::string group = ResourceBytes(module, 1, RT_GROUP_ICON);
    ASSERT_EQ(group.size(), 6u + 2 * 14u);
    std::uint16_t count = 0, first = 0, second = 0;
    std::memcpy(&count, group.data() + 4, 2);
    std::memcpy(&first, group.data() + 6 + 12, 2);
    std::memcpy(&second, group.data() + 6 + 14 + 12, 2);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(first, 30001);
    EXPECT_EQ(second, 30002);
    FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(program.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(5, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(5, 2));
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"2.05");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"2.05");
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Vexor Moralto");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"vexormoralto.exe");
    EXPECT_NE(VersionString(info, L"FileDescription").find(L"endereços"), std::wstring::npos);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);
}

TEST(Win32Shell, DocumentsFolderAndWhereNewFilesCanGo) {
    Win32Shell shell;
    const std::filesystem::path documents(shell.documentsDirectory());
    ASSERT_FALSE(documents.empty());
    EXPECT_TRUE(std::filesystem::is_directory(documents)) << documents.string();
    EXPECT_TRUE(documents.is_absolute()) << documents.string();

    const fakes::FakeShell scratch;
    EXPECT_TRUE(shell.canWriteIn(scratch.directory));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.directory)) << "the trial file was left behind";
    EXPECT_FALSE(shell.canWriteIn(scratch.directory / "pasta-que-nao-existe"));
}

TEST(Win32Shell, UpperCaseFollowsUnicodeBeyondLatin1) {
    Win32Shell shell;
    contracts::ExpectUnicodeUpperCase(shell);
}

} // namespace
} // namespace vexor::win32
