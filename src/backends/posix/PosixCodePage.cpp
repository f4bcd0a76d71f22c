#include "base/OemCodePage.h"

namespace vexor {

// Samba's "dos charset" is CP850 unless its administrator chose another, and
// CP850 is the OEM code page of Portuguese and most Western Windows.
const IOemCodePage& NetbiosCodePage() {
    return Cp850();
}

} // namespace vexor
