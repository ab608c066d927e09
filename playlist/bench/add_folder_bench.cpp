// Time to add a folder of 96 FLAC files through AddFolder, with the real
// engine and no dialogs, printed per file beside a reference reader of the
// same files. Usage: add_folder_bench [FOLDER]; without a folder, 96 ten-second
// FLAC files are generated with sox into a temporary folder (native only).
// The first pass warms the cache and is not counted.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_binding.h"
#include "playlist/model.h"
#include "playlist/sources.h"
#include "shell/message_box.h"
#include "shell/text.h"
#include "support/bound_entries.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int Quiet(std::u16string_view title, std::u16string_view text, uint32_t) {
  std::fprintf(stderr, "message %s: %s\n", shell::Utf8FromUtf16(title).c_str(), shell::Utf8FromUtf16(text).c_str());
  return 1;
}

std::u16string FolderText(const fs::path& folder) {
#ifdef _WIN32
  const std::wstring wide = folder.wstring();
  return std::u16string(wide.begin(), wide.end()) + u'\\';
#else
  return shell::Utf16FromUtf8(folder.string()) + u'/';
#endif
}

bool Generate(const fs::path& folder) {
  fs::create_directories(folder);
  const fs::path first = folder / "track00.flac";
  const std::string make = "sox -n -r 44100 -c 2 -b 16 '" + first.string() + "' synth 10 sine 440 2>/dev/null";
  if (std::system(make.c_str()) != 0) return false;
  for (int i = 1; i < 96; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%02d.flac", i);
    std::error_code ec;
    fs::copy_file(first, folder / name, fs::copy_options::overwrite_existing, ec);
    if (ec) return false;
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  shell::SetMessageSink(Quiet);
  fs::path folder;
  bool generated = false;
  if (argc > 1) {
    folder = fs::u8path(argv[1]);
  } else {
    folder = fs::temp_directory_path() / "veloran-add-folder-bench";
    if (!Generate(folder)) {
      std::fprintf(stderr, "cannot generate FLAC files with sox\n");
      return 1;
    }
    generated = true;
  }
  std::string error;
  if (!cuedump::BindEngine(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (support::Orvo.SetConfig) support::Orvo.SetConfig(42, 1);
  if (support::Orvo.Init) support::Orvo.Init(0, 44100, 4096, nullptr, nullptr);
  if (support::Orvo.SetConfig) support::Orvo.SetConfig(1, 0);

  const std::u16string text = FolderText(folder);
  std::vector<double> perFile;
  int files = 0;
  for (int pass = 0; pass < 6; ++pass) {
    playlist::EmptyPlaylist();
    const auto start = Clock::now();
    playlist::AddFolder(text);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    files = playlist::PlaylistCount();
    if (pass > 0 && files > 0) perFile.push_back(ms / files);
  }
  if (perFile.empty()) {
    std::fprintf(stderr, "no file was added\n");
    return 1;
  }
  std::printf("AddFolder: %d files, %.3f ms per file (median of %zu warm passes; target under 5 ms)\n", files,
              Median(perFile), perFile.size());
#ifndef _WIN32
  // Reference: reading the same files' stream headers with the flac tool.
  const auto start = Clock::now();
  const std::string reference = "metaflac --show-total-samples --show-sample-rate '" + folder.string() +
                                "'/*.flac > /dev/null 2>&1";
  if (std::system(reference.c_str()) == 0) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("metaflac (reference, one process for all files): %.3f ms per file\n", ms / files);
  }
#endif
  if (generated) {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  if (support::Orvo.Free) support::Orvo.Free();
  return 0;
}
