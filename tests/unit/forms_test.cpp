// The three windows as data and handlers: their tables give the designed pixel layout, the
// focus order cycles as designed, and each button does its road in the right order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../layout_oracle.h"
#include "fake_process.h"
#include "fake_registry.h"
#include "text_for_tests.h"
#include "forms/bitmap_scaling.h"
#include "forms/form_layout.h"
#include "forms/frm_aplicacao.h"
#include "forms/frm_ie.h"
#include "forms/frm_principal.h"
#include "windows/form_slots.h"

namespace kavrio {
namespace {

// ---- Twips and layout --------------------------------------------------------------------

TEST(FormLayout, TwipsBecomePixelsAtTheRealDpi) {
  struct Case {
    int twips, dpi, pixels;
  } cases[] = {
      {15, 96, 1},     {4455, 96, 297}, {-120, 96, -8}, {-240, 96, -16}, {6750, 144, 675},
      {5160, 144, 516}, {5130, 120, 428}, {7, 96, 0},   {8, 96, 1},      {-8, 96, -1},
      {1215, 192, 162},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

TEST(FormLayout, FontSizesInPixels) {
  struct Case {
    int hundredths, dpi, pixels;
  } cases[] = {{825, 96, 11}, {975, 96, 13}, {1350, 96, 18}, {825, 144, 17}, {1350, 144, 27}};
  for (const Case& c : cases) {
    EXPECT_EQ(FontPixelHeight({"MS Sans Serif", c.hundredths, false}, c.dpi), c.pixels);
  }
}

// The index of the control called `name` in the table, or the table's size.
std::size_t ControlIndex(const FormSpec& form, const char* name) {
  for (std::size_t i = 0; i < form.controlCount; ++i) {
    if (std::strcmp(form.controls[i].name, name) == 0) return i;
  }
  return form.controlCount;
}

// The control's rectangle from the window's client origin: the container offsets added up.
PixelRect InWindow(const FormSpec& form, std::size_t index, int dpi) {
  PixelRect rect = ControlPixels(form.controls[index], dpi);
  for (int parent = form.controls[index].container; parent != kNoContainer;
       parent = form.controls[parent].container) {
    const PixelRect offset = ControlPixels(form.controls[parent], dpi);
    rect.left += offset.left;
    rect.top += offset.top;
  }
  return rect;
}

template <std::size_t N>
void ExpectWindowPixels(const FormSpec& form, const layout_oracle::DesignedRect (&rows)[N],
                        int dpi) {
  const double scale = dpi / 96.0;
  for (const layout_oracle::DesignedRect& row : rows) {
    SCOPED_TRACE(row.name);
    const std::size_t index = ControlIndex(form, row.name);
    ASSERT_LT(index, form.controlCount);
    const PixelRect rect = InWindow(form, index, dpi);
    EXPECT_NEAR(rect.left, row.x * scale, 1);
    EXPECT_NEAR(rect.top, row.y * scale, 1);
    EXPECT_NEAR(rect.width, row.width * scale, 1);
    EXPECT_NEAR(rect.height, row.height * scale, 1);
  }
}

TEST(FormLayout, TablesGiveTheDesignedPixelsAt96And144Dpi) {
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    ExpectWindowPixels(kFrmPrincipal, layout_oracle::kMenu, dpi);
    ExpectWindowPixels(kFrmIE, layout_oracle::kPrompt, dpi);
    ExpectWindowPixels(kFrmAplicacao, layout_oracle::kBusiness, dpi);
  }
  EXPECT_EQ(TwipsToPixels(kFrmPrincipal.clientHeight, 96), 344);
  EXPECT_EQ(TwipsToPixels(kFrmIE.clientHeight, 96), 342);
  EXPECT_EQ(TwipsToPixels(kFrmAplicacao.clientWidth, 96), 450);
}

// The engine creates a container before what it holds, and only frames hold controls.
TEST(FormLayout, ContainersAreFramesListedBeforeTheirControls) {
  for (const FormSpec* form : {&kFrmPrincipal, &kFrmIE, &kFrmAplicacao}) {
    SCOPED_TRACE(form->name);
    for (std::size_t i = 0; i < form->controlCount; ++i) {
      const int container = form->controls[i].container;
      if (container == kNoContainer) continue;
      EXPECT_LT(container, static_cast<int>(i)) << form->controls[i].name;
      EXPECT_EQ(form->controls[container].kind, ControlKind::Frame) << form->controls[i].name;
    }
  }
}

// Overlaps: the front control is listed first among its siblings.
TEST(FormLayout, FrontControlWinsWhereControlsOverlap) {
  const auto front = [](const FormSpec& form, const char* name) {
    const int index = SiblingInFront(form, ControlIndex(form, name));
    return index < 0 ? std::string("none") : std::string(form.controls[index].name);
  };
  EXPECT_EQ(front(kFrmIE, "cmdNão"), "cmdSim");
  EXPECT_EQ(front(kFrmAplicacao, "lblTecnico1"), "lblTecnico2");
  EXPECT_EQ(front(kFrmPrincipal, "cmdSair"), "Frame2");  // Label2 is inside Frame2
  EXPECT_EQ(front(kFrmPrincipal, "Frame2"), "none");
}

std::vector<std::string> FocusCycle(const FormSpec& form, bool backwards, int steps) {
  std::vector<std::string> names;
  int index = -1;
  for (int i = 0; i < steps; ++i) {
    index = NextInFocusOrder(form, index, backwards);
    names.push_back(index < 0 ? "none" : form.controls[index].name);
  }
  return names;
}

TEST(FormLayout, FocusStartsOnTheFirstButtonAndTabWrapsRound) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(FocusCycle(kFrmPrincipal, false, 4), (Names{"cmdHome", "cmdBusiness", "cmdSair", "cmdHome"}));
  EXPECT_EQ(FocusCycle(kFrmPrincipal, true, 3), (Names{"cmdSair", "cmdBusiness", "cmdHome"}));
  EXPECT_EQ(FocusCycle(kFrmIE, false, 3), (Names{"cmdSim", "cmdNão", "cmdSim"}));
  EXPECT_EQ(FocusCycle(kFrmAplicacao, false, 3), (Names{"cmdAvancar", "cmdSair", "cmdAvancar"}));
  for (const FormSpec* form : {&kFrmPrincipal, &kFrmIE, &kFrmAplicacao}) {
    for (std::size_t i = 0; i < form->controlCount; ++i) {
      const ControlSpec& control = form->controls[i];
      EXPECT_EQ(control.focusOrder != kNoFocus, control.kind == ControlKind::PushButton)
          << control.name << ": only buttons take the focus";
    }
  }
}

// ---- Handlers ----------------------------------------------------------------------------

// Records every window operation, in order, by window name.
class RecordingWindows final : public WindowSystem {
 public:
  std::vector<std::string> log;
  std::string warningText;
  const fakes::FakeProcess* process = nullptr;
  std::size_t startsBeforeWarning = 0;
  // Performed while a modal form is shown (what the user does there).
  void (*whileModal)(Form&) = nullptr;

