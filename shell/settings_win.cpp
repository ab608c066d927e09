#include <windows.h>

#include <string>
#include <vector>

#include "shell/settings_file.h"
#include "shell/wait.h"

namespace shell {

namespace {
const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return h_; }
  void Close() {
    if (Valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

// Reads the file in blocks, so a long device name costs no more than it is.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(HANDLE file) : file_(file) {}
  bool Next(uint8_t& byte) override {
    if (pos_ == size_) {
      DWORD got = 0;
      if (!ReadFile(file_, block_, sizeof block_, &got, nullptr) || got == 0) return false;
      pos_ = 0;
      size_ = got;
    }
    byte = block_[pos_++];
    return true;
  }

 private:
  HANDLE file_;
  uint8_t block_[4096];
  DWORD pos_ = 0, size_ = 0;
};

int64_t PlatformWrite(void* file, std::span<const uint8_t> bytes) {
  DWORD written = 0;
  if (!WriteFile(static_cast<HANDLE>(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return -1;
  }
  return written;
}

bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes, SettingsWriter writer) {
  return writer(file, bytes) == static_cast<int64_t>(bytes.size()) && FlushFileBuffers(file);
}
}  // namespace

std::u16string ExecutableFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      std::u16string path(buffer.begin(), buffer.begin() + n);
      const size_t cut = path.find_last_of(u"\\/");
      return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

void LoadSettingsFile(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA info{};
  const bool present = GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  const uint64_t size = present ? (uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow) : 0;
  FileHandle file(size >= 5 ? CreateFileW(Wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                          nullptr)
                            : INVALID_HANDLE_VALUE);
  FileByteSource source(file.Get());
  SettingsValid = ReadSettingsFile(file.Valid() ? &source : nullptr, LoadedSettings);
  file.Close();
  Wait(20);
}

bool SaveSettingsFile(const std::u16string& path, const SettingsRecord& record, SettingsWriter writer) {
  if (!writer) writer = PlatformWrite;
  const std::vector<uint8_t> bytes = SettingsFileBytes(record);
  const std::u16string temporary = path + u".new";

  FileHandle temp(CreateFileW(Wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (temp.Valid()) {
    const bool written = WriteAll(temp.Get(), bytes, writer);
    temp.Close();
    if (written && MoveFileExW(Wide(temporary), Wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    DeleteFileW(Wide(temporary));
    return false;
  }

  // No temporary file could be made (a folder that takes no new files, say):
  // rewrite the file in place as the only way left.
  HANDLE h = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    h = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  FileHandle file(h);
  return file.Valid() && WriteAll(file.Get(), bytes, writer);
}

void LoadSettings() {
  ProgramFolder = ExecutableFolder();
  LoadSettingsFile(ProgramFolder + u"lp.is");
}

void SaveSettings(const SettingsRecord& current) {
  SaveSettingsFile(ProgramFolder + u"lp.is", current);
  Wait(20);
}

}  // namespace shell
