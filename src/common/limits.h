// Every fixed size of the program, in one place: each text, path and table lives in a buffer
// of one of these sizes, never on the heap. The tables and texts are checked against them at
// compile time where they are written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrio {

inline constexpr std::size_t kMaxPath = 260;  // a path in UTF-16 units or ANSI bytes, NUL included
inline constexpr std::uint32_t kRegistryBufferSize = 255;  // both reads of a value, in bytes

// A form's text (caption, label, message box), a window title or class name, and a font's
// face name (LF_FACESIZE), as the W calls get them, NUL included.
inline constexpr std::size_t kMaxFormText = 512;
inline constexpr std::size_t kMaxFormName = 64;
inline constexpr std::size_t kMaxFaceName = 32;

inline constexpr std::size_t kMaxControls = 16;    // of one form
inline constexpr std::size_t kMaxForms = 4;        // living at once
inline constexpr std::size_t kMaxFontChoices = 8;  // faces chosen and kept, by face and DPI

}  // namespace kavrio
