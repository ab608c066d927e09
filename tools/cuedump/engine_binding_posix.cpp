#include <dlfcn.h>

#include <type_traits>

#include "support/bind_by_name.h"
#include "engine_binding.h"

namespace cuedump {

namespace {
// The plug-ins may be built into the engine object itself natively.
void* OpenOr(const char* name, void* fallback) {
  void* handle = dlopen(name, RTLD_NOW | RTLD_GLOBAL);
  return handle ? handle : fallback;
}
}  // namespace

bool BindEngine(std::string* error) {
  void* engine = dlopen("liborvo.so", RTLD_NOW | RTLD_GLOBAL);
  if (!engine) {
    const char* why = dlerror();
    *error = std::string("cannot load the engine library: ") + (why ? why : "liborvo.so");
    return false;
  }
  void* flac = OpenOr("liborvu.so", engine);
  void* alac = OpenOr("liboraa.so", engine);
  struct Lookup {
    void* handle;
    void* operator()(const char* name) const { return dlsym(handle, name); }
  };
  support::BindEngineEntries(Lookup{engine});
  support::BindFlacEntries(Lookup{flac});
  support::BindAlacEntries(Lookup{alac});
  if (!support::Orvo.StreamCreateFile || !support::Orvo.ChannelGetLength || !support::Orvo.ChannelGetAttribute) {
    *error = "the engine library lacks the examination calls";
    return false;
  }
  return true;
}

}  // namespace cuedump
