// headless-play [--stop-after MS] DEVICE-NAME FILE...: plays files through the player's own
// paths without its window. Each file (CUE sheets included) is examined into
// the playlist as adding files does; playback starts on the named ASIO device
// at the first entry, with a hidden main window whose timers 117 and 119 run
// AdvanceTrack and CheckEndOfPlayback as in the player. One line per track
// the output reaches (EntryId, tab, Title, UTF-8) goes to standard output;
// the player's messages go to standard error instead of boxes.
//
// With --stop-after, the tool stops playback as the stop button does (with
// its fade) MS milliseconds after the start, and exits 0 then.
//
// Exit codes: 0 when playback ended by itself through CheckEndOfPlayback
// (and, as everywhere in the player, after a library could not be bound);
// 1 when nothing could be added or playback did not start; 2 for a
// wrong command line or an unknown device; 3 when playback stopped otherwise
// (an underrun).
//
// The support libraries are installed and bound as the player does it: the
// copies carried inside the executable are written into the per-user folder
// and bound from there by export name. A library that cannot be bound ends
// the tool through the player's exit path, after its message.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/transport_view.h"
#include "playlist/model.h"
#include "playlist/sources.h"
#include "shell/message_box.h"
#include "shell/procedure_table.h"
#include "shell/support_libraries.h"
#include "shell/text.h"
#include "support/bound_entries.h"

namespace {

constexpr UINT kAddEndTimer = WM_APP + 119;
// The tool's own timer: looks for the sounding track more often than timer
// 117, so that short tracks get their line too.
constexpr UINT_PTR kPrintTimer = 1;
constexpr UINT_PTR kStopTimer = 2;
HWND MainWindow = nullptr;
int32_t DeviceIndex = -1;
int32_t PrintedEntryId = 0;

void WriteLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

int ToStandardError(std::u16string_view title, std::u16string_view text, uint32_t) {
  std::fprintf(stderr, "%s: %s\n", shell::Utf8FromUtf16(title).c_str(), shell::Utf8FromUtf16(text).c_str());
  std::fflush(stderr);
  return 1;
}

// The main window's side of the engine: its timers and its existence.
class HiddenWindowView : public engine::TransportView {
 public:
  void AddTimer(int32_t id, uint32_t periodMs) override { SetTimer(MainWindow, UINT_PTR(id), periodMs, nullptr); }
  void RemoveTimer(int32_t id) override { KillTimer(MainWindow, UINT_PTR(id)); }
  void RequestEndTimer() override { PostMessageW(MainWindow, kAddEndTimer, 0, 0); }
  bool MainWindowExists() override { return MainWindow != nullptr && IsWindow(MainWindow); }
  void* MainWindowHandle() override { return MainWindow; }
  int32_t DeviceIndex() override { return ::DeviceIndex; }
  int32_t OutputChannel() override { return 0; }
};
HiddenWindowView View;

void PrintSoundingTrack() {
  const engine::TrackInfo now = engine::ReadNowPlaying();
  if (now.EntryId == 0 || now.EntryId == PrintedEntryId) return;
  PrintedEntryId = now.EntryId;
  WriteLine(std::to_string(now.EntryId) + "\t" + shell::Utf8FromUtf16(now.Title) + "\n");
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == kAddEndTimer) {
    SetTimer(window, 119, 200, nullptr);
    return 0;
  }
  if (message == WM_TIMER) {
    if (w == kPrintTimer) {
      PrintSoundingTrack();
    } else if (w == kStopTimer) {
      KillTimer(window, kStopTimer);
      engine::StopPlayback();
      PostQuitMessage(0);
    } else if (w == 117 && engine::Decoder.PlayState.load() != 0) {
      PrintSoundingTrack();
      engine::AdvanceTrack();
      if (engine::Decoder.PlayState.load() == 0) PostQuitMessage(3);
    } else if (w == 119) {
      PrintSoundingTrack();
      engine::CheckEndOfPlayback();
      if (engine::Decoder.PlayState.load() == 0) PostQuitMessage(0);
    }
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

int32_t FindDevice(const std::u16string& name) {
  support::OrvaDeviceInfo info{};
  for (uint32_t i = 0; support::Orva.GetDeviceInfo(i, &info) != 0; ++i) {
    if (info.name != nullptr && std::u16string(static_cast<const char16_t*>(info.name)) == name) return int32_t(i);
  }
  return -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  long stopAfter = 0;
  if (argc >= 3 && std::wstring(argv[1]) == L"--stop-after") {
    stopAfter = wcstol(argv[2], nullptr, 10);
    argc -= 2;
    argv += 2;
    if (stopAfter <= 0) argc = 0;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: headless-play [--stop-after MS] DEVICE-NAME FILE...\n");
    return 2;
  }
  shell::SetMessageSink(ToStandardError);
  shell::InstallSupportLibraries();
  shell::BindSupportLibraries();
  support::Orva.SetUnicode(1);
  const std::u16string deviceName(reinterpret_cast<const char16_t*>(argv[1]));
  DeviceIndex = FindDevice(deviceName);
  if (DeviceIndex < 0) {
    std::fprintf(stderr, "headless-play: no ASIO device named %s\n", shell::Utf8FromUtf16(deviceName).c_str());
    return 2;
  }

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VeloranHeadlessPlay";
  RegisterClassW(&windowClass);
  MainWindow = CreateWindowExW(0, windowClass.lpszClassName, L"Veloran", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
  if (MainWindow == nullptr) {
    std::fprintf(stderr, "headless-play: cannot create the main window\n");
    return 1;
  }
  engine::SetTransportView(&View);

  // What the player's start-up does for the engine.
  shell::ProcedureTable::Add(u"AsioProc()", reinterpret_cast<void*>(&engine::AsioProc));
  shell::ProcedureTable::Add(u"AudioThread()", reinterpret_cast<void*>(&engine::AudioThread));
  engine::CreateEngineObjects();
  support::Orvo.SetConfig(42, 1);
  support::Orvo.Init(0, 44100, 4096, MainWindow, nullptr);
  support::Orvo.SetConfig(1, 0);
  if (support::Orvo.SetDevice) support::Orvo.SetDevice(0);
  engine::AllocateEngineBuffers();
  engine::SetVolume(190);

  for (int i = 2; i < argc; ++i) playlist::AddAudioFile(reinterpret_cast<const char16_t*>(argv[i]));
  if (playlist::PlaylistCount() == 0) {
    std::fprintf(stderr, "headless-play: nothing could be added to the playlist\n");
    return 1;
  }
  playlist::State.CurrentIndex = 0;
  engine::StartPlayback();
  if (engine::Decoder.PlayState.load() == 0) {
    std::fprintf(stderr, "headless-play: playback did not start\n");
    return 1;
  }
  PrintSoundingTrack();
  SetTimer(MainWindow, kPrintTimer, 10, nullptr);
  if (stopAfter > 0) SetTimer(MainWindow, kStopTimer, UINT(stopAfter), nullptr);

  MSG message;
  int result = 3;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  if (message.message == WM_QUIT) result = int(message.wParam);
  // Whatever still runs (an underrun's stop already tore the engine down).
  if (engine::Decoder.PlayState.load() != 0) engine::StopEngine();
  support::Orva.Free();
  support::Orvo.Free();
  return result;
}
