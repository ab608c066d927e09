// The program as a process: its checks, its messages, the single-instance
// rule and its exit code. Uses the test build for traces and figures, and
// the shipped build for the exit code of a plain run.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "win_test_util.h"

namespace {

using testutil::ScratchFolder;

class Copy {
 public:
  // Starts a copy of `exe` named `name` inside `folder` with the test
  // build's instructions in its environment.
  Copy(const ScratchFolder& folder, const std::wstring& exe, const std::wstring& name,
       const std::vector<std::pair<std::wstring, std::wstring>>& env)
      : trace_(folder / (name + L".trace")) {
    const std::wstring image = folder / name;
    CopyFileW(exe.c_str(), image.c_str(), FALSE);
    DeleteFileW(trace_.c_str());
    std::wstring block;
    block += L"VELORAN_TEST_TRACE=" + trace_ + L'\0';
    for (const auto& [k, v] : env) block += k + L"=" + v + L'\0';
    // Keep the rest of the environment (Wine needs its variables).
    wchar_t* inherited = GetEnvironmentStringsW();
    for (wchar_t* p = inherited; *p; p += wcslen(p) + 1) {
      if (wcsncmp(p, L"VELORAN_TEST_", 13) != 0) block += std::wstring(p) + L'\0';
    }
    FreeEnvironmentStringsW(inherited);
    block += L'\0';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring command = L"\"" + image + L"\"";
    started_ = CreateProcessW(image.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                              block.data(), folder.Path().c_str(), &si, &pi_);
  }
  ~Copy() {
    if (started_) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }
  bool Started() const { return started_; }

