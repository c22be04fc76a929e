// The three windows as the user sees them: each control's rectangle in window client pixels
// at 96 dpi (a frame's offset included). The host tier checks the tables against it, the
// Windows tier the live windows.
#pragma once

namespace kavrio::layout_oracle {

struct DesignedRect {
  const char* name;  // the control's name in its table (UTF-8)
  int x, y, width, height;
};

// Frame1's bottom edge is the etched line at y = 297 in every window.
inline constexpr DesignedRect kMenu[] = {
    {"Frame2", 144, 16, 289, 57},       {"Label2", 184, 32, 223, 32},
    {"cmdHome", 144, 120, 289, 33},     {"cmdBusiness", 144, 168, 289, 33},
    {"cmdSair", 344, 304, 81, 33},      {"Frame1", -8, -16, 553, 313},
    {"Image1", 8, 16, 122, 262},
};
inline constexpr DesignedRect kPrompt[] = {
    {"Frame2", 144, 16, 297, 49},       {"Label2", 160, 32, 266, 16},
    {"lblTecnico", 144, 104, 297, 57},  {"lblTecnico1", 144, 184, 281, 49},
    {"cmdSim", 272, 304, 81, 33},       {"cmdNão", 352, 304, 81, 33},
    {"Frame1", -8, -8, 553, 305},       {"Image1", 8, 16, 122, 262},
};
inline constexpr DesignedRect kBusiness[] = {
    {"Frame2", 144, 16, 289, 49},       {"Label4", 208, 32, 162, 24},
    {"lblTecnico", 144, 80, 297, 41},   {"lblTecnico1", 144, 128, 281, 57},
    {"lblTecnico2", 144, 184, 281, 41}, {"lblTecnico3", 144, 240, 281, 17},
    {"cmdAvancar", 144, 304, 81, 33},   {"cmdSair", 360, 304, 81, 33},
    {"Frame1", -8, -16, 553, 313},      {"Image1", 8, 16, 122, 262},
};

}  // namespace kavrio::layout_oracle
