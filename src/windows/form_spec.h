// A window described as data: its size and the table of its controls, in twips, as the
// form engine builds them. This header is portable (no <windows.h>), so the layout can be
// checked on the host.
#pragma once

#include <cstddef>

namespace kavrio {

enum class ControlKind {
  PushButton,
  Frame,          // etched rectangle without caption; a container of other controls
  WrappingLabel,  // left-aligned text that wraps at word boundaries inside its rectangle
  AutoSizeLabel,  // one line of text; the control takes the size of its text
  Picture,        // a bitmap resource shown at its natural size
};

struct FontSpec {
  const char* face;       // preferred face; a substitute is chosen when it is missing
  int hundredthsOfPoint;  // 825 is 8.25 pt
  bool bold;
};

extern const FontSpec kDefaultFont;  // "MS Sans Serif" 8.25 pt regular

constexpr int kNoContainer = -1;  // the window itself
constexpr int kNoFocus = 0;

struct ControlSpec {
  const char* name;
  ControlKind kind;
  int container;  // index of a Frame in the same table, or kNoContainer
  int left, top, width, height;  // twips, from the container's client origin
  const FontSpec* font;          // nullptr: the window's default font
  const char* text;              // Windows-1252 on the Windows targets
  int focusOrder;                // 1, 2, ... for buttons; kNoFocus otherwise
  int pictureId;                 // bitmap resource id of a Picture, else 0
};

// The controls are listed front to back; a control inside a frame lies in front of it.
struct FormSpec {
  const char* name;
  const char* title;
  int clientWidth, clientHeight;  // twips
  const ControlSpec* controls;
  std::size_t controlCount;
};

// The first control id; control i of a table gets kFirstControlId + i. Ids 1 and 2 (IDOK and
// IDCANCEL) stay free, since the dialog manager sends them for Enter and Esc.
constexpr int kFirstControlId = 100;

}  // namespace kavrio
