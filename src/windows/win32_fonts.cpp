#include "windows/win32_fonts_and_pictures.h"

#include <cstddef>

#include "common/limits.h"
#include "forms/form_layout.h"
#include "win32/scoped.h"

namespace kavrio {

namespace {

struct FaceSearch {
  bool found = false;
  bool trueType = false;
};

int CALLBACK OnFontFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD fontType, LPARAM param) {
  auto* search = reinterpret_cast<FaceSearch*>(param);
  search->found = true;
  if (fontType & TRUETYPE_FONTTYPE) search->trueType = true;
  return 1;
}

// EnumFontFamiliesExA: is the face installed with the Western letters, and is it scalable?
FaceSearch FindFace(const char* face) {
  FaceSearch search;
  LOGFONTA query = {};
  query.lfCharSet = ANSI_CHARSET;
  lstrcpynA(query.lfFaceName, face, LF_FACESIZE);
  const ScopedGetDC screen(nullptr);
  EnumFontFamiliesExA(screen, &query, OnFontFamily, reinterpret_cast<LPARAM>(&search), 0);
  return search;
}

// The face of the system's message-box font (the "dialog font"). The size given is the one
// that Windows 95 to XP know, which later versions still accept.
void SystemDialogFace(char* face) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    lstrcpynA(face, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
  } else {
    LOGFONTA stock = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
    lstrcpynA(face, stock.lfFaceName, LF_FACESIZE);
  }
}

// The face to use for `wanted` at `dpi`: the wanted face, else its TrueType successor, else
// the system's dialog font. At 96 dpi the first of these that exists is drawn as designed. At
// other DPIs a bitmap face would only grow in whole steps, so the first scalable one wins.
void ChooseFaceUncached(const char* wanted, int dpi, char* face) {
  char systemFace[LF_FACESIZE] = {};
  SystemDialogFace(systemFace);
  const char* candidates[] = {wanted, "Microsoft Sans Serif", systemFace};
  const char* firstFound = nullptr;
  for (const char* candidate : candidates) {
    const FaceSearch search = FindFace(candidate);
    if (!search.found) continue;
    if (!firstFound) firstFound = candidate;
    if (dpi == 96 || search.trueType) {
      lstrcpynA(face, candidate, LF_FACESIZE);
      return;
    }
  }
  // Nothing is installed under these names: let the font mapper pick its nearest.
  lstrcpynA(face, firstFound ? firstFound : systemFace, LF_FACESIZE);
}

// Enumerating fonts is slow next to everything else at start-up, and every window asks for
// the same one or two faces at the same DPI: the answers are kept.
void ChooseFace(const char* wanted, int dpi, char* face) {
  struct Choice {
    const char* wanted;
    int dpi;
    char face[LF_FACESIZE];
  };
  static Choice choices[kMaxFontChoices];
  static std::size_t count = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (choices[i].dpi == dpi && lstrcmpA(choices[i].wanted, wanted) == 0) {
      lstrcpynA(face, choices[i].face, LF_FACESIZE);
      return;
    }
  }
  ChooseFaceUncached(wanted, dpi, face);
  if (count < kMaxFontChoices) {
    choices[count].wanted = wanted;
    choices[count].dpi = dpi;
    lstrcpynA(choices[count].face, face, LF_FACESIZE);
    ++count;
  }
}

}  // namespace

// ANSI_CHARSET: the texts are Western (Windows-1252) letters on any system. With
// DEFAULT_CHARSET the font mapper of an Asian or Eastern European Windows would pick a face
// of its own script, and Windows 95 to ME would draw the 1252 bytes as that script's letters.
HFONT CreateFormFont(const FontSpec& spec, int dpi) {
  char face[LF_FACESIZE] = {};
  ChooseFace(spec.face, dpi, face);
  return CreateFontA(-FontPixelHeight(spec, dpi), 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL,
                     FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

}  // namespace kavrio
