// The start-up browser check against the fake registry.
#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <string_view>

#include "../registry_cases.h"
#include "fake_registry.h"
#include "startup/browser_check.h"

namespace kavrio {
namespace {

using namespace win32_codes;

using fakes::FakeRegistry;

constexpr const char* kIeKey = "Software\\Microsoft\\Internet Explorer";

// Counts prompts and returns, as a prompt window closed by its close box does.
class CountingPrompt final : public PromptAction {
 public:
  explicit CountingPrompt(const FakeRegistry& registry) : registry_(registry) {}
  void Prompt() override {
    ++prompts;
    readsBeforePrompt = registry_.OpenCalls() - 1;  // the first open is KeyExists
  }
  int prompts = 0;
  int readsBeforePrompt = -1;

 private:
  const FakeRegistry& registry_;
};

class BrowserCheckTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(registry_.OpenHandles(), 0) << "a key was left open";
    EXPECT_EQ(registry_.BadCloses(), 0);
  }
  // GetValue calls made: every open after the KeyExists one.
  int Reads() const { return registry_.OpenCalls() - 1; }

  // Runs the check and expects its road, prompts and reads (and the reads before the prompt).
  void ExpectCheck(int prompts, int reads, int readsBeforePrompt) {
    const OrRaised<BrowserRoad> road = CheckBrowser(registry_, prompt_);
    EXPECT_FALSE(road.raised.has_value());
    EXPECT_EQ(road.value, prompts > 0 ? BrowserRoad::Prompt : BrowserRoad::Menu);
    EXPECT_EQ(prompt_.prompts, prompts);
    EXPECT_EQ(Reads(), reads);
    if (prompts > 0) {
      EXPECT_EQ(prompt_.readsBeforePrompt, readsBeforePrompt);
    }
  }

  FakeRegistry registry_;
  CountingPrompt prompt_{registry_};
};

struct DecisionCase {
  const char* label;
  bool keyPresent;
  std::uint32_t access;  // what the key lets a reader ask for
  std::uint32_t type;  // kNoValue: no Version value
  std::string_view bytes;
  int prompts;
  int reads;
  int readsBeforePrompt;
};

constexpr std::uint32_t kNoValue = 0xFFFFFFFF;

