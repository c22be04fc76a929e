// Every fixed size of the program, in one place. The product allocates nothing at run time
// beyond the stack, so each text, path and table lives in a buffer of one of these sizes;
// the tables and texts are checked against them at compile time where they are written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrio {

// Paths in UTF-16 units, NUL included (MAX_PATH): the launch folder and installer paths.
inline constexpr std::size_t kMaxPath = 260;

// Both reads of a registry value go through a buffer of this many bytes; no text read is
// longer.
inline constexpr std::uint32_t kRegistryBufferSize = 255;

// A text of a form (caption, label, message box), NUL included, as the W calls get it.
inline constexpr std::size_t kMaxFormText = 512;
// A window title or class name, NUL included.
inline constexpr std::size_t kMaxFormName = 64;
// A font's face name, NUL included (LF_FACESIZE).
inline constexpr std::size_t kMaxFaceName = 32;

// The controls of one form, and the forms that live at once.
inline constexpr std::size_t kMaxControls = 16;
inline constexpr std::size_t kMaxForms = 4;

// The font faces chosen and kept, one per wanted face and DPI.
inline constexpr std::size_t kMaxFontChoices = 8;

}  // namespace kavrio
