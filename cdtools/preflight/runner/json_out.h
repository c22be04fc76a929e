// A small JSON writer for the runner's findings: objects, arrays, numbers, booleans and
// texts, written as UTF-8 from wide texts.
#pragma once

#include <windows.h>

#include <string>

namespace preflight {

class JsonOut {
 public:
  JsonOut& Begin(char bracket) {
    Separate();
    text_ += bracket;
    first_ = true;
    return *this;
  }
  JsonOut& End(char bracket) {
    text_ += bracket;
    first_ = false;
    return *this;
  }
  JsonOut& Key(const char* name) {
    Separate();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    first_ = true;  // the value follows without a comma
    return *this;
  }
  JsonOut& Text(const std::wstring& value) {
    Separate();
    text_ += '"';
    for (char c : Utf8(value)) {
      if (c == '"' || c == '\\') {
        text_ += '\\';
        text_ += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        wsprintfA(escaped, "\\u%04x", static_cast<unsigned char>(c));
        text_ += escaped;
      } else {
        text_ += c;
      }
    }
    text_ += '"';
    return *this;
  }
  JsonOut& Number(long long value) {
    Separate();
    text_ += std::to_string(value);
    return *this;
  }
  JsonOut& Bool(bool value) {
    Separate();
    text_ += value ? "true" : "false";
    return *this;
  }
  JsonOut& Null() {
    Separate();
    text_ += "null";
    return *this;
  }
  const std::string& Result() const { return text_; }

  static std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
  }

 private:
  void Separate() {
    if (!first_) text_ += ',';
    first_ = false;
  }
  std::string text_;
  bool first_ = true;
};

}  // namespace preflight
