// Fills support::Orvo from a symbol lookup, by the exports' names.
#pragma once
#include "support/bound_entries.h"

namespace cuedump {

template <typename Lookup>
void FillEngineEntries(Lookup engine, Lookup flac, Lookup alac) {
  auto bind = [](auto& entry, Lookup& from, const char* name) {
    entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(from(name));
  };
  support::EngineEntries& o = support::Orvo;
  bind(o.ChannelGetData, engine, "Orvo_ChannelGetData");
  bind(o.StreamCreateFile, engine, "Orvo_StreamCreateFile");
  bind(o.ChannelGetLength, engine, "Orvo_ChannelGetLength");
  bind(o.ChannelGetPosition, engine, "Orvo_ChannelGetPosition");
  bind(o.ErrorGetCode, engine, "Orvo_ErrorGetCode");
  bind(o.Init, engine, "Orvo_Init");
  bind(o.Free, engine, "Orvo_Free");
  bind(o.StreamFree, engine, "Orvo_StreamFree");
  bind(o.StreamGetFilePosition, engine, "Orvo_StreamGetFilePosition");
  bind(o.SetDevice, engine, "Orvo_SetDevice");
  bind(o.SetConfig, engine, "Orvo_SetConfig");
  bind(o.ChannelBytes2Seconds, engine, "Orvo_ChannelBytes2Seconds");
  bind(o.ChannelGetAttribute, engine, "Orvo_ChannelGetAttribute");
  bind(o.ChannelSetPosition, engine, "Orvo_ChannelSetPosition");
  bind(o.ChannelSetDevice, engine, "Orvo_ChannelSetDevice");
  bind(o.ChannelStop, engine, "Orvo_ChannelStop");
  bind(o.ChannelUpdate, engine, "Orvo_ChannelUpdate");
  bind(o.FlacStreamCreateFile, flac, "Orvo_FLAC_StreamCreateFile");
  bind(o.AlacStreamCreateFile, alac, "Orvo_ALAC_StreamCreateFile");
}

}  // namespace cuedump
