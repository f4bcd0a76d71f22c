#include "Win32Window.h"

#include "WinText.h"

#include <algorithm>
#include <cmath>

namespace vexor::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"VexorMoraltoPrincipal";
constexpr int kFirstControlId = 100;
constexpr int kIconResource = 1;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::Frame:
        return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::ListBox:
        return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    case ControlKind::Label:
        return {L"STATIC", SS_LEFT, 0};
    case ControlKind::TextBox:
        // The box shows what the program found; the user may select and copy it.
        return {L"EDIT", ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The main window's class, with the program's icon at both sizes.
void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    RegisterClassExW(&windowClass);
}

// The dialog manager tabs through siblings in their z-order, so the controls
// are stacked by tab index, and the frames go beneath everything they hold.
// Returns the first control in tab order.
HWND StackInTabOrder(std::vector<std::pair<int, HWND>> tabOrder, const std::vector<HWND>& frames) {
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    HWND previous = HWND_TOP;
    for (const auto& [index, control] : tabOrder) {
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
    for (const HWND frameControl : frames) {
        SetWindowPos(frameControl, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return tabOrder.empty() ? nullptr : tabOrder.front().second;
}

} // namespace

int CurrentShiftState() {
    return (GetKeyState(VK_SHIFT) < 0 ? shift::kShift : 0) |
           (GetKeyState(VK_CONTROL) < 0 ? shift::kCtrl : 0) |
           (GetKeyState(VK_MENU) < 0 ? shift::kAlt : 0);
}

Win32Window::Win32Window(HINSTANCE instance, const WindowDescription& description)
    : dpi_(ScreenDpi()) {
    Build(instance, description);
}

Win32Window::~Win32Window() {
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

HFONT Win32Window::Font(const FontSpec& entry) {
    const std::wstring face = Utf8ToWide(entry.face);
    const int height = -static_cast<int>(std::lround(entry.points * dpi_ / 72.0));
    fonts_.emplace_back(CreateFontW(height, 0, 0, 0, entry.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                    FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str()));
    return fonts_.back().get();
}

void Win32Window::Build(HINSTANCE instance, const WindowDescription& description) {
    RegisterWindowClass(instance, WindowProc);

    const auto px = [this](int twips) { return TwipsToPixels(twips, dpi_); };
    RECT frame{0, 0, px(description.clientWidth), px(description.clientHeight)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, WS_EX_CONTROLPARENT);
    window_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Utf8ToWide(description.caption).c_str(),
                        kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, this);
    const HFONT windowFont = Font(description.font);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont), FALSE);

    std::vector<std::pair<int, HWND>> tabOrder;
    std::vector<HWND> frames;
    int id = kFirstControlId;
    for (const ControlSpec& entry : description.controls) {
        // Frames do not hold their controls in Win32: a control of a frame is a
        // sibling placed at the frame's corner plus its own offset.
        int left = entry.left;
        int top = entry.top;
        for (const ControlSpec& container : description.controls) {
            if (!entry.container.empty() && container.name == entry.container) {
                left += container.left;
                top += container.top;
            }
        }
        const ControlClass kind = ClassOf(entry.kind);
        const HWND control =
            CreateWindowExW(kind.exStyle, kind.name, Utf8ToWide(entry.caption).c_str(),
                            WS_CHILD | WS_VISIBLE | kind.style, px(left), px(top), px(entry.width),
                            px(entry.height), window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(entry.font)), FALSE);
        controls_.emplace(std::string(entry.name), control);
        if (entry.kind == ControlKind::Button) {
            buttons_.emplace(id, std::string(entry.name));
        }
        if (entry.kind == ControlKind::Frame) {
            frames.push_back(control);
        } else if ((kind.style & WS_TABSTOP) != 0) {
            tabOrder.emplace_back(entry.tabIndex, control);
        }
        ++id;
    }
    firstInTabOrder_ = StackInTabOrder(std::move(tabOrder), frames);

    txtIPS_ = std::make_unique<Win32TextBox>(control("txtIPS"));
    lstIPS_ = std::make_unique<Win32ListBox>(control("lstIPS"));
    lstIPRede_ = std::make_unique<Win32ListBox>(control("lstIPRede"));
    rtlIPRede_ = std::make_unique<Win32Label>(control("rtlIPRede"));
}

FormControls Win32Window::controls() {
    return FormControls{*txtIPS_, *lstIPS_, *lstIPRede_, *rtlIPRede_};
}

HWND Win32Window::control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

void Win32Window::showCentred(int showCommand) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    if (firstInTabOrder_ != nullptr) {
        SetFocus(firstInTabOrder_);
    }
}

void Win32Window::setWaitCursor(bool wait) {
    waiting_ = wait;
    SetCursor(LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

template <typename Handler> void Win32Window::Deliver(Handler handler) {
    if (sink_ != nullptr) {
        handler();
        staleInput_.HandlerEnded(clock_());
    }
}

bool Win32Window::PreTranslate(MSG& message) {
    const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
    const bool key = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool press = key || message.message == WM_LBUTTONDOWN ||
                       message.message == WM_LBUTTONDBLCLK || message.message == WM_LBUTTONUP;
    // A press or a click made while a handler kept the window busy is dropped,
    // so F5 pressed again during a refresh does not queue another.
    if (ours && press && staleInput_.Stale(static_cast<std::uint32_t>(message.time), clock_())) {
        return true;
    }
    constexpr LPARAM kRepeated = LPARAM{1} << 30;
    if (ours && key && (message.lParam & kRepeated) == 0) {
        std::uint16_t keyCode = static_cast<std::uint16_t>(message.wParam);
        Deliver([&] { sink_->KeyDown(keyCode, CurrentShiftState()); });
    }
    return IsWindow(window_) && IsDialogMessageW(window_, &message);
}

int Win32Window::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (self->window_ == nullptr) {
        self->window_ = window;
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && sink_ != nullptr) {
            const auto button = buttons_.find(LOWORD(wParam));
            if (button != buttons_.end()) {
                Deliver([&] { sink_->Click(button->second); });
                return 0;
            }
        }
        break;
    case WM_SETCURSOR:
        if (waiting_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE: {
        std::int16_t cancel = 0;
        if (sink_ != nullptr) {
            sink_->Unload(cancel);
        }
        if (cancel == 0) {
            DestroyWindow(window_);
        }
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace vexor::win32
