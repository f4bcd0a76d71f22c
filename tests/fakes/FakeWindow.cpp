#include "FakeWindow.h"

namespace vexor::fakes {

void FakeToolkit::messageBox(const std::string& text, unsigned flags, const std::string& caption) {
    messages.push_back({text, flags, caption.empty() ? kApplicationTitle : caption});
}

void FakeToolkit::endProgram(int status) {
    ended = true;
    endStatus = status;
    throw ProgramEnded();
}

} // namespace vexor::fakes
