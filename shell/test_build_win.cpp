// The test build's seams: a trace file, figures for the system checks, and a
// hold that keeps the process alive while a test starts other copies.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/message_box.h"
#include "shell/test_build.h"
#include "shell/text.h"
#include "shell/wait.h"

namespace shell {

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  return n > 0 && n < 4096 ? std::wstring(buffer, n) : std::wstring();
}

void AppendTrace(const std::string& line) {
  const std::wstring path = Env(L"VELORAN_TEST_TRACE");
  if (path.empty()) return;
  if (FILE* f = _wfopen(path.c_str(), L"ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

int TraceMessage(std::u16string_view title, std::u16string_view text, uint32_t style) {
  AppendTrace("message\t" + Utf8FromUtf16(title) + "\t" + Utf8FromUtf16(text) + "\t" + std::to_string(style));
  return IDOK;
}

class FigureQueries : public SystemQueries {
 public:
  FigureQueries(SystemQueries& system, const std::wstring& cpu, const std::wstring& memory) : system_(system) {
    haveCpu_ = std::swscanf(cpu.c_str(), L"%llx,%llx", &systemMask_, &processMask_) == 2;
    haveMemory_ = std::swscanf(memory.c_str(), L"%llu,%llu", &total_, &available_) == 2;
  }
  bool SystemAffinityMask(uint64_t& m) override { return haveCpu_ ? (m = systemMask_, true) : system_.SystemAffinityMask(m); }
  bool ProcessAffinityMask(uint64_t& m) override { return haveCpu_ ? (m = processMask_, true) : system_.ProcessAffinityMask(m); }
  bool TotalPhysicalMemory(uint64_t& b) override { return haveMemory_ ? (b = total_, true) : system_.TotalPhysicalMemory(b); }
  bool AvailablePhysicalMemory(uint64_t& b) override {
    return haveMemory_ ? (b = available_, true) : system_.AvailablePhysicalMemory(b);
  }

 private:
  SystemQueries& system_;
  bool haveCpu_ = false, haveMemory_ = false;
  unsigned long long systemMask_ = 0, processMask_ = 0, total_ = 0, available_ = 0;
};

}  // namespace

void TestBuildInit() { SetMessageSink(TraceMessage); }

SystemQueries& TestBuildQueries(SystemQueries& system) {
  static FigureQueries figures(system, Env(L"VELORAN_TEST_CPU"), Env(L"VELORAN_TEST_MEMORY"));
  return figures;
}

void TestBuildTrace(std::u16string_view step) { AppendTrace("step\t" + Utf8FromUtf16(step)); }

std::u16string TestBuildUserDataBase(const std::u16string& system) {
  const std::wstring base = Env(L"VELORAN_TEST_APPDATA");
  return base.empty() ? system : std::u16string(base.begin(), base.end());
}

void TestBuildHold() {
  const std::wstring path = Env(L"VELORAN_TEST_HOLD");
  if (path.empty()) return;
  TestBuildTrace(u"holding");
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) Wait(20);
}

}  // namespace shell
