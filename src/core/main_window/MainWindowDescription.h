#pragma once

#include "Version.h"
#include "seams/WindowDescription.h"

namespace vexor {

// The main window: its caption, size, fonts and controls.
constexpr FontSpec kWindowFont{"Tahoma", 8.25, false};
constexpr FontSpec kButtonFont{"Tahoma", 8.25, true};

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

} // namespace vexor
