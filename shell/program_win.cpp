// Start-up, the system checks, the single-instance rule and the exit path.
#include <objbase.h>
#include <ole2.h>
#include <tlhelp32.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "shell/message_box.h"
#include "shell/procedure_table.h"
#include "shell/program.h"
#include "shell/runtime.h"
#include "shell/support_libraries.h"
#include "shell/system_checks.h"
#include "shell/test_build.h"

namespace shell {

namespace {

// The system's own answers; each call is its own query.
class WindowsQueries : public SystemQueries {
 public:
  bool SystemAffinityMask(uint64_t& mask) override {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
    mask = system;
    return true;
  }
  bool ProcessAffinityMask(uint64_t& mask) override {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return false;
    mask = process;
    return true;
  }
  bool TotalPhysicalMemory(uint64_t& bytes) override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return false;
    bytes = status.ullTotalPhys;
    return true;
  }
  bool AvailablePhysicalMemory(uint64_t& bytes) override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return false;
    bytes = status.ullAvailPhys;
    return true;
  }
};

void ResetProgramState() {
  ProcedureTable::Clear();
  Runtime = RuntimeState{};
}

}  // namespace

void CheckSingleInstance() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
  if (snapshot == INVALID_HANDLE_VALUE) ReleaseRuntime();
  std::vector<std::u16string> names;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    names.emplace_back(reinterpret_cast<const char16_t*>(entry.szExeFile));
  }
  CloseHandle(snapshot);
  if (CountProgramCopies(names) != 1) ReleaseRuntime();
}

void ReleaseRuntime() {
  for (HANDLE thread : Runtime.Threads) CloseHandle(thread);
  Runtime.Threads.clear();
  // Later libraries import from earlier ones: unload in reverse.
  for (auto it = Runtime.Libraries.rbegin(); it != Runtime.Libraries.rend(); ++it) FreeLibrary(*it);
  Runtime.Libraries.clear();
  if (Runtime.OleInitialized) OleUninitialize();
  for (HWND window : Runtime.Windows) DestroyWindow(window);
  Runtime.Windows.clear();
  ExitProcess(0);
}

void ProgramEntry() {
  ResetProgramState();
  Runtime.OleInitialized = SUCCEEDED(OleInitialize(nullptr));
  TestBuildInit();

  // Found by name when playback starts.
  ProcedureTable::Add(u"AsioProc()", reinterpret_cast<void*>(&engine::AsioProc));
  ProcedureTable::Add(u"AudioThread()", reinterpret_cast<void*>(&engine::AudioThread));

  WindowsQueries system;
  SystemQueries& queries = TestBuildQueries(system);
  if (!CpuCheckPasses(queries)) {
    ShowMessage(u"System", u"Slow system #B (CPU count)", kStyleIconError | kStyleSystemModal);
    ReleaseRuntime();
  }
  if (!MemoryCheckPasses(queries)) {
    ShowMessage(u"System", u"Slow system #C (memory status)", kStyleIconError | kStyleSystemModal);
    ReleaseRuntime();
  }
  CheckSingleInstance();
  TestBuildTrace(u"single instance");
  InstallSupportLibraries();
  BindSupportLibraries();
  TestBuildTrace(u"bound");
  // The playlist starts empty as a program-wide object; the engine makes
  // BufferSemaphore, its feeder priority, VolumeGain 0 and the track queue.
  engine::CreateEngineObjects();

  StartUp();
  ReleaseRuntime();
}

}  // namespace shell
