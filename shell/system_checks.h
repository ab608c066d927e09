// The start-up checks, as functions of what the system's queries report, so
// that the limits can be tested with any figures.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace shell {

// Each call is one query of the system; a query that fails returns false.
struct SystemQueries {
  virtual ~SystemQueries() = default;
  virtual bool SystemAffinityMask(uint64_t& mask) = 0;
  virtual bool ProcessAffinityMask(uint64_t& mask) = 0;
  virtual bool TotalPhysicalMemory(uint64_t& bytes) = 0;
  virtual bool AvailablePhysicalMemory(uint64_t& bytes) = 0;
};

constexpr int64_t kMinTotalMemory = 4089446400;      // 3900 MiB
constexpr int64_t kMinAvailableMemory = 2726297600;  // 2600 MiB

// Whole-track decoding needs a second processor for the decoder.
bool CpuCheckPasses(SystemQueries& queries);
// Two engine buffers of a whole chunk each, and the decode buffer, must fit.
bool MemoryCheckPasses(SystemQueries& queries);

// Our own test builds carry this in their image name, so that they count as
// the program for the single-instance rule.
inline constexpr std::u16string_view kTestBuildMarker = u"-devtest";

// Whether a process image name (name and extension, no folder) counts as a
// copy of the program. Compared case-sensitively.
bool IsProgramImageName(std::u16string_view imageName);

// Walks the image names in snapshot order and counts the program's copies,
// stopping as soon as the count exceeds 1.
int CountProgramCopies(std::span<const std::u16string> imageNames);

}  // namespace shell
