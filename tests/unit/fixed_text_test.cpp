#include "launch/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

#include "text_for_tests.h"

namespace kavrio {
namespace {

// Room for five units and the NUL: a text that does not fit is refused whole.
TEST(FixedText, AppendTakesAllOfATextOrNothing) {
  struct Case {
    const char16_t* held;
    const char16_t* appended;
    bool fits;
  } cases[] = {
      {u"", u"abcde", true}, {u"", u"abcdef", false}, {u"abc", u"de", true},
      {u"abc", u"def", false}, {u"abcde", u"", true}, {u"abcde", u"f", false},
  };
  for (const Case& c : cases) {
    FixedText<6> text;
    ASSERT_TRUE(text.Append(c.held));
    EXPECT_EQ(text.Append(c.appended), c.fits) << Utf8(c.appended);
    const std::u16string expected = std::u16string(c.held) + (c.fits ? c.appended : u"");
    EXPECT_EQ(text.View(), expected);
    EXPECT_EQ(std::u16string(text.CStr()), expected) << "NUL-terminated";
  }
}

}  // namespace
}  // namespace kavrio