  // Waits for the end (the test's own timeout bounds a copy that hangs).
  DWORD ExitCode() {
    WaitForSingleObject(pi_.hProcess, INFINITE);
    DWORD code = 12345;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  bool Running() { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

  std::string Trace() const {
    const auto bytes = testutil::ReadWholeFile(trace_);
    return std::string(bytes.begin(), bytes.end());
  }
  void WaitForTrace(const std::string& line) const {
    while (Trace().find(line) == std::string::npos) Sleep(20);
  }

 private:
  std::wstring trace_;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

const std::wstring DevTest = testutil::FromBuildPath(VELORAN_DEVTEST_EXE);
const std::wstring Shipped = testutil::FromBuildPath(VELORAN_EXE);

struct CheckCase {
  const char* name;
  std::wstring cpu, memory;
  std::string expectedTrace;
};

TEST(Program, SystemChecksShowTheirMessageAndEndWithZero) {
  ScratchFolder folder(L"veloran-program-checks");
  const std::string cpuMessage = "message\tSystem\tSlow system #B (CPU count)\t4112\n";
  const std::string memoryMessage = "message\tSystem\tSlow system #C (memory status)\t4112\n";
  const std::string ran = "step\tsingle instance\nstep\tbound\nstep\tstartup\n";
  const CheckCase cases[] = {
      {"two processors, process on one", L"3,1", L"4089446400,2726297600", ran},
      {"one processor", L"1,1", L"8589934592,4294967296", cpuMessage},
      {"memory one byte short", L"3,3", L"4089446399,2726297600", memoryMessage},
      {"available one byte short", L"3,3", L"4089446400,2726297599", memoryMessage},
      {"both checks fail: the CPU message only", L"1,1", L"0,0", cpuMessage},
  };
  for (const auto& c : cases) {
    Copy copy(folder, DevTest, L"Veloran-devtest.exe", {{L"VELORAN_TEST_CPU", c.cpu}, {L"VELORAN_TEST_MEMORY", c.memory}});
    ASSERT_TRUE(copy.Started()) << c.name;
    EXPECT_EQ(copy.ExitCode(), 0u) << c.name;
    EXPECT_EQ(copy.Trace(), c.expectedTrace) << c.name;
  }
}

TEST(Program, ShippedBuildRunsAndEndsWithZero) {
  ScratchFolder folder(L"veloran-program-shipped");
  Copy copy(folder, Shipped, L"Veloran.exe", {});
  ASSERT_TRUE(copy.Started());
  EXPECT_EQ(copy.ExitCode(), 0u);
}

TEST(Program, ASecondCopyEndsSilentlyAndTheFirstGoesOn) {
  ScratchFolder folder(L"veloran-program-single");
  const std::wstring release = folder / L"release";
  Copy first(folder, DevTest, L"Veloran-devtest.exe", {{L"VELORAN_TEST_HOLD", release}});
  ASSERT_TRUE(first.Started());
  first.WaitForTrace("step\tholding");

  // The shipped program and other names of ours all see the first copy.
  for (const wchar_t* name : {L"Veloran.exe", L"Veloran light.exe", L"Veloran-lp-light.exe"}) {
    ScratchFolder other(L"veloran-program-second");
    Copy second(other, DevTest, name, {});
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.ExitCode(), 0u) << name;
    EXPECT_EQ(second.Trace(), "") << name;
  }
  Copy shipped(folder, Shipped, L"Veloran.exe", {});
  EXPECT_EQ(shipped.ExitCode(), 0u);

  EXPECT_TRUE(first.Running());
  testutil::WriteWholeFile(release, {});
  EXPECT_EQ(first.ExitCode(), 0u);
  EXPECT_EQ(first.Trace(), "step\tsingle instance\nstep\tbound\nstep\tstartup\nstep\tholding\n");
}

TEST(Program, AnImageNameOutsideTheListEndsSilently) {
  // One folder per name: the file system would fold the letter cases.
  for (const wchar_t* name : {L"veloran.exe", L"VELORAN.EXE", L"player.exe"}) {
    ScratchFolder folder(L"veloran-program-names");
    Copy copy(folder, DevTest, name, {});
    ASSERT_TRUE(copy.Started()) << name;
    EXPECT_EQ(copy.ExitCode(), 0u) << name;
    EXPECT_EQ(copy.Trace(), "") << name;
  }
  ScratchFolder folder(L"veloran-program-names");
  Copy ours(folder, DevTest, L"Veloran light.exe", {});
  EXPECT_EQ(ours.ExitCode(), 0u);
  EXPECT_EQ(ours.Trace(), "step\tsingle instance\nstep\tbound\nstep\tstartup\n");
}

}  // namespace

namespace {

// A library that cannot be loaded ends the program with its message, and
// later libraries are not tried.
TEST(Program, ALibraryThatCannotBeLoadedEndsWithItsMessage) {
  ScratchFolder base(L"veloran-program-bind");
  const std::wstring am20 = base / L"Ambrell\\am20\\";
  CreateDirectoryW((base / L"Ambrell").c_str(), nullptr);
  CreateDirectoryW(am20.c_str(), nullptr);
  // Folders where orvo.dll and orva.dll should be: neither can be written
  // nor loaded. Had the output library been tried, its message would show.
  ASSERT_TRUE(CreateDirectoryW((am20 + L"orvo.dll").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((am20 + L"orva.dll").c_str(), nullptr));

  ScratchFolder folder(L"veloran-program-bind-run");
  Copy copy(folder, DevTest, L"Veloran-devtest.exe", {{L"VELORAN_TEST_APPDATA", base.Path()}});
  ASSERT_TRUE(copy.Started());
  EXPECT_EQ(copy.ExitCode(), 0u);
  EXPECT_EQ(copy.Trace(), "step\tsingle instance\nmessage\tAM\tError open orvo.dll\t0\n");

  for (const wchar_t* name : {L"orvo.dll", L"orva.dll"}) RemoveDirectoryW((am20 + name).c_str());
  for (const wchar_t* name : {L"orvu.dll", L"oraa.dll"}) {
    SetFileAttributesW((am20 + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((am20 + name).c_str());
  }
  RemoveDirectoryW(am20.c_str());
  RemoveDirectoryW((base / L"Ambrell").c_str());
}

// A library that loads but lacks an export counts as not loaded: its entry
// would be empty. The FLAC plug-in's file is kept as another library by
// holding it open against writing.
TEST(Program, ALibraryWithoutItsExportEndsWithItsMessage) {
  ScratchFolder base(L"veloran-program-export");
  const std::wstring am20 = base / L"Ambrell\\am20\\";
  CreateDirectoryW((base / L"Ambrell").c_str(), nullptr);
  CreateDirectoryW(am20.c_str(), nullptr);
  const std::wstring orva = testutil::FromBuildPath(VELORAN_ORVA_DLL);
  ASSERT_TRUE(CopyFileW(orva.c_str(), (am20 + L"orvu.dll").c_str(), FALSE));
  HANDLE held = CreateFileW((am20 + L"orvu.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  ScratchFolder folder(L"veloran-program-export-run");
  {
    Copy copy(folder, DevTest, L"Veloran-devtest.exe", {{L"VELORAN_TEST_APPDATA", base.Path()}});
    ASSERT_TRUE(copy.Started());
    EXPECT_EQ(copy.ExitCode(), 0u);
    EXPECT_EQ(copy.Trace(), "step\tsingle instance\nmessage\tAM\tError open orvu.dll\t0\n");
  }
  CloseHandle(held);
  for (const wchar_t* name : {L"orvo.dll", L"orva.dll", L"orvu.dll", L"oraa.dll"}) {
    SetFileAttributesW((am20 + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((am20 + name).c_str());
  }
  RemoveDirectoryW(am20.c_str());
  RemoveDirectoryW((base / L"Ambrell").c_str());
}

}  // namespace