const DecisionCase kDecisionCases[] = {
    {"NoKey", false, kKeyAllAccess, kNoValue, {}, 1, 0, 0},
    {"NoVersionValue", true, kKeyAllAccess, kNoValue, {}, 1, 1, 1},
    {"EmptyText", true, kKeyAllAccess, kRegSz, {"\0", 1}, 1, 1, 1},
    {"ZeroByteText", true, kKeyAllAccess, kRegSz, {"", 0}, 1, 1, 1},
    {"ExpandSzReadsAsEmpty", true, kKeyAllAccess, kRegExpandSz, {"6.0\0", 4}, 1, 1, 1},
    {"Version4_72", true, kKeyAllAccess, kRegSz, {"4.72.3110.0\0", 12}, 1, 3, 2},
    {"Version4_0", true, kKeyAllAccess, kRegSz, {"4.0\0", 4}, 1, 3, 2},
    {"JustFour", true, kKeyAllAccess, kRegSz, {"4\0", 2}, 1, 3, 2},
    {"Version5_00_2614", true, kKeyAllAccess, kRegSz, {"5.00.2614.3500\0", 15}, 1, 3, 3},
    {"Version5_00_2920", true, kKeyAllAccess, kRegSz, {"5.00.2920.0000\0", 15}, 1, 3, 3},
    {"Version5_0", true, kKeyAllAccess, kRegSz, {"5.0\0", 4}, 1, 3, 3},
    {"Version5_0Unterminated", true, kKeyAllAccess, kRegSz, {"5.0", 3}, 1, 3, 3},
    {"JustFive", true, kKeyAllAccess, kRegSz, {"5\0", 2}, 0, 3, -1},
    {"Version5_5", true, kKeyAllAccess, kRegSz, {"5.5\0", 4}, 0, 3, -1},
    {"Version5_50", true, kKeyAllAccess, kRegSz, {"5.50.4134.0100\0", 15}, 0, 3, -1},
    {"Version6_0", true, kKeyAllAccess, kRegSz, {"6.0.2800.1106\0", 14}, 0, 3, -1},
    {"Version3_0", true, kKeyAllAccess, kRegSz, {"3.0\0", 4}, 0, 3, -1},
    {"Version9_11", true, kKeyAllAccess, kRegSz, {"9.11.9600.18376\0", 16}, 0, 3, -1},
    {"LeadingSpaceIsNotTrimmed", true, kKeyAllAccess, kRegSz, {" 4.0\0", 5}, 0, 3, -1},
    {"FiveCommaZero", true, kKeyAllAccess, kRegSz, {"5,0\0", 4}, 0, 3, -1},
    {"DwordFour", true, kKeyAllAccess, kRegDword, {"\x04\0\0\0", 4}, 1, 3, 2},
    {"DwordFive", true, kKeyAllAccess, kRegDword, {"\x05\0\0\0", 4}, 0, 3, -1},
    {"DwordMinusFive", true, kKeyAllAccess, kRegDword, {"\xFB\xFF\xFF\xFF", 4}, 0, 3, -1},
    {"BinaryFortyTwo", true, kKeyAllAccess, kRegBinary, {"\x2A", 1}, 1, 3, 2},
    {"BinaryFive", true, kKeyAllAccess, kRegBinary, {"\x05", 1}, 0, 3, -1},
    {"NumberOverFourBytesIsZero", true, kKeyAllAccess, kRegDword, {"\x04\0\0\0\0\0\0\0", 8}, 0, 3, -1},
    {"ReadOnlyKeyCurrentBrowser", true, kKeyRead, kRegSz, {"6.0.2800.1106\0", 14}, 0, 3, -1},
    {"ReadOnlyKeyOldBrowser", true, kKeyRead, kRegSz, {"4.0\0", 4}, 1, 3, 2},
    {"QueryOnlyKeyCurrentBrowser", true, kKeyQueryValue, kRegSz, {"6.0.2800.1106\0", 14}, 0, 3, -1},
};

void PrintTo(const DecisionCase& c, std::ostream* out) { *out << c.label; }

class DecisionTest : public BrowserCheckTest, public testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTest, PromptsOrReturnsAsTheVersionSays) {
  const DecisionCase& c = GetParam();
  if (c.keyPresent) {
    registry_.AddKey(kHkeyLocalMachine, kIeKey, c.access);
  }
  if (c.type != kNoValue) registry_.SetValue(kHkeyLocalMachine, kIeKey, "Version", c.type, c.bytes);
  ExpectCheck(c.prompts, c.reads, c.readsBeforePrompt);
}

INSTANTIATE_TEST_SUITE_P(VersionTexts, DecisionTest, testing::ValuesIn(kDecisionCases),
                         registry_cases::NameOf<DecisionCase>);

// The version changes from one read to the next: each test sees its own read.
struct FreshReadCase {
  const char* label;
  std::array<std::string_view, 3> versions;
  int prompts;
  int reads;
  int readsBeforePrompt;
};

const FreshReadCase kFreshReadCases[] = {
    {"SecondReadIsFresh", {"6.0", "4.0", "6.0"}, 1, 3, 2},
    {"ThirdReadIsFresh", {"6.0", "6.0", "5.0"}, 1, 3, 3},
    {"FirstReadOnlyTestedForEmpty", {"4.0", "6.0", "5.5"}, 0, 3, -1},
    {"FirstReadFiveZeroNotTested", {"5.0", "6.0", "5.5"}, 0, 3, -1},
    {"PromptsAtMostOnce", {"6.0", "4.0", "5.0"}, 1, 3, 2},
    {"EmptyFirstReadEndsTheCheck", {"", "4.0", "5.0"}, 1, 1, 1},
};

void PrintTo(const FreshReadCase& c, std::ostream* out) { *out << c.label; }

class FreshReadTest : public BrowserCheckTest, public testing::WithParamInterface<FreshReadCase> {};

