#include "engine_binding.h"

namespace enginetest {
namespace {

template <typename F>
bool Bind(void* library, const char* name, F*& entry, std::string* error) {
  entry = reinterpret_cast<F*>(FindExport(library, name));
  if (entry == nullptr) *error = std::string("missing export ") + name;
  return entry != nullptr;
}

}  // namespace

bool BindEngine(std::string* error) {
  // The plug-ins import the engine, so it goes first.
  void* orvo = LoadEngineLibrary(0, error);
  void* orvu = orvo ? LoadEngineLibrary(1, error) : nullptr;
  void* oraa = orvu ? LoadEngineLibrary(2, error) : nullptr;
  if (oraa == nullptr) return false;
  support::EngineEntries& e = support::Orvo;
  return Bind(orvo, "Orvo_ChannelGetData", e.ChannelGetData, error) &&
         Bind(orvo, "Orvo_StreamCreateFile", e.StreamCreateFile, error) &&
         Bind(orvo, "Orvo_ChannelGetLength", e.ChannelGetLength, error) &&
         Bind(orvo, "Orvo_ChannelGetPosition", e.ChannelGetPosition, error) &&
         Bind(orvo, "Orvo_ErrorGetCode", e.ErrorGetCode, error) && Bind(orvo, "Orvo_Init", e.Init, error) &&
         Bind(orvo, "Orvo_Free", e.Free, error) && Bind(orvo, "Orvo_StreamFree", e.StreamFree, error) &&
         Bind(orvo, "Orvo_StreamGetFilePosition", e.StreamGetFilePosition, error) &&
         Bind(orvo, "Orvo_SetDevice", e.SetDevice, error) && Bind(orvo, "Orvo_SetConfig", e.SetConfig, error) &&
         Bind(orvo, "Orvo_ChannelBytes2Seconds", e.ChannelBytes2Seconds, error) &&
         Bind(orvo, "Orvo_ChannelGetAttribute", e.ChannelGetAttribute, error) &&
         Bind(orvo, "Orvo_ChannelSetPosition", e.ChannelSetPosition, error) &&
         Bind(orvo, "Orvo_ChannelSetDevice", e.ChannelSetDevice, error) &&
         Bind(orvo, "Orvo_ChannelStop", e.ChannelStop, error) &&
         Bind(orvo, "Orvo_ChannelUpdate", e.ChannelUpdate, error) &&
         Bind(orvu, "Orvo_FLAC_StreamCreateFile", e.FlacStreamCreateFile, error) &&
         Bind(oraa, "Orvo_ALAC_StreamCreateFile", e.AlacStreamCreateFile, error);
}

}  // namespace enginetest
