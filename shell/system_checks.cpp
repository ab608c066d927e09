#include "shell/system_checks.h"

#include <bit>

namespace shell {

namespace {
int ProcessorCount(bool queried, uint64_t mask) { return queried ? std::popcount(mask) : 1; }

int64_t MemoryFigure(bool queried, uint64_t bytes) {
  // Compared as signed: a figure past 2^63 reads negative and fails.
  return queried ? static_cast<int64_t>(bytes) : 0;
}
}  // namespace

bool CpuCheckPasses(SystemQueries& queries) {
  uint64_t mask = 0;
  const bool systemQueried = queries.SystemAffinityMask(mask);
  if (ProcessorCount(systemQueried, mask) < 2) return false;
  mask = 0;
  const bool processQueried = queries.ProcessAffinityMask(mask);
  return ProcessorCount(processQueried, mask) >= 1;
}

bool MemoryCheckPasses(SystemQueries& queries) {
  uint64_t bytes = 0;
  const bool totalQueried = queries.TotalPhysicalMemory(bytes);
  const int64_t total = MemoryFigure(totalQueried, bytes);
  bytes = 0;
  const bool availableQueried = queries.AvailablePhysicalMemory(bytes);
  const int64_t available = MemoryFigure(availableQueried, bytes);
  return !(total < kMinTotalMemory) && !(available < kMinAvailableMemory);
}

bool IsProgramImageName(std::u16string_view imageName) {
  return imageName == u"Veloran.exe" || imageName == u"Veloran light.exe" ||
         imageName == u"Veloran-lp-light.exe" || imageName.find(kTestBuildMarker) != std::u16string_view::npos;
}

int CountProgramCopies(std::span<const std::u16string> imageNames) {
  int count = 0;
  for (const auto& name : imageNames) {
    if (IsProgramImageName(name) && ++count > 1) break;
  }
  return count;
}

}  // namespace shell
