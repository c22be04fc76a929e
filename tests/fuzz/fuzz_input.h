// What both fuzz targets share: reading an input as a script, and checks that end the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kavrio::fuzz {

// A broken rule ends the run as a crash does, so libFuzzer keeps the input that broke it.
[[noreturn]] inline void Violated(const char* rule, const char* file, int line,
                                  const std::string& detail) {
  std::fprintf(stderr, "\n==== invariant violated: %s\n     at %s:%d\n", rule, file, line);
  if (!detail.empty()) std::fprintf(stderr, "     %s\n", detail.c_str());
  std::abort();
}

#define KAVRIO_CHECK(condition, detail)                                                 \
  do {                                                                                  \
    if (!(condition)) ::kavrio::fuzz::Violated(#condition, __FILE__, __LINE__, detail); \
  } while (false)

// Reads an input front to back. Past its end every read gives 0, so any input, even an
// empty one, is a whole script, and 0 always means the plain case.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  std::uint16_t U16() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
  }

  std::uint32_t U32() {
    const std::uint32_t low = U16();
    return low | static_cast<std::uint32_t>(U16()) << 16;
  }

  // Bytes up to the next 0 (which is consumed) or the end, at most maxLength of them.
  std::string Text8(std::size_t maxLength) {
    std::string text;
    while (text.size() < maxLength) {
      const std::uint8_t c = Byte();
      if (c == 0) break;
      text += static_cast<char>(c);
    }
    return text;
  }

  // A UTF-16 text, made compact so that the fuzzer reaches long and odd names quickly:
  //   0x00        end of the text
  //   0x01        "\\?\"  (the device-path prefix)
  //   0x02        "\\"    (a doubled separator)
  //   0x03        "kavrio.exe"
  //   0x04 n      the unit before, n + 1 more times (a long name in a few bytes)
  //   0x05 lo hi  the unit hi:lo (0 ends the text)
  //   0x06 n      a letter of another script, a lookalike of "\", or half a surrogate pair
  //   0x07        "\\srv\share"
  //   any other   that byte as a unit: ASCII, and Latin-1 letters such as U+00E7
  // A text never holds a NUL, as no name that Windows hands out does.
  std::u16string Text16(std::size_t maxLength) {
    std::u16string text;
    while (text.size() < maxLength) {
      const std::uint8_t token = Byte();
      switch (token) {
        case 0x00:
          return text;
        case 0x01:
          text += u"\\\\?\\";
          break;
        case 0x02:
          text += u"\\\\";
          break;
        case 0x03:
          text += u"kavrio.exe";
          break;
        case 0x04: {
          const std::size_t count = std::size_t{Byte()} + 1;
          if (!text.empty()) text.append(count, text.back());
          break;
        }
        case 0x05: {
          const std::uint16_t unit = U16();
          if (unit == 0) return Cut(text, maxLength);
          text += static_cast<char16_t>(unit);
          break;
        }
        case 0x06: {
          // CJK, Cyrillic, Greek, Hebrew, Arabic, dotted I, sharp s; three lookalikes of "\"
          // and the yen sign (the separator on Japanese systems); replacement, noncharacter,
          // both halves of a surrogate pair, zero-width space, a combining accent.
          static constexpr char16_t kOtherScripts[] = {
              u'\u5b89', u'\u88c5', u'\u0416', u'\u03a9', u'\u05d0', u'\u0627',
              u'\u0130', u'\u00df', u'\uff3c', u'\u2216', u'\u29f5', u'\u00a5',
              u'\ufffd', u'\uffff', 0xD83D,    0xDE00,    u'\u200b', u'\u0301'};
          text += kOtherScripts[Byte() % (sizeof kOtherScripts / sizeof kOtherScripts[0])];
          break;
        }
        case 0x07:
          text += u"\\\\srv\\share";
          break;
        default:
          text += static_cast<char16_t>(token);
          break;
      }
    }
    return Cut(text, maxLength);
  }

 private:
  static std::u16string Cut(std::u16string& text, std::size_t maxLength) {
    if (text.size() > maxLength) text.resize(maxLength);
    return text;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace kavrio::fuzz
