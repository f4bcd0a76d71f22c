#include "WinText.h"
#include "base/OemCodePage.h"

#include <memory>
#include <windows.h>

namespace vexor {
namespace {

// A code page the system converts: each character to one byte, refused when
// the code page has no byte for it (no best fit: "Ã" never becomes "A").
class SystemCodePage final : public IOemCodePage {
  public:
    explicit SystemCodePage(UINT codePage) : codePage_(codePage) {}

    std::optional<std::string> FromUtf8(std::string_view utf8) const override {
        const std::wstring wide = win32::Utf8ToWide(utf8);
        if (wide.empty()) {
            return utf8.empty() ? std::optional<std::string>(std::string()) : std::nullopt;
        }
        const int length = static_cast<int>(wide.size());
        std::string oem(wide.size() * 2, '\0');
        BOOL lossy = FALSE;
        const int written =
            WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, wide.data(), length, oem.data(),
                                static_cast<int>(oem.size()), nullptr, &lossy);
        if (written <= 0 || lossy) {
            return std::nullopt;
        }
        oem.resize(static_cast<std::size_t>(written));
        return oem;
    }

    std::string ToUtf8(std::string_view oem) const override {
        if (oem.empty()) {
            return {};
        }
        std::wstring wide(oem.size(), L'\0');
        const int written =
            MultiByteToWideChar(codePage_, 0, oem.data(), static_cast<int>(oem.size()), wide.data(),
                                static_cast<int>(wide.size()));
        wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return win32::WideToUtf8(wide);
    }

  private:
    UINT codePage_;
};

} // namespace

// Windows speaks NetBIOS names in the system's OEM code page; CP850 is
// written out in the core, any other is converted by the system.
const IOemCodePage& NetbiosCodePage() {
    static const std::unique_ptr<IOemCodePage> system =
        GetOEMCP() == 850 ? nullptr : std::make_unique<SystemCodePage>(GetOEMCP());
    return system ? *system : Cp850();
}

} // namespace vexor
