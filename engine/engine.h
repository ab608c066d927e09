// The playback engine: decoding ahead into memory, the feeder thread and its
// two output buffers, the output callback, transport control, volume and
// fades.
//
// Three threads share this state. The main thread runs transport control,
// volume and fades; the feeder thread (AudioThread) runs the decoder and fills
// the output buffers; the output library's thread runs AsioProc. Every word
// that more than one of them touches while they run is a std::atomic; the
// ordering of each access is stated where it is made.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "engine/platform.h"

namespace engine {

// The most one fill decodes: 231.3 s at 44.1 kHz.
constexpr int64_t ChunkSize = 81607680;
constexpr int32_t FrameBytes = 8;

// ---- Buffers (decoder) -------------------------------------------------
struct EngineBuffers {
  uint8_t* DecodeBuffer = nullptr;
  uint8_t* OutputBuffer1 = nullptr;
  uint8_t* OutputBuffer2 = nullptr;
  int64_t BufferSize = 0;
  // Bytes from the start of each buffer that may have been written since it
  // was last zero. The feeder raises them while it runs; StopEngine reads and
  // clears them only after the feeder has ended (the thread's end orders
  // that). Atomic, relaxed, only so that a look from another thread while
  // the feeder runs (a test's) is not a data race.
  std::atomic<int64_t> DecodeWritten{0};
  std::atomic<int64_t> Output1Written{0};
  std::atomic<int64_t> Output2Written{0};
};
extern EngineBuffers Buffers;

// ---- Decoder state -----------------------------------------------------
struct DecoderState {
  // Owned by the feeder while it runs; the main thread reads it to stop a
  // running decode (Orvo_ChannelStop is safe on any thread). Relaxed: the
  // handle is only passed to the engine library, which guards its own state.
  std::atomic<uint32_t> CurrentStream{0};
  int64_t DecodedBytes = 0;       // feeder (main before the feeder exists)
  int64_t StreamEndPosition = 0;  // feeder (main before the feeder exists)
  std::atomic<int32_t> NextDecodeIndex{0};
  // 0 stopped, 1 playing, 255 every entry handed to the decoder.
  std::atomic<uint8_t> PlayState{0};
  // 0 idle, 1 more data to come, 2 last data delivered.
  std::atomic<int64_t> DataState{0};
  std::atomic<int64_t> StopRequested{0};
  // The fill target: ChunkSize unless a test asked for a smaller multiple of 8.
  int64_t ChunkTarget = ChunkSize;
};
extern DecoderState Decoder;

// ---- Hand-over between feeder and callback ------------------------------
struct HandOverState {
  std::atomic<int64_t> FillTarget{1};  // 1: next fill goes to OutputBuffer1, 2: OutputBuffer2
  std::atomic<int64_t> Buffer1Size{0};
  std::atomic<int64_t> Buffer1Pos{0};
  std::atomic<int64_t> Buffer2Size{0};
  std::atomic<int64_t> Buffer2Pos{0};
  std::atomic<int64_t> CallbackBuffer{0};  // 6: callback plays OutputBuffer1, 8: OutputBuffer2
  std::atomic<int64_t> BufferSwitched{0};
  std::atomic<int64_t> OutputRanDry{0};
  std::atomic<int64_t> LastFillBytes{0};
  // Set by the feeder once its first fill has returned, with or without data,
  // so that StartPlayback's wait can end when every entry failed.
  std::atomic<int64_t> FirstFillDone{0};
};
extern HandOverState HandOver;

// ---- Transport state (main thread unless noted) --------------------------
struct TransportState {
  int8_t Paused = 0;
  int8_t PlayLit = 0;
  std::atomic<int64_t> OutputRate{0};  // read by the feeder
  std::atomic<uint32_t> FeederThread{0};  // read by the feeder (DecodeTrack)
  int64_t ShownSecond = 0;
  int64_t ShownEntryId = 0;
  int32_t FeederPriority = 4;
  // The running (or abandoned) feeder; main thread only.
  platform::Thread* Feeder = nullptr;
  // A feeder that did not end within StopEngine's bound: the engine cannot
  // start again until it has ended and its leftovers are released.
  bool FeederAbandoned = false;
};
extern TransportState Transport;

// ---- Volume (main thread; VolumeGain also read by a window-less feeder) ----
struct VolumeState {
  int32_t VolumePosition = 0;
  std::atomic<float> VolumeGain{0.0f};
};
extern VolumeState Volume;

// ---- Track information ------------------------------------------------
// A consistent copy of one record.
struct TrackInfo {
  int64_t Length = 0;
  std::u16string Title;
  int64_t Played = 0;
  int32_t EntryId = 0;
  std::u16string CoverPath;
};
// NowPlaying and TrackInfoQueue live in storage prepared before the device
// starts (track_info.h); the main thread reads a copy of NowPlaying here.
TrackInfo ReadNowPlaying();

// Created once at start-up (the program's entry): BufferSemaphore, the
// feeder's priority, VolumeGain 0, the empty track queue.
void CreateEngineObjects();
platform::Semaphore& BufferSemaphore();

// ---- Decoding into memory (feeder thread; main before the feeder exists) --
void AllocateEngineBuffers();
// The target of one fill: ChunkSize, or in tests a smaller multiple of 8.
void SetFillTargetForTesting(int64_t bytes);
void DecodeTrack(int32_t index);
void DecodeNextTrack();
void ReadDecodedData();
bool IsFileReadable(const std::u16string& path);
void EngineErrorText(int32_t code);

// ---- Feeder and callback ------------------------------------------------
void AudioThread();
void CopyBlock8(const void* source, void* destination, int64_t count);
uint32_t AsioProc(int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user);

// ---- Transport control (main thread) ------------------------------------
void StartPlayback();
void StopPlayback();
void PausePlayback();
void ResumePlayback();
void SkipToNextEntry();
void StopEngine();
void AdvanceTrack();
void CheckEndOfPlayback();
void ShowTransportState();

// ---- Volume and fades (main thread) ---------------------------------------
float GainForPosition(int32_t position);
void SetOutputGain(float gain);
void SetVolume(int32_t position);
void FadeOutForStop();
void FadeOutForPause();
void FadeInForResume();

// Back to the state of a fresh run; for tests and tools, never while a feeder
// or the device runs.
void ResetEngineForTesting();

}  // namespace engine
