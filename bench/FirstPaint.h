#pragma once

class QWidget;

namespace vexor::bench {

// Prints, at the window's first paint, the wall-clock time in nanoseconds and the
// process's peak resident memory, then ends the process.
void ReportFirstPaint(QWidget& window);

} // namespace vexor::bench
