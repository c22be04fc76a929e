// The registry reader against the fake registry, with the value and key
// tables that the Windows tier also runs on the real registry.
#include <gtest/gtest.h>

#include "../registry_cases.h"
#include "fake_registry.h"
#include "registry/registry.h"

namespace kavrio {
namespace {

using namespace win32_codes;

using namespace registry_cases;
using fakes::FakeRegistry;

class ReaderTest : public testing::Test {
 protected:
  ReaderTest() {
    registry_.SetValue(kHkeyLocalMachine, kScratchKey, "Version", kRegSz,
                       registry_cases::kScratchVersion);
    for (const StoredValueCase& stored : registry_cases::kStoredValueCases) {
      registry_.SetValue(kHkeyLocalMachine, kScratchKey, stored.name, stored.type, stored.bytes);
    }
    registry_.AddKey(kHkeyLocalMachine, kReadOnlyKey, kKeyRead);
    registry_.SetValue(kHkeyLocalMachine, kReadOnlyKey, "Version", kRegSz,
                       registry_cases::kReadOnlyVersion);
    registry_.AddKey(kHkeyLocalMachine, registry_cases::kQueryOnlyKey, kKeyQueryValue);
    registry_.SetValue(kHkeyLocalMachine, registry_cases::kQueryOnlyKey, "Version", kRegSz,
                       registry_cases::kQueryOnlyVersion);
  }

  // A key left open, or closed twice, fails the test that did it.
  void TearDown() override {
    EXPECT_EQ(registry_.OpenHandles(), 0) << "a key was left open";
    EXPECT_EQ(registry_.BadCloses(), 0) << "a key was closed twice or never opened";
    EXPECT_EQ(registry_.Closes(), registry_.KeysHandedOut());
  }

  FakeRegistry registry_;
};

class StoredValueTest : public ReaderTest, public testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValueTest, GetValueGivesTheKindAndContentStored) {
  registry_cases::ExpectValue(GetValue(registry_, kHkeyLocalMachine, kScratchKey, GetParam().name),
                              GetParam().expected);
  EXPECT_EQ(registry_.KeysHandedOut(), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndSize, StoredValueTest,
                         testing::ValuesIn(registry_cases::kStoredValueCases),
                         NameOf<StoredValueCase>);

class KeyTest : public ReaderTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTest, KeyExistsAndGetValueAgree) {
  registry_cases::ExpectKeyCase(registry_, GetParam());
}

INSTANTIATE_TEST_SUITE_P(PathsAndAccess, KeyTest, testing::ValuesIn(registry_cases::kKeyCases),
                         NameOf<KeyCase>);

// The fake answers the raw calls as the real registry does (the Windows tier
// runs the same table on Win32Registry).
class PortTest : public ReaderTest, public testing::WithParamInterface<PortCase> {};

TEST_P(PortTest, FakeAnswersLikeTheApi) { registry_cases::ExpectPortBehaviour(registry_, GetParam()); }

INSTANTIATE_TEST_SUITE_P(DocumentedAnswers, PortTest, testing::ValuesIn(registry_cases::kPortCases),
                         NameOf<PortCase>);

// The value changes between the first read (type and size) and the second.
struct SecondReadCase {
  const char* label;
  std::uint32_t type;
  std::string_view firstBytes;
  bool removedBeforeSecondRead;
  std::string_view secondBytes;
  Expected expected;
};

const SecondReadCase kSecondReadCases[] = {
    {"TextGrowsPastReportedSize", kRegSz, {"5.5\0", 4}, false, {"5.50.4134.0100\0", 15},
     registry_cases::Text("")},
    {"TextRemoved", kRegSz, {"5.5\0", 4}, true, {}, registry_cases::Text("")},
    {"DwordGrowsPastFourBytes", kRegDword, {"\x05\0\0\0", 4}, false, {"\x05\0\0\0\0\0\0\0", 8},
     registry_cases::IntegerZero()},
    {"DwordRemoved", kRegDword, {"\x05\0\0\0", 4}, true, {}, registry_cases::IntegerZero()},
    {"BinaryGrowsPastReportedSize", kRegBinary, {"\x2A", 1}, false, {"\x2A\0", 2},
     registry_cases::IntegerZero()},
};

void PrintTo(const SecondReadCase& c, std::ostream* out) { *out << c.label; }

class SecondReadTest : public ReaderTest, public testing::WithParamInterface<SecondReadCase> {};

TEST_P(SecondReadTest, FailedSecondReadGivesItsFallback) {
  const SecondReadCase& c = GetParam();
  registry_.SetValue(kHkeyLocalMachine, kScratchKey, "Changing", c.type, c.firstBytes);
  registry_.beforeQuery = [&](int queryCall) {
    if (queryCall != 2) return;
    if (c.removedBeforeSecondRead) {
      registry_.RemoveValue(kHkeyLocalMachine, kScratchKey, "Changing");
    } else {
      registry_.SetValue(kHkeyLocalMachine, kScratchKey, "Changing", c.type, c.secondBytes);
    }
  };
  registry_cases::ExpectValue(GetValue(registry_, kHkeyLocalMachine, kScratchKey, "Changing"),
                              c.expected);
  EXPECT_EQ(registry_.QueryCalls(), 2);
}

INSTANTIATE_TEST_SUITE_P(ValueChangedBetweenReads, SecondReadTest,
                         testing::ValuesIn(kSecondReadCases), NameOf<SecondReadCase>);

TEST_F(ReaderTest, NullKeyPathRaisesWithoutOpening) {
  const OrRaised<bool> exists = KeyExists(registry_, kHkeyLocalMachine, nullptr);
  ASSERT_TRUE(exists.raised.has_value());
  EXPECT_EQ(exists.raised->number, 11008);
  EXPECT_STREQ(exists.raised->source, "clsRegistry");
  EXPECT_STREQ(exists.raised->description, "KeyExists");

  registry_cases::ExpectValue(GetValue(registry_, kHkeyLocalMachine, nullptr, "Version"),
                              registry_cases::Raises());
  EXPECT_EQ(registry_.OpenCalls(), 0);
}

TEST_F(ReaderTest, NullValueNameRaisesRatherThanReadingTheDefaultValue) {
  registry_.SetValue(kHkeyLocalMachine, kScratchKey, "", kRegSz, {"4.0\0", 4});
  registry_cases::ExpectValue(GetValue(registry_, kHkeyLocalMachine, kScratchKey, nullptr),
                              registry_cases::Raises());
}

}  // namespace
}  // namespace kavrio
