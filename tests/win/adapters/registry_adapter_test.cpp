// Win32Registry and the reader on the real registry: the host tier's value and
// key tables are stored under a scratch key in HKLM and read back.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "../../registry_cases.h"
#include "registry/registry.h"
#include "registry/win32_registry.h"
#include "startup/browser_check.h"

namespace kavrio {
namespace {

using namespace win32_codes;
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorAccessDenied == ERROR_ACCESS_DENIED &&
              kErrorInvalidHandle == ERROR_INVALID_HANDLE &&
              kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
              kErrorBadPathname == ERROR_BAD_PATHNAME && kErrorMoreData == ERROR_MORE_DATA &&
              kErrorCancelled == ERROR_CANCELLED);
static_assert(kRegExpandSz == REG_EXPAND_SZ && kRegDwordBigEndian == REG_DWORD_BIG_ENDIAN &&
              kRegMultiSz == REG_MULTI_SZ && kRegQword == REG_QWORD && kKeyRead == KEY_READ &&
              kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(kWaitObject0 == WAIT_OBJECT_0 && kWaitTimeout == WAIT_TIMEOUT &&
              kWaitFailed == WAIT_FAILED);

using namespace registry_cases;

void SetDaclForEveryone(HKEY key, DWORD access) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPLICIT_ACCESSA entry{};
  entry.grfAccessPermissions = access;
  entry.grfAccessMode = SET_ACCESS;
  entry.grfInheritance = NO_INHERITANCE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = static_cast<LPSTR>(everyone);
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &entry, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  LocalFree(acl);
  FreeSid(everyone);
}

void StoreValue(HKEY key, const char* name, DWORD type, std::string_view bytes) {
  // RegSetValueExA counts a string's terminator itself when the byte just past
  // the given size is a NUL, so a non-NUL follows the data to keep the size exact.
  std::vector<BYTE> data(bytes.begin(), bytes.end());
  data.push_back('#');
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS)
      << name;
}

void DeleteScratchKeys() {
  for (const char* restricted : {kReadOnlyKey, registry_cases::kQueryOnlyKey}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, restricted, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
      SetDaclForEveryone(key, KEY_ALL_ACCESS);
      RegCloseKey(key);
    }
  }
  const LONG status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScratchKey);
  EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

// A subkey holding Version, that everyone may open with `access` and nothing more.
void AddRestrictedKey(HKEY parent, const char* name, std::string_view version, DWORD access) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  StoreValue(key, "Version", REG_SZ, version);
  SetDaclForEveryone(key, access);
  RegCloseKey(key);
}

// Fills HKLM\Software\KavrioAdapterTests before the tests and deletes it after.
class ScratchKeys final : public testing::Environment {
 public:
  void SetUp() override {
    DeleteScratchKeys();
    HKEY scratch = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &scratch, nullptr),
              ERROR_SUCCESS);
    StoreValue(scratch, "Version", REG_SZ, registry_cases::kScratchVersion);
    for (const StoredValueCase& stored : registry_cases::kStoredValueCases) {
      StoreValue(scratch, stored.name, stored.type, stored.bytes);
    }
    AddRestrictedKey(scratch, "ReadOnly", registry_cases::kReadOnlyVersion, KEY_READ);
    AddRestrictedKey(scratch, "QueryOnly", registry_cases::kQueryOnlyVersion, KEY_QUERY_VALUE);
    RegCloseKey(scratch);
  }
  void TearDown() override {
    DeleteScratchKeys();
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratchKey, 0, KEY_READ, &gone),
              ERROR_FILE_NOT_FOUND);
  }
};

testing::Environment* const kScratchKeys = testing::AddGlobalTestEnvironment(new ScratchKeys);

// The host tier's tables, each row run against the real registry.
template <class Case>
class OnTheRealRegistry : public testing::TestWithParam<Case> {
 protected:
  Win32Registry registry_;
};
using RegistryStoredValueTest = OnTheRealRegistry<StoredValueCase>;
using RegistryKeyTest = OnTheRealRegistry<KeyCase>;
using RegistryPortTest = OnTheRealRegistry<PortCase>;

