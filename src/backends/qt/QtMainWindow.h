#pragma once

#include "QtControls.h"
#include "base/StaleInput.h"
#include "seams/WindowDescription.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vexor {

// The main window built with Qt Widgets from a window description. It delivers
// load, key-down (before the focused control sees the key), click and unload to
// an event sink, and offers its controls through the window seam.
class QtMainWindow : public QWidget {
    Q_OBJECT

  public:
    explicit QtMainWindow(const WindowDescription& description, QWidget* parent = nullptr);
    ~QtMainWindow() override;

    void setEventSink(IFormEvents* sink) { sink_ = sink; }
    // The program's clock in milliseconds, against which the input's own
    // stamps tell what waited while a handler ran; a steady clock unless told.
    void setClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }
    FormControls controls();
    QWidget* control(std::string_view name) const;

    // Shows the window centred on its screen, its focus on the first control of
    // the tab order.
    void showCentred();

    static int ScreenDpi();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Build(const WindowDescription& description);
    void Centre();
    // Runs a handler of the sink; input made before it returns is then stale.
    template <typename Handler> void Deliver(Handler handler);

    IFormEvents* sink_ = nullptr;
    std::function<std::uint32_t()> clock_;
    StaleInput staleInput_;
    // Every control, in creation order; a frame before what it holds.
    std::vector<std::unique_ptr<QWidget>> widgets_;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QWidget* firstInTabOrder_ = nullptr;
    std::unique_ptr<QtTextBox> txtIPS_;
    std::unique_ptr<QtListBox> lstIPS_;
    std::unique_ptr<QtListBox> lstIPRede_;
    std::unique_ptr<QtLabel> rtlIPRede_;
};

// A Windows virtual-key code for a Qt key, 0 for keys the program has no use for.
std::uint16_t VirtualKeyOf(int qtKey);

// Makes Tahoma available from Wine's fonts where fontconfig does not list it.
void LoadApplicationFonts();

// Makes the window's font the default. A control lays out its text in the
// default font while it is built, before its own font is set, so a default in
// another face would load a second font file the window never shows.
void UseFontByDefault(const FontSpec& font);

} // namespace vexor
