#include <dlfcn.h>

#include "engine_binding.h"

namespace enginetest {

void* LoadEngineLibrary(int which, std::string* error) {
  static const char* const kFiles[] = {ENGINE_ORVO_LIB, ENGINE_ORVU_LIB, ENGINE_ORAA_LIB};
  void* library = dlopen(kFiles[which], RTLD_NOW);
  if (library == nullptr) *error = dlerror();
  return library;
}

void* FindExport(void* library, const char* name) { return dlsym(library, name); }

std::filesystem::path MediaFolder() { return std::filesystem::path(ENGINE_MEDIA_DIR); }

}  // namespace enginetest