  void Show(Form& form) override { log.push_back(std::string("show ") + form.Spec().name); }
  void ShowModal(Form& form) override {
    log.push_back(std::string("modal ") + form.Spec().name);
    if (whileModal) whileModal(form);
  }
  void Hide(Form& form) override { log.push_back(std::string("hide ") + form.Spec().name); }
  void Unload(Form& form) override { log.push_back(std::string("unload ") + form.Spec().name); }
  void ShowInformation(Form& owner, const char* text, const char* title) override {
    warningText = text;
    startsBeforeWarning = process ? process->creates.size() : 0;
    log.push_back(std::string("information ") + owner.Spec().name + " " + title);
  }
  void EndProgram() override { log.push_back("end"); }
};

class Windows : public ::testing::Test {
 protected:
  std::size_t Index(const Form& form, const char* name) { return ControlIndex(form.Spec(), name); }
  // The programs started, by command line.
  std::vector<std::string> Started() {
    std::vector<std::string> started;
    for (const auto& call : process.creates) started.push_back(Utf8(call.commandLine));
    return started;
  }

  RecordingWindows windows;
  fakes::FakeProcess process;
  LaunchContext launch{process, u"D:\\"};
  FrmIE prompt{windows, launch};
  FrmAplicacao business{windows, launch};
  FrmPrincipal menu{windows, launch, prompt, business};
};

using Log = std::vector<std::string>;

TEST_F(Windows, EachButtonRunsItsRoadInOrder) {
  struct Case {
    Form* form;
    const char* button;
    Log log;
    std::vector<std::string> started;
  } cases[] = {
      {&menu, "cmdHome", {"hide frmprincipal", "end"}, {"\"D:\\Setup.exe\""}},
      {&menu, "cmdBusiness", {"hide frmprincipal", "show frmAplicacao", "unload frmprincipal"}, {}},
      {&menu, "cmdSair", {"end"}, {}},
      {&prompt, "cmdSim", {"information frmIE Kavrio", "hide frmIE", "unload frmIE", "end"},
       {"\"D:\\Internet Explorer 5.5\\ie5setup.exe\""}},
      {&prompt, "cmdNão", {"end"}, {}},
      {&business, "cmdAvancar", {"hide frmAplicacao", "end"},
       {"\"D:\\Agente Plimox\\Instalador Assistente Kavrio.exe\""}},
      {&business, "cmdSair", {"end"}, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.button);
    windows.log.clear();
    process.creates.clear();
    c.form->OnPress(Index(*c.form, c.button));
    EXPECT_EQ(windows.log, c.log);
    EXPECT_EQ(Started(), c.started);
    EXPECT_EQ(process.OpenHandles(), 0u);
  }
}

TEST_F(Windows, PressesOfLabelsOrFramesDoNothing) {
  for (const char* name : {"Label2", "Frame1", "Image1"}) {
    menu.OnPress(Index(menu, name));
    prompt.OnPress(Index(prompt, name));
  }
  EXPECT_TRUE(windows.log.empty());
  EXPECT_TRUE(process.creates.empty());
}

TEST_F(Windows, SimStartsTheBrowserSetupOnlyAfterTheRestartWarning) {
  windows.process = &process;
  prompt.OnPress(Index(prompt, "cmdSim"));
  EXPECT_EQ(windows.startsBeforeWarning, 0u);
  EXPECT_EQ(process.creates.size(), 1u);
  EXPECT_EQ(windows.warningText,
            "Após o término da instalação do Internet Explorer, seu computador será reinicializado."
            "\rPor favor após o reinício do sistema, retire o CD de instalação e insira-o novamente.");
}

TEST_F(Windows, LaunchFolderBelowTheRootIsUsedAsItIs) {
  const LaunchContext inFolder{process, u"D:\\CD Kavrio"};
  FrmPrincipal menuInFolder{windows, inFolder, prompt, business};
  menuInFolder.OnPress(Index(menuInFolder, "cmdHome"));
  EXPECT_EQ(Started(), (std::vector<std::string>{"\"D:\\CD Kavrio\\Setup.exe\""}));
}

// The launch folder could not be known: every road ends as with a missing installer.
TEST_F(Windows, UnknownLaunchFolderStartsNothingAndEndsAsUsual) {
  const LaunchContext unknown{process, u""};
  FrmIE promptWithout{windows, unknown};
  FrmAplicacao businessWithout{windows, unknown};
  FrmPrincipal menuWithout{windows, unknown, promptWithout, businessWithout};
  menuWithout.OnPress(Index(menuWithout, "cmdHome"));
  promptWithout.OnPress(Index(promptWithout, "cmdSim"));
  businessWithout.OnPress(Index(businessWithout, "cmdAvancar"));
  EXPECT_TRUE(process.creates.empty());
  EXPECT_EQ(windows.log, (Log{"hide frmprincipal", "end", "information frmIE Kavrio", "hide frmIE",
                              "unload frmIE", "end", "hide frmAplicacao", "end"}));
}

TEST_F(Windows, LoadStepShowsThePromptInPlaceOfTheMenuOrLetsTheMenuThrough) {
  const Log kPrompted = {"unload frmprincipal", "modal frmIE"};
  struct Case {
    const char* version;  // nullptr: no key at all
    BrowserRoad road;
    Log log;
  } cases[] = {
      {"6.0.2800.1106", BrowserRoad::Menu, {}},
      {"5.50.4134.0100", BrowserRoad::Menu, {}},
      {"5.00.2920.0000", BrowserRoad::Prompt, kPrompted},
      {"4.0", BrowserRoad::Prompt, kPrompted},
      {nullptr, BrowserRoad::Prompt, kPrompted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version ? c.version : "no key");
    fakes::FakeRegistry registry;
    if (c.version) {
      registry.SetValue(kHkeyLocalMachine, "Software\\Microsoft\\Internet Explorer", "Version",
                        kRegSz, std::string(c.version) + '\0');
    }
    windows.log.clear();
    const OrRaised<BrowserRoad> road = menu.Load(registry);
    EXPECT_FALSE(road.raised.has_value());
    EXPECT_EQ(road.value, c.road);
    EXPECT_EQ(windows.log, c.log);
    EXPECT_EQ(registry.OpenHandles(), 0);
  }
}

TEST_F(Windows, LoadStepHandsOnARaisedRegistryError) {
  fakes::FakeRegistry registry;
  registry.SetValue(kHkeyLocalMachine, "Software\\Microsoft\\Internet Explorer", "Version",
                    kRegBinary, std::string("\x00\x01\x00\x00", 4));
  const OrRaised<BrowserRoad> road = menu.Load(registry);
  ASSERT_TRUE(road.raised.has_value());
  EXPECT_EQ(road.raised->number, 11002);
  EXPECT_STREQ(road.raised->description, "GetValue");
  EXPECT_TRUE(windows.log.empty()) << "no window is shown for the error";
}

// A window whose creation fails after WM_NCCREATE is released by its WM_NCDESTROY and then
// by the call that made it: the engine must count it once.
TEST_F(Windows, TheEnginesSlotsCountAFormReleasedTwiceOnce) {
  struct Slot {
    Form* form = nullptr;
  };
  FormSlots<Slot, 2> slots;
  Slot* first = slots.Reserve(menu);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(slots.Reserve(menu), first);
  ASSERT_NE(slots.Reserve(prompt), nullptr);
  EXPECT_EQ(slots.Reserve(business), nullptr) << "every slot is taken";
  EXPECT_TRUE(slots.Release(*first));
  EXPECT_FALSE(slots.Release(*first));
  EXPECT_EQ(slots.Held(), 1);
  EXPECT_EQ(slots.Find(&menu), nullptr);
  EXPECT_EQ(slots.Reserve(business), first);
}

// ---- Picture scaling ---------------------------------------------------------------------

std::vector<std::uint8_t> Resample(const std::vector<std::uint8_t>& source, int sw, int sh, int tw,
                                   int th) {
  std::vector<std::uint8_t> target(static_cast<std::size_t>(tw * th * 3), 0);
  ResampleRgb(source.data(), sw, sh, sw * 3, target.data(), tw, th, tw * 3);
  return target;
}

TEST(BitmapScaling, KeepsSameSizeAndAveragesWhenShrinkingAndBlendsEdgesWhenGrowing) {
  const std::vector<std::uint8_t> two = {0, 0, 0, 200, 100, 50};  // black | colour, 2 x 1
  EXPECT_EQ(Resample(two, 2, 1, 2, 1), two);
  EXPECT_EQ(Resample(two, 2, 1, 1, 1), (std::vector<std::uint8_t>{100, 50, 25}));
  // 2 -> 3 pixels: the outer ones keep their colour, the middle one is half of each.
  EXPECT_EQ(Resample(two, 2, 1, 3, 1),
            (std::vector<std::uint8_t>{0, 0, 0, 100, 50, 25, 200, 100, 50}));
  // A flat picture stays flat at any size.
  const std::vector<std::uint8_t> flat(4 * 4 * 3, 77);
  for (const std::uint8_t value : Resample(flat, 4, 4, 6, 7)) EXPECT_EQ(value, 77);
}

}  // namespace
}  // namespace kavrio
