#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vexor {

enum class ControlKind { Button, Frame, ListBox, Label, TextBox };

struct FontSpec {
    std::string_view face;
    double points;
    bool bold;
};

// One control: positions and sizes in twips, from its container's top-left
// corner (the client area, or a frame's outer corner).
struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view container; // empty: the window itself
    std::string_view caption;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    FontSpec font;
};

constexpr int kTwipsPerInch = 1440;

struct WindowDescription {
    std::string_view caption;
    int clientWidth;
    int clientHeight;
    FontSpec font;
    // In creation order; a frame comes before the controls it holds.
    std::array<ControlSpec, 10> controls;
};

// Twips to device pixels at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

} // namespace vexor