TEST_P(RegistryStoredValueTest, GetValueGivesWhatTheHostTableSays) {
  registry_cases::ExpectValue(GetValue(this->registry_, kHkeyLocalMachine, kScratchKey, GetParam().name),
                              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndSize, RegistryStoredValueTest,
                         testing::ValuesIn(registry_cases::kStoredValueCases),
                         NameOf<StoredValueCase>);

TEST_P(RegistryKeyTest, KeyExistsAndGetValueAsOnTheHost) {
  registry_cases::ExpectKeyCase(this->registry_, GetParam());
}

INSTANTIATE_TEST_SUITE_P(PathsAndAccess, RegistryKeyTest,
                         testing::ValuesIn(registry_cases::kKeyCases), NameOf<KeyCase>);

TEST_P(RegistryPortTest, RealApiAnswersAsTheFakeDoes) {
  registry_cases::ExpectPortBehaviour(this->registry_, GetParam());
}

INSTANTIATE_TEST_SUITE_P(DocumentedAnswers, RegistryPortTest,
                         testing::ValuesIn(registry_cases::kPortCases), NameOf<PortCase>);

TEST(RegistryRoot, RootNumbersBecomeThePredefinedHandles) {
  EXPECT_EQ(RootKeyHandle(kHkeyLocalMachine), reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(RootKeyHandle(kHkeyCurrentUser), reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER));
  EXPECT_EQ(RootKeyHandle(kHkeyClassesRoot), reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT));
}

// Handles of this process in the system's handle list, which Wine fills in
// even where GetProcessHandleCount answers 0.
long ListedHandlesOfThisProcess() {
  struct Entry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
  };
  struct List {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemExtendedHandleInformation = 64;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  std::vector<std::uint8_t> buffer(1 << 16);
  LONG status;
  while ((status = query(kSystemExtendedHandleInformation, buffer.data(),
                         static_cast<ULONG>(buffer.size()), nullptr)) == kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return -1;
  const auto* list = reinterpret_cast<const List*>(buffer.data());
  long count = 0;
  for (ULONG_PTR i = 0; i < list->count; ++i) {
    if (list->entries[i].processId == GetCurrentProcessId()) ++count;
  }
  return count;
}

DWORD ProcessHandleCount() {
  DWORD count = 0;
  EXPECT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &count));
  return count;
}

TEST(RegistryHandles, ThousandCallsOfEachLeaveNoHandleOpen) {
  // The counters must see a key that is held open, or an unchanged count proves nothing.
  const long listedBefore = ListedHandlesOfThisProcess();
  const DWORD countedBefore = ProcessHandleCount();
  ASSERT_GE(listedBefore, 0) << "the system handle list cannot be read";
  HKEY held = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratchKey, 0, KEY_READ, &held), ERROR_SUCCESS);
  ASSERT_EQ(ListedHandlesOfThisProcess(), listedBefore + 1) << "a held key is not listed";
  if (ProcessHandleCount() == countedBefore) {
    std::printf("note: GetProcessHandleCount does not see a held registry key here (%lu)\n",
                static_cast<unsigned long>(countedBefore));
  }
  RegCloseKey(held);

  Win32Registry registry;
  const char* const paths[] = {kScratchKey, kReadOnlyKey, "Software\\KavrioAdapterTests\\Missing",
                               "\\\\Software\\KavrioAdapterTests"};
  const char* const names[] = {"SzTerminated", "DwordFive", "BinaryFourBytes256", "DwordEightBytes",
                               "Sz256BytesTerminated", "NoSuchValue"};
  for (int call = 0; call < 1000; ++call) {
    KeyExists(registry, kHkeyLocalMachine, paths[call % 4]);
  }
  for (int call = 0; call < 1000; ++call) {
    GetValue(registry, kHkeyLocalMachine, call % 7 == 6 ? paths[2] : kScratchKey, names[call % 6]);
  }
  EXPECT_EQ(ListedHandlesOfThisProcess(), listedBefore);
  EXPECT_EQ(ProcessHandleCount(), countedBefore);
}

class CountingPrompt final : public PromptAction {
 public:
  void Prompt() override { ++prompts; }
  int prompts = 0;
};

// Wine's own registry carries a browser version of 9.11: the menu road.
TEST(RegistryBrowserCheck, InstalledBrowserGivesTheMenu) {
  Win32Registry registry;
  const OrRaised<RegistryValue> version =
      GetValue(registry, kHkeyLocalMachine, kBrowserKeyPath, kBrowserVersionValue);
  ASSERT_EQ(version.value.Kind(), ValueKind::Text);
  ASSERT_FALSE(version.value.AsText().empty());
  CountingPrompt prompt;
  const OrRaised<BrowserRoad> road = CheckBrowser(registry, prompt);
  EXPECT_FALSE(road.raised.has_value());
  EXPECT_EQ(road.value, BrowserRoad::Menu);
  EXPECT_EQ(prompt.prompts, 0) << "version " << std::string(version.value.AsText());
}

}  // namespace
}  // namespace kavrio
