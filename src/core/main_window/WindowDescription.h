#pragma once

#include "Version.h"

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

constexpr FontSpec kWindowFont{"Tahoma", 8.25, false};
constexpr FontSpec kButtonFont{"Tahoma", 8.25, true};

struct WindowDescription {
    std::string_view caption;
    int clientWidth;
    int clientHeight;
    FontSpec font;
    // In creation order; a frame comes before the controls it holds.
    std::array<ControlSpec, 10> controls;
};

inline constexpr WindowDescription kMainWindow{
    "Vexor Moralto - v" VEXOR_VERSION_SHORT,
    6900,
    3780,
    kWindowFont,
    {{
        {"btnImprimir", ControlKind::Button, "", "&Imprimir", 1440, 3360, 1155, 375, 9,
         kButtonFont},
        {"btnAtualizar", ControlKind::Button, "", "Atualizar (F5)", 2760, 3360, 1455, 375, 7,
         kButtonFont},
        {"fraRede", ControlKind::Frame, "", "Rede", 2700, 0, 4095, 3255, 5, kWindowFont},
        {"lstIPRede",
         ControlKind::ListBox,
         "fraRede",
         "",
         120,
         360,
         3855,
         2760,
         6,
         {"Courier New", 9, false}},
        {"rtlIPRede",
         ControlKind::Label,
         "fraRede",
         "Clique no botão Atualizar para listar todas as máquinas da rede.",
         240,
         360,
         3495,
         495,
         8,
         {"Tahoma", 9, false}},
        {"fraMicroLocal", ControlKind::Frame, "", "Local", 60, 0, 2535, 3255, 2, kWindowFont},
        {"lstIPS", ControlKind::ListBox, "fraMicroLocal", "", 120, 660, 2295, 2400, 4, kButtonFont},
        {"txtIPS", ControlKind::TextBox, "fraMicroLocal", "", 120, 240, 2295, 375, 3, kButtonFont},
        {"btnAjuda", ControlKind::Button, "", "&Ajuda", 4380, 3360, 1155, 375, 1, kButtonFont},
        {"btnSair", ControlKind::Button, "", "&Sair", 5700, 3360, 1035, 375, 0, kButtonFont},
    }},
};

// Twips to device pixels at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

} // namespace vexor
