// The support libraries' entries bound by export name through any lookup
// (GetProcAddress, dlsym): one list of names for the program, its tools and
// its tests. A lookup is callable as `void* lookup(const char* name)`. Each
// function binds every entry it owns (a missing export leaves its entry
// null) and says whether all of them were found.
#pragma once
#include "support/bound_entries.h"

namespace support {

namespace bind_detail {
template <typename Lookup, typename Entry>
bool Bind(Lookup& lookup, const char* name, Entry& entry) {
  entry = reinterpret_cast<Entry>(lookup(name));
  return entry != nullptr;
}
}  // namespace bind_detail

// The audio engine library's own exports.
template <typename Lookup>
bool BindEngineEntries(Lookup lookup) {
  using bind_detail::Bind;
  EngineEntries& e = Orvo;
  bool all = Bind(lookup, "Orvo_ChannelGetData", e.ChannelGetData);
  all &= Bind(lookup, "Orvo_StreamCreateFile", e.StreamCreateFile);
  all &= Bind(lookup, "Orvo_ChannelGetLength", e.ChannelGetLength);
  all &= Bind(lookup, "Orvo_ChannelGetPosition", e.ChannelGetPosition);
  all &= Bind(lookup, "Orvo_ErrorGetCode", e.ErrorGetCode);
  all &= Bind(lookup, "Orvo_Init", e.Init);
  all &= Bind(lookup, "Orvo_Free", e.Free);
  all &= Bind(lookup, "Orvo_StreamFree", e.StreamFree);
  all &= Bind(lookup, "Orvo_StreamGetFilePosition", e.StreamGetFilePosition);
  all &= Bind(lookup, "Orvo_SetDevice", e.SetDevice);
  all &= Bind(lookup, "Orvo_SetConfig", e.SetConfig);
  all &= Bind(lookup, "Orvo_ChannelBytes2Seconds", e.ChannelBytes2Seconds);
  all &= Bind(lookup, "Orvo_ChannelGetAttribute", e.ChannelGetAttribute);
  all &= Bind(lookup, "Orvo_ChannelSetPosition", e.ChannelSetPosition);
  all &= Bind(lookup, "Orvo_ChannelSetDevice", e.ChannelSetDevice);
  all &= Bind(lookup, "Orvo_ChannelStop", e.ChannelStop);
  all &= Bind(lookup, "Orvo_ChannelUpdate", e.ChannelUpdate);
  return all;
}

// The FLAC and ALAC plug-ins' create calls.
template <typename Lookup>
bool BindFlacEntries(Lookup lookup) {
  return bind_detail::Bind(lookup, "Orvo_FLAC_StreamCreateFile", Orvo.FlacStreamCreateFile);
}
template <typename Lookup>
bool BindAlacEntries(Lookup lookup) {
  return bind_detail::Bind(lookup, "Orvo_ALAC_StreamCreateFile", Orvo.AlacStreamCreateFile);
}

// The ASIO output library.
template <typename Lookup>
bool BindOutputEntries(Lookup lookup) {
  using bind_detail::Bind;
  OutputEntries& a = Orva;
  bool all = Bind(lookup, "Orva_ASIO_GetVersion", a.GetVersion);
  all &= Bind(lookup, "Orva_ASIO_GetDeviceInfo", a.GetDeviceInfo);
  all &= Bind(lookup, "Orva_ASIO_Init", a.Init);
  all &= Bind(lookup, "Orva_ASIO_Free", a.Free);
  all &= Bind(lookup, "Orva_ASIO_ErrorGetCode", a.ErrorGetCode);
  all &= Bind(lookup, "Orva_ASIO_ControlPanel", a.ControlPanel);
  all &= Bind(lookup, "Orva_ASIO_CheckRate", a.CheckRate);
  all &= Bind(lookup, "Orva_ASIO_SetRate", a.SetRate);
  all &= Bind(lookup, "Orva_ASIO_Start", a.Start);
  all &= Bind(lookup, "Orva_ASIO_Stop", a.Stop);
  all &= Bind(lookup, "Orva_ASIO_SetUnicode", a.SetUnicode);
  all &= Bind(lookup, "Orva_ASIO_IsStarted", a.IsStarted);
  all &= Bind(lookup, "Orva_ASIO_ChannelReset", a.ChannelReset);
  all &= Bind(lookup, "Orva_ASIO_ChannelEnable", a.ChannelEnable);
  all &= Bind(lookup, "Orva_ASIO_ChannelJoin", a.ChannelJoin);
  all &= Bind(lookup, "Orva_ASIO_ChannelPause", a.ChannelPause);
  all &= Bind(lookup, "Orva_ASIO_ChannelSetFormat", a.ChannelSetFormat);
  all &= Bind(lookup, "Orva_ASIO_ChannelSetVolume", a.ChannelSetVolume);
  all &= Bind(lookup, "Orva_ASIO_ChannelGetInfo", a.ChannelGetInfo);
  return all;
}

}  // namespace support
