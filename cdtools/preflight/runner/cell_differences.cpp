// How a read-back cell differs from its label, one line a difference.
#include <cstdio>

#include "cell_read_back.h"
#include "window_check.h"

namespace preflight {

namespace {

std::wstring Version(DWORD major, DWORD minor, DWORD platform) {
  wchar_t text[48];
  std::swprintf(text, 48, L"%lu.%lu, platform %lu", major, minor, platform);
  return text;
}

std::wstring Colour(COLORREF colour) {
  wchar_t text[16];
  std::swprintf(text, 16, L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

void CompareWindows(const WindowsMode& mode, const ToldWindows& told,
                    std::vector<std::wstring>& out) {
  if (!told.read) {
    out.push_back(L"windows: what the launcher's process is told could not be read: " +
                  told.unread);
  } else if (told.major != mode.major || told.minor != mode.minor ||
             told.platform != mode.platform) {
    out.push_back(L"windows: the launcher's process is told " +
                  Version(told.major, told.minor, told.platform) + L", not " + mode.mode +
                  L"'s " + Version(mode.major, mode.minor, mode.platform));
  }
}

// The colour that the probe saw for an element; nullptr where it named none.
const COLORREF* SeenColour(const FreshProgram& fresh, int element) {
  for (const auto& [seenElement, seenColour] : fresh.colours) {
    if (seenElement == element) return &seenColour;
  }
  return nullptr;
}

std::wstring ColoursDiffer(const FreshProgram& fresh,
                           const std::vector<std::pair<int, COLORREF>>& promised) {
  std::size_t differing = 0;
  std::wstring first;
  for (const auto& [element, colour] : promised) {
    const COLORREF* seen = SeenColour(fresh, element);
    if (seen && *seen == colour) continue;
    if (differing++ > 0) continue;  // the first one is named
    first = L"system colour " + std::to_wstring(element) + L" is not " + Colour(colour) +
            (seen ? L" but " + Colour(*seen) : L"");
  }
  if (differing == 0) return L"";
  return L"colours: a program started now sees " + std::to_wstring(differing) + L" of " +
         std::to_wstring(promised.size()) + L" colours otherwise (" + first + L")";
}

void CompareFresh(DWORD dpi, const FreshProgram& fresh,
                  const std::vector<std::pair<int, COLORREF>>& promised,
                  std::vector<std::wstring>& out) {
  if (!fresh.read) {
    out.push_back(L"dpi and colours: what a program started now sees could not be read: " +
                  fresh.unread);
    return;
  }
  if (fresh.dpi != dpi) {
    out.push_back(L"dpi: a new window sees " + std::to_wstring(fresh.dpi) + L" dpi, not " +
                  std::to_wstring(dpi));
  }
  const std::wstring colours = ColoursDiffer(fresh, promised);
  if (!colours.empty()) out.push_back(colours);
}

void CompareBrowser(const Cell& cell, const BrowserSeen& seen, std::vector<std::wstring>& out) {
  const std::wstring where = L"browser: the launcher's registry view ";
  if (!seen.read) {
    out.push_back(where + L"could not be read: " + seen.unread);
  } else if (cell.browserKey && !seen.key) {
    out.push_back(where + L"holds no Internet Explorer key, not Version " + Quoted(cell.browser));
  } else if (!cell.browserKey && seen.key) {
    out.push_back(where + L"holds an Internet Explorer key, where the cell has none");
  } else if (cell.browserKey && seen.type != REG_SZ) {
    out.push_back(where + L"holds a Version of type " + std::to_wstring(seen.type) +
                  L", not the text " + Quoted(cell.browser));
  } else if (cell.browserKey && seen.version != cell.browser) {
    out.push_back(where + L"reads Version " + Quoted(seen.version) + L", not " +
                  Quoted(cell.browser));
  }
}

}  // namespace

std::vector<std::wstring> CellDifferences(const Cell& cell, const CellReadBack& seen,
                                          const std::vector<std::pair<int, COLORREF>>& colours) {
  std::vector<std::wstring> out;
  CompareWindows(*cell.windows, seen.windows, out);
  if (seen.driveType != DRIVE_CDROM) {
    out.push_back(L"drive D: is not a CD-ROM drive (GetDriveType answers " +
                  std::to_wstring(seen.driveType) + L")");
  }
  CompareFresh(cell.dpi, seen.fresh, colours, out);
  CompareBrowser(cell, seen.browser, out);
  return out;
}

}  // namespace preflight
