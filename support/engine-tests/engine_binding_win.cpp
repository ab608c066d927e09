#include <windows.h>

#include "engine_binding.h"

namespace enginetest {
namespace {

// The build's folders are Unix paths; Wine shows the root as drive Z:.
std::filesystem::path FromHost(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p != 0; ++p) path += *p == '/' ? L'\\' : wchar_t(*p);
  return std::filesystem::path(path);
}

}  // namespace

void* LoadEngineLibrary(int which, std::string* error) {
  static const wchar_t* const kFiles[] = {L"orvo.dll", L"orvu.dll", L"oraa.dll"};
  // By full path, as the program loads them; a plug-in's import of orvo.dll
  // then finds the engine already loaded.
  std::filesystem::path file = FromHost(ENGINE_DIST_DIR) / kFiles[which];
  HMODULE library = LoadLibraryW(file.c_str());
  if (library == nullptr) *error = "cannot load " + file.string() + ", error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindExport(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::filesystem::path MediaFolder() { return FromHost(ENGINE_MEDIA_DIR); }

}  // namespace enginetest
