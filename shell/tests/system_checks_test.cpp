#include "shell/system_checks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace shell {
namespace {

// Figures a test feeds the checks; an empty figure is a failed query. Counts
// the queries so the order rules can be seen.
struct FakeQueries : SystemQueries {
  std::optional<uint64_t> system, process, total, available;
  std::vector<std::string> asked;
  bool Give(const char* name, const std::optional<uint64_t>& figure, uint64_t& out) {
    asked.push_back(name);
    if (!figure) return false;
    out = *figure;
    return true;
  }
  bool SystemAffinityMask(uint64_t& m) override { return Give("system", system, m); }
  bool ProcessAffinityMask(uint64_t& m) override { return Give("process", process, m); }
  bool TotalPhysicalMemory(uint64_t& b) override { return Give("total", total, b); }
  bool AvailablePhysicalMemory(uint64_t& b) override { return Give("available", available, b); }
};

struct CpuCase {
  const char* name;
  std::optional<uint64_t> system, process;
  bool passes;
  std::vector<std::string> asked;
};

TEST(SystemChecks, CpuCheckCountsAffinityBits) {
  const CpuCase cases[] = {
      {"two processors, process on one", 0b11, 0b01, true, {"system", "process"}},
      {"one processor", 0b1, 0b1, false, {"system"}},
      {"many processors in a sparse mask", 0xF000'0000'0000'0001, 0b1, true, {"system", "process"}},
      {"process mask empty", 0b11, 0, false, {"system", "process"}},
      {"system query fails: counts as one", std::nullopt, 0b11, false, {"system"}},
      {"process query fails: counts as one", 0b11, std::nullopt, true, {"system", "process"}},
  };
  for (const auto& c : cases) {
    FakeQueries q;
    q.system = c.system;
    q.process = c.process;
    EXPECT_EQ(CpuCheckPasses(q), c.passes) << c.name;
    EXPECT_EQ(q.asked, c.asked) << c.name;
  }
}

struct MemoryCase {
  const char* name;
  std::optional<uint64_t> total, available;
  bool passes;
};

TEST(SystemChecks, MemoryCheckLimitsAreInclusive) {
  const MemoryCase cases[] = {
      {"both exactly at the limit", 4089446400, 2726297600, true},
      {"total one byte short", 4089446399, 2726297600, false},
      {"available one byte short", 4089446400, 2726297599, false},
      {"plenty", 64ull << 30, 32ull << 30, true},
      {"total query fails", std::nullopt, 32ull << 30, false},
      {"available query fails", 64ull << 30, std::nullopt, false},
      {"total past 2^63 reads negative", 0x8000'0000'0000'0000, 32ull << 30, false},
  };
  for (const auto& c : cases) {
    FakeQueries q;
    q.total = c.total;
    q.available = c.available;
    EXPECT_EQ(MemoryCheckPasses(q), c.passes) << c.name;
    EXPECT_EQ(q.asked, (std::vector<std::string>{"total", "available"})) << c.name;
  }
}

TEST(SystemChecks, ProgramImageNamesAreCaseSensitive) {
  for (const char16_t* name : {u"Veloran.exe", u"Veloran light.exe", u"Veloran-lp-light.exe", u"Veloran-devtest.exe"}) {
    EXPECT_TRUE(IsProgramImageName(name));
  }
  for (const char16_t* name : {u"veloran.exe", u"VELORAN.EXE", u"Veloran Light.exe", u"Veloran.exe.bak", u"Veloran",
                               u"explorer.exe", u"", u"Veloran-DEVTEST.exe"}) {
    EXPECT_FALSE(IsProgramImageName(name));
  }
}

TEST(SystemChecks, CountStopsOnceASecondCopyIsSeen) {
  const std::vector<std::u16string> one = {u"System", u"explorer.exe", u"Veloran.exe", u"veloran.exe"};
  EXPECT_EQ(CountProgramCopies(one), 1);
  const std::vector<std::u16string> two = {u"Veloran light.exe", u"Veloran.exe", u"Veloran.exe", u"Veloran.exe"};
  EXPECT_EQ(CountProgramCopies(two), 2);
  const std::vector<std::u16string> none = {u"veloran.exe", u"wineserver"};
  EXPECT_EQ(CountProgramCopies(none), 0);
  EXPECT_EQ(CountProgramCopies({}), 0);
}

}  // namespace
}  // namespace shell
