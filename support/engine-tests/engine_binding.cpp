#include "engine_binding.h"

#include "support/bind_by_name.h"

namespace enginetest {

bool BindEngine(std::string* error) {
  // The plug-ins import the engine, so it goes first.
  void* orvo = LoadEngineLibrary(0, error);
  void* orvu = orvo ? LoadEngineLibrary(1, error) : nullptr;
  void* oraa = orvu ? LoadEngineLibrary(2, error) : nullptr;
  if (oraa == nullptr) return false;
  struct Lookup {
    void* library;
    void* operator()(const char* name) const { return FindExport(library, name); }
  };
  if (support::BindEngineEntries(Lookup{orvo}) && support::BindFlacEntries(Lookup{orvu}) &&
      support::BindAlacEntries(Lookup{oraa})) {
    return true;
  }
  *error = "an export is missing from the engine libraries";
  return false;
}

}  // namespace enginetest
