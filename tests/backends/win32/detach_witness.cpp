// A DLL that notes its process detach in the file that VEXOR_DETACH_MARKER
// names: ending a process with ExitProcess runs every DLL's detach under the
// loader lock, TerminateProcess runs none.
#include <windows.h>

namespace {

wchar_t gMarker[MAX_PATH];

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        GetEnvironmentVariableW(L"VEXOR_DETACH_MARKER", gMarker, MAX_PATH);
    } else if (reason == DLL_PROCESS_DETACH && gMarker[0] != L'\0') {
        const HANDLE marker = CreateFileW(gMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (marker != INVALID_HANDLE_VALUE) {
            CloseHandle(marker);
        }
    }
    return TRUE;
}
