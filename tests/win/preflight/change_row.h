// A row of a table test: the case's name, how it changes a subject that starts out right, and
// what the check must then name, in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

template <class Subject>
struct ChangeRow {
  const char* name;
  std::function<void(Subject&)> change;
  std::vector<std::wstring> problems;
};
