#include "json_out.h"
#include "run_result.h"

namespace preflight {

namespace {

void WriteRect(JsonOut& out, const RECT& rect) {
  out.Begin('[').Number(rect.left).Number(rect.top).Number(rect.right).Number(rect.bottom).End(']');
}

void WriteTexts(JsonOut& out, const std::vector<std::wstring>& texts) {
  out.Begin('[');
  for (const std::wstring& text : texts) out.Text(text);
  out.End(']');
}

// What the cell turned out to be; null where a fact could not be read.
void WriteReadBack(JsonOut& out, const CellReadBack& seen) {
  out.Begin('{').Key("windows_told");
  if (seen.windows.read) {
    out.Begin('[').Number(seen.windows.major).Number(seen.windows.minor);
    out.Number(seen.windows.platform).End(']');
  } else {
    out.Null();
  }
  out.Key("drive_d_type").Number(seen.driveType).Key("new_window_dpi");
  seen.fresh.read ? out.Number(seen.fresh.dpi) : out.Null();
  out.Key("browser_key");
  seen.browser.read ? out.Bool(seen.browser.key) : out.Null();
  out.Key("browser_version");
  seen.browser.read && seen.browser.type == REG_SZ ? out.Text(seen.browser.version) : out.Null();
  out.End('}');
}

}  // namespace

std::string ToJson(const RunResult& result) {
  JsonOut out;
  out.Begin('{');
  out.Key("first_window_ms");
  result.firstWindowMs < 0 ? out.Null() : out.Number(result.firstWindowMs);
  out.Key("windows").Begin('[');
  for (const SeenWindow& seen : result.windows) {
    out.Begin('{').Key("window").Text(NameOf(seen.screen)).Key("title").Text(seen.title);
    out.Key("rect");
    WriteRect(out, seen.rect);
    out.Key("screen").Begin('[').Number(seen.screenSize.cx).Number(seen.screenSize.cy).End(']');
    out.Key("focus").Text(seen.focus).Key("screenshot").Text(seen.screenshot);
    out.Key("controls").Begin('[');
    for (const SeenControl& row : seen.controls) {
      out.Begin('{').Key("class").Text(row.control.className).Key("text").Text(row.control.text);
      out.Key("rect");
      WriteRect(out, row.control.rect);
      out.Key("inside").Bool(row.inside).End('}');
    }
    out.End(']').Key("problems");
    WriteTexts(out, seen.problems);
    out.End('}');
  }
  out.End(']');
  out.Key("started");
  if (result.started) {
    const launcher_driver::WatchedProcess& installer = result.installer;
    out.Begin('{').Key("program").Text(installer.program);
    out.Key("command_line");
    installer.read ? out.Text(installer.commandLine) : out.Null();
    out.Key("working_folder");
    installer.read ? out.Text(installer.workingFolder) : out.Null();
    out.Key("ended").Bool(installer.ended).Key("exit_code");
    installer.ended ? out.Number(installer.exitCode) : out.Null();
    out.Key("window_title");
    result.installerWindowSeen ? out.Text(result.installerWindowTitle) : out.Null();
    out.Key("screenshot");
    result.installerScreenshot.empty() ? out.Null() : out.Text(result.installerScreenshot);
    out.End('}');
  } else {
    out.Null();
  }
  out.Key("launcher_ended").Bool(result.launcherEnded);
  out.Key("launcher_exit_code");
  result.launcherEnded ? out.Number(result.launcherExitCode) : out.Null();
  out.Key("windows_driven").Number(static_cast<long long>(result.road.driven));
  out.Key("read_back");
  WriteReadBack(out, result.readBack);
  out.Key("other_dialogs");
  WriteTexts(out, result.otherDialogs);
  out.Key("problems");
  WriteTexts(out, result.problems);
  out.End('}');
  return out.Result();
}

}  // namespace preflight