TEST_P(FreshReadTest, EachTestReadsTheValueAgain) {
  const FreshReadCase& c = GetParam();
  registry_.AddKey(kHkeyLocalMachine, kIeKey);
  registry_.beforeOpen = [&](int openCall) {
    if (openCall < 2) return;  // the KeyExists open
    const std::string text(c.versions[static_cast<std::size_t>(openCall - 2)]);
    registry_.SetValue(kHkeyLocalMachine, kIeKey, "Version", kRegSz, {text.c_str(), text.size() + 1});
  };
  ExpectCheck(c.prompts, c.reads, c.readsBeforePrompt);
}

INSTANTIATE_TEST_SUITE_P(ChangingVersion, FreshReadTest, testing::ValuesIn(kFreshReadCases),
                         registry_cases::NameOf<FreshReadCase>);

void ExpectGetValueError(const OrRaised<BrowserRoad>& road) {
  ASSERT_TRUE(road.raised.has_value());
  EXPECT_EQ(road.raised->number, 11002);
  EXPECT_STREQ(road.raised->source, "clsRegistry");
  EXPECT_STREQ(road.raised->description, "GetValue");
}

TEST_F(BrowserCheckTest, RaisedErrorOnFirstReadEndsTheCheckWithoutPrompt) {
  registry_.SetValue(kHkeyLocalMachine, kIeKey, "Version", kRegBinary, {"\0\x01\0\0", 4});
  ExpectGetValueError(CheckBrowser(registry_, prompt_));
  EXPECT_EQ(prompt_.prompts, 0);
  EXPECT_EQ(Reads(), 1);
}

TEST_F(BrowserCheckTest, RaisedErrorOnThirdReadComesAfterThePrompt) {
  registry_.AddKey(kHkeyLocalMachine, kIeKey);
  registry_.beforeOpen = [&](int openCall) {
    if (openCall == 2) registry_.SetValue(kHkeyLocalMachine, kIeKey, "Version", kRegSz, {"4.0\0", 4});
    if (openCall == 4) {
      registry_.SetValue(kHkeyLocalMachine, kIeKey, "Version", kRegBinary, {"\xFF\xFF", 2});
    }
  };
  ExpectGetValueError(CheckBrowser(registry_, prompt_));
  EXPECT_EQ(prompt_.prompts, 1);
  EXPECT_EQ(Reads(), 3);
}

struct TextCase {
  const char* label;
  RegistryValue value;
  std::string_view text;
};

const std::string k255Letters(registry_cases::k255Letters.data(), 255);

const TextCase kTextCases[] = {
    {"Empty", RegistryValue::Empty(), ""},
    {"Text", RegistryValue::Text("6.0.2800.1106"), "6.0.2800.1106"},
    {"EmptyText", RegistryValue::Text(""), ""},
    {"LongestText", RegistryValue::Text(k255Letters), k255Letters},
    {"Byte42", RegistryValue::Byte(42), "42"},
    {"Byte0", RegistryValue::Byte(0), "0"},
    {"Byte255", RegistryValue::Byte(255), "255"},
    {"IntegerZero", RegistryValue::IntegerZero(), "0"},
    {"Long5", RegistryValue::Long(5), "5"},
    {"LongMinus5", RegistryValue::Long(-5), "-5"},
    {"LongMinus10", RegistryValue::Long(-10), "-10"},
    {"Long1000", RegistryValue::Long(1000), "1000"},
    {"LongZero", RegistryValue::Long(0), "0"},
    {"LongHighest", RegistryValue::Long(std::numeric_limits<std::int32_t>::max()), "2147483647"},
    {"LongLowest", RegistryValue::Long(std::numeric_limits<std::int32_t>::min()), "-2147483648"},
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.label; }

class ValueTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(ValueTextTest, ConvertsToDecimalOrKeepsText) {
  EXPECT_EQ(ValueToText(GetParam().value).View(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ValueTextTest, testing::ValuesIn(kTextCases),
                         registry_cases::NameOf<TextCase>);

}  // namespace
}  // namespace kavrio
