#include "Win32Controls.h"

#include "WinText.h"

#include <stdexcept>

namespace vexor::win32 {
namespace {

std::wstring WindowText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

} // namespace

void Win32ListBox::AddItem(const std::string& text) {
    EnsureRoomForOneMoreLine(static_cast<std::size_t>(count()));
    const LRESULT added =
        SendMessageW(control_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(text).c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) {
        throw ListFullError();
    }
}

void Win32ListBox::clear() {
    SendMessageW(control_, LB_RESETCONTENT, 0, 0);
}

std::int16_t Win32ListBox::count() const {
    return static_cast<std::int16_t>(SendMessageW(control_, LB_GETCOUNT, 0, 0));
}

std::string Win32ListBox::item(std::int16_t index) const {
    const LRESULT length = SendMessageW(control_, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) {
        throw std::out_of_range("list box index");
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(control_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return WideToUtf8(text);
}

void Win32ListBox::setItem(std::int16_t index, const std::string& text) {
    if (index < 0 || index >= count()) {
        throw std::out_of_range("list box index");
    }
    // A list box has no "replace": the line is inserted at its place and the old
    // one, now one further down, removed.
    // An insert that fails (LB_ERR, LB_ERRSPACE) leaves the list as it was: the
    // line after it is not the old one and must not be removed.
    SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
    const LRESULT inserted = SendMessageW(control_, LB_INSERTSTRING, index,
                                          reinterpret_cast<LPARAM>(Utf8ToWide(text).c_str()));
    if (inserted == index) {
        SendMessageW(control_, LB_DELETESTRING, index + 1, 0);
    }
    SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control_, nullptr, TRUE);
}

void Win32ListBox::setVisible(bool visible) {
    ShowWindow(control_, visible ? SW_SHOW : SW_HIDE);
}

std::string Win32TextBox::text() const {
    return WideToUtf8(WindowText(control_));
}

void Win32TextBox::setText(const std::string& text) {
    SetWindowTextW(control_, Utf8ToWide(text).c_str());
}

void Win32Label::setVisible(bool visible) {
    ShowWindow(control_, visible ? SW_SHOW : SW_HIDE);
}

} // namespace vexor::win32
