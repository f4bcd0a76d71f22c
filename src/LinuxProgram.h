#pragma once

#include <functional>

class QWidget;

namespace vexor {

// Runs the Linux program: the Qt window over the POSIX platform. `shown`, when
// given, is called with the window once it is on the screen.
int RunLinuxProgram(int argc, char** argv, const std::function<void(QWidget&)>& shown = {});

} // namespace vexor
