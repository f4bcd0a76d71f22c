#pragma once

#include "seams/Window.h"

#include <functional>

class QWidget;

namespace vexor {

// Message boxes, the mouse pointer and the end of the program with Qt Widgets.
class QtToolkit : public IToolkit {
  public:
    // `window` owns the message boxes once it is on the screen; `endApplication`
    // destroys the application when the program ends, so that the clipboard's
    // content reaches the desktop's clipboard manager.
    explicit QtToolkit(QWidget& window, std::function<void()> endApplication = {})
        : window_(window), endApplication_(std::move(endApplication)) {}
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    void messageBox(const std::string& text, unsigned flags, const std::string& caption) override;
    void setMousePointer(MousePointer pointer) override;
    [[noreturn]] void endProgram(int status) override;

  private:
    QWidget& window_;
    std::function<void()> endApplication_;
    bool waiting_ = false;
};

} // namespace vexor
