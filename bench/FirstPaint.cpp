#include "FirstPaint.h"

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace vexor::bench {
namespace {

class FirstPaintFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("first_paint_ns=%lld maxrss_kb=%ld\n",
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                        usage.ru_maxrss);
            std::fflush(stdout);
            // The measurement is taken; nothing after it matters to the benchmark.
            std::_Exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void ReportFirstPaint(QWidget& window) {
    static FirstPaintFilter filter;
    window.installEventFilter(&filter);
}

} // namespace vexor::bench
