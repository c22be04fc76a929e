// A window described as data: its size and the table of its controls, in twips, as the
// form engine builds them. This header is portable (no <windows.h>), so the layout can be
// checked on the host.
#pragma once

#include <cstddef>

#include "common/limits.h"

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

inline constexpr FontSpec kDefaultFont = {"MS Sans Serif", 825, false};
inline constexpr FontSpec kHeadingFont = {"MS Sans Serif", 975, true};
inline constexpr FontSpec kLargeHeadingFont = {"MS Sans Serif", 1350, true};

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

// Rows of a table, one builder a kind, so that each row reads like the window's design.
constexpr ControlSpec Button(const char* name, int container, int left, int top, int width,
                             int height, const char* text, int focusOrder) {
  return {name, ControlKind::PushButton, container, left, top, width, height, nullptr, text,
          focusOrder, 0};
}
constexpr ControlSpec Frame(const char* name, int container, int left, int top, int width,
                            int height) {
  return {name, ControlKind::Frame, container, left, top, width, height, nullptr, "", kNoFocus, 0};
}
constexpr ControlSpec Label(const char* name, int container, int left, int top, int width,
                            int height, const char* text, const FontSpec* font = nullptr) {
  return {name, ControlKind::WrappingLabel, container, left, top, width, height, font, text,
          kNoFocus, 0};
}
constexpr ControlSpec AutoSizeLabel(const char* name, int container, int left, int top, int width,
                                    int height, const char* text, const FontSpec* font) {
  return {name, ControlKind::AutoSizeLabel, container, left, top, width, height, font, text,
          kNoFocus, 0};
}
constexpr ControlSpec Picture(const char* name, int container, int left, int top, int width,
                              int height, int pictureId) {
  return {name, ControlKind::Picture, container, left, top, width, height, nullptr, "", kNoFocus,
          pictureId};
}

// The controls are listed front to back; a control inside a frame lies in front of it.
struct FormSpec {
  const char* name;
  const char* title;
  int clientWidth, clientHeight;  // twips
  const ControlSpec* controls;
  std::size_t controlCount;
};

// ---- Checks of a table where it is written (static_assert) ---------------------------------

constexpr std::size_t TextLength(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

constexpr bool SameText(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a) ++b;
  return *a == *b;
}

// The table fits the engine's arrays, and every text fits the buffer that it is converted
// into: a longer one would be cut without a word.
template <std::size_t Count>
constexpr bool FitsLimits(const ControlSpec (&controls)[Count]) {
  bool fits = Count <= kMaxControls;
  for (const ControlSpec& control : controls) {
    fits = fits && TextLength(control.text) < kMaxFormText &&
           (!control.font || TextLength(control.font->face) < kMaxFaceName);
  }
  return fits;
}

// Row `index` of the table is the control called `name`: ties a handler's name for a control
// to the row that it means.
template <std::size_t Count>
constexpr bool IsRow(const ControlSpec (&controls)[Count], int index, const char* name) {
  return index >= 0 && static_cast<std::size_t>(index) < Count &&
         SameText(controls[index].name, name);
}

// The title of every window of the launcher, and of its message boxes.
inline constexpr char kFormTitle[] = "Kavrio";
static_assert(TextLength(kFormTitle) < kMaxFormName);

// A row that the window's code names by the table's enum.
struct NamedRow {
  int index;
  const char* name;
};

// Declared only: CheckedForm calls one of them when a table breaks a check, and the compiler,
// which cannot call it in a constant expression, names it in its error.
void TableRowsDifferFromItsEnum();
void TableExceedsTheEngineLimits();
void NamedRowIsAnotherControl();

// A window's spec from its table, checked where it is written (a constexpr FormSpec): one row
// per name of the table's enum (`rowCount`), the engine's limits, and each named row.
template <std::size_t Count, std::size_t Named>
constexpr FormSpec CheckedForm(const char* name, int clientWidth, int clientHeight,
                               const ControlSpec (&controls)[Count], int rowCount,
                               const NamedRow (&named)[Named]) {
  if (static_cast<std::size_t>(rowCount) != Count) TableRowsDifferFromItsEnum();
  if (!FitsLimits(controls)) TableExceedsTheEngineLimits();
  for (const NamedRow& row : named) {
    if (!IsRow(controls, row.index, row.name)) NamedRowIsAnotherControl();
  }
  return {name, kFormTitle, clientWidth, clientHeight, controls, Count};
}

// The first control id; control i of a table gets kFirstControlId + i. Ids 1 and 2 (IDOK and
// IDCANCEL) stay free, since the dialog manager sends them for Enter and Esc.
constexpr int kFirstControlId = 100;

}  // namespace kavrio
