#pragma once

#include "seams/Window.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace vexor {

// The list box of the window seam over a Qt list widget.
class QtListBox : public IListBox {
  public:
    explicit QtListBox(QListWidget& widget) : widget_(widget) {}
    void AddItem(const std::string& text) override;
    void clear() override;
    std::int16_t count() const override;
    std::string item(std::int16_t index) const override;
    void setItem(std::int16_t index, const std::string& text) override;
    void setVisible(bool visible) override;

  private:
    QListWidget& widget_;
};

class QtTextBox : public ITextBox {
  public:
    explicit QtTextBox(QLineEdit& widget) : widget_(widget) {}
    std::string text() const override;
    void setText(const std::string& text) override;

  private:
    QLineEdit& widget_;
};

class QtLabel : public ILabel {
  public:
    explicit QtLabel(QLabel& widget) : widget_(widget) {}
    void setVisible(bool visible) override;

  private:
    QLabel& widget_;
};

} // namespace vexor
