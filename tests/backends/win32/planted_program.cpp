// Stands in for a program the shell starts during a test: beside itself it
// leaves a mark, "<its path>.ran", holding the window state it was started with
// and its command line.
#include <cstdio>
#include <string>
#include <windows.h>

int main() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int state = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    if (std::FILE* mark = _wfopen((std::wstring(self) + L".ran").c_str(), L"wb")) {
        std::fprintf(mark, "%d\n%ls\n", state, GetCommandLineW());
        std::fclose(mark);
    }
    return 0;
}
