// An in-memory registry behind RegistryPort that answers as RegOpenKeyExA,
// RegQueryValueExA and RegCloseKey are documented to (and as Wine answers):
// case-insensitive names, access rights per key, ERROR_MORE_DATA with the
// needed size, and a count of every key handed out and closed.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "../win32_codes.h"
#include "registry/registry_port.h"

namespace kavrio::fakes {

using namespace win32_codes;

class FakeRegistry final : public RegistryPort {
 public:
  // Adds root\path and its parents; grantedAccess limits what an open may ask for.
  void AddKey(std::uint32_t root, std::string_view path, std::uint32_t grantedAccess = kKeyAllAccess) {
    std::string name = RootName(root);
    for (const std::string& element : Elements(path)) {
      name += '\\' + element;
      keys_.try_emplace(name, Key{kKeyAllAccess, {}});
    }
    keys_[name].grantedAccess = grantedAccess;
  }

  // Stores exactly these bytes as the value (adding the key when needed).
  void SetValue(std::uint32_t root, std::string_view path, std::string_view valueName,
                std::uint32_t type, std::string_view bytes) {
    if (!keys_.count(KeyName(root, path))) AddKey(root, path);
    keys_[KeyName(root, path)].values[Lower(valueName)] = Value{type, std::string(bytes)};
  }

  void RemoveValue(std::uint32_t root, std::string_view path, std::string_view valueName) {
    keys_[KeyName(root, path)].values.erase(Lower(valueName));
  }

  // Runs at the start of each OpenKeyEx call, given its number (1 for the first).
  std::function<void(int openCall)> beforeOpen;
  // Runs at the start of each QueryValueEx call, given its number.
  std::function<void(int queryCall)> beforeQuery;

  int OpenCalls() const { return openCalls_; }
  int QueryCalls() const { return queryCalls_; }
  int KeysHandedOut() const { return keysHandedOut_; }
  int Closes() const { return closes_; }
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  // Closes of a key that was never handed out or was already closed.
  int BadCloses() const { return badCloses_; }
  // The access mask of every open, in order.
  const std::vector<std::uint32_t>& AccessRequests() const { return accessRequests_; }

  std::int32_t OpenKeyEx(std::uint32_t root, const char* subKey, std::uint32_t options,
                         std::uint32_t samDesired, RegKey* result) override {
    ++openCalls_;
    if (beforeOpen) beforeOpen(openCalls_);
    accessRequests_.push_back(samDesired);
    if (result == nullptr) return kErrorInvalidParameter;
    *result = 0;
    if (options != 0) return kErrorInvalidParameter;

    std::string parent;
    if (IsRoot(root)) {
      parent = RootName(root);
    } else if (handles_.count(root)) {
      parent = handles_[root].name;
    } else {
      return kErrorInvalidHandle;
    }
    std::string_view path = subKey ? subKey : "";
    // Names are relative to the parent: a leading separator is a bad path.
    if (!path.empty() && path.front() == '\\') return kErrorBadPathname;
    std::string name = parent;
    for (const std::string& element : Elements(path)) name += '\\' + element;

    std::uint32_t granted = kKeyAllAccess;
    if (name != parent || !IsRoot(root)) {
      const auto key = keys_.find(name);
      if (key == keys_.end()) return kErrorFileNotFound;
      granted = key->second.grantedAccess;
    }
    if ((samDesired & ~granted) != 0) return kErrorAccessDenied;

    nextHandle_ += 4;
    handles_[nextHandle_] = Handle{name, samDesired};
    ++keysHandedOut_;
    *result = nextHandle_;
    return kErrorSuccess;
  }

  std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* dataSize) override {
    ++queryCalls_;
    if (beforeQuery) beforeQuery(queryCalls_);
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) return kErrorInvalidHandle;
    if ((handle->second.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
    if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;

    const auto& values = keys_[handle->second.name].values;
    const auto found = values.find(Lower(valueName ? valueName : ""));
    if (found == values.end()) return kErrorFileNotFound;
    const Value& value = found->second;
    const auto storedSize = static_cast<std::uint32_t>(value.bytes.size());

    if (type) *type = value.type;
    if (dataSize == nullptr) return kErrorSuccess;
    if (data == nullptr) {
      *dataSize = storedSize;
      return kErrorSuccess;
    }
    if (*dataSize < storedSize) {
      // The buffer's contents are undefined after ERROR_MORE_DATA.
      std::memset(data, 0xCD, *dataSize);
      *dataSize = storedSize;
      return kErrorMoreData;
    }
    std::memcpy(data, value.bytes.data(), storedSize);
    // Like Windows, a string stored without a terminator gets one when the buffer has room.
    if (IsString(value.type) && storedSize > 0 && *dataSize > storedSize &&
        data[storedSize - 1] != 0) {
      data[storedSize] = 0;
    }
    *dataSize = storedSize;
    return kErrorSuccess;
  }

  std::int32_t CloseKey(RegKey key) override {
    ++closes_;
    if (IsRoot(key)) return kErrorSuccess;
    if (handles_.erase(key) == 0) {
      ++badCloses_;
      return kErrorInvalidHandle;
    }
    return kErrorSuccess;
  }

 private:
  struct Value {
    std::uint32_t type;
    std::string bytes;
  };
  struct Key {
    std::uint32_t grantedAccess;
    std::map<std::string, Value> values;
  };
  struct Handle {
    std::string name;
    std::uint32_t access;
  };

  static bool IsRoot(std::uint64_t root) { return root >= 0x80000000u && root <= 0x80000006u; }
  static bool IsString(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
  }
  static std::string RootName(std::uint32_t root) { return std::to_string(root); }
  static std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
  }
  // The path's elements, lower-cased; empty elements (doubled or trailing separators) are skipped.
  static std::vector<std::string> Elements(std::string_view path) {
    std::vector<std::string> elements;
    std::size_t start = 0;
    while (start <= path.size()) {
      const std::size_t end = std::min(path.find('\\', start), path.size());
      if (end > start) elements.push_back(Lower(path.substr(start, end - start)));
      start = end + 1;
    }
    return elements;
  }
  std::string KeyName(std::uint32_t root, std::string_view path) const {
    std::string name = RootName(root);
    for (const std::string& element : Elements(path)) name += '\\' + element;
    return name;
  }

  std::map<std::string, Key> keys_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x100;
  int openCalls_ = 0;
  int queryCalls_ = 0;
  int keysHandedOut_ = 0;
  int closes_ = 0;
  int badCloses_ = 0;
  std::vector<std::uint32_t> accessRequests_;
};

}  // namespace kavrio::fakes
