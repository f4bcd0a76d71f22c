#pragma once

#include "platform/api/Window.h"

#include <functional>

class QWidget;

namespace vexor {

// Message boxes, the mouse pointer and the end of the program with Qt Widgets.
class QtToolkit : public IToolkit {
  public:
    // `window` owns the message boxes once it is on the screen.
    explicit QtToolkit(QWidget& window) : window_(window) {}
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    void messageBox(const std::string& text, unsigned flags, const std::string& caption) override;
    void setMousePointer(MousePointer pointer) override;
    [[noreturn]] void endProgram() override;

  private:
    QWidget& window_;
    bool waiting_ = false;
};

} // namespace vexor
