// The engine with the real decoders behind support::Orvo (the built shared
// objects, bound by name): bit-exact playback of FLAC, WAV and a CUE range
// against sox's decodes, and a stop that ends a decode running inside the
// library instead of waiting it out. Media are made with sox and flac here.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/engine.h"
#include "harness.h"
#include "playlist/model.h"
#include "shell/text.h"
#include "sim_device.h"
#include "support/bind_by_name.h"

namespace {

namespace fs = std::filesystem;

bool BindRealEngine() {
  void* orvo = dlopen(ENGINE_ORVO_LIB, RTLD_NOW);
  void* orvu = dlopen(ENGINE_ORVU_LIB, RTLD_NOW);
  if (!orvo || !orvu) return false;
  struct Lookup {
    void* library;
    void* operator()(const char* name) const { return dlsym(library, name); }
  };
  return support::BindEngineEntries(Lookup{orvo}) && support::BindFlacEntries(Lookup{orvu});
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RealDecoders : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("veloran-real-" + std::to_string(getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  // A noise file of seconds at 44.1 kHz, 16 bits; FLAC when flac is true.
  fs::path Make(const std::string& name, double seconds, bool flac) {
    const fs::path wav = folder_ / (name + ".wav");
    std::string command = "sox -q -D -R -n -r 44100 -b 16 -c 2 '" + wav.string() + "' synth " +
                          std::to_string(seconds) + " whitenoise vol 0.5";
    EXPECT_EQ(std::system(command.c_str()), 0);
    if (!flac) return wav;
    const fs::path out = folder_ / (name + ".flac");
    command = "flac -s -f -o '" + out.string() + "' '" + wav.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return out;
  }
  std::string Reference(const fs::path& file) {
    const fs::path ref = file.string() + ".ref";
    const std::string command =
        "sox -D '" + file.string() + "' -t raw -e floating-point -b 32 -L '" + ref.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadAll(ref);
  }
  void Append(const fs::path& file, const char16_t* extension, int64_t cueStart = 0, int64_t cueEnd = 0) {
    playlist::PlaylistEntry e;
    e.FilePath = shell::Utf16FromUtf8(file.string());
    e.Title = u"real";
    e.Extension = extension;
    e.SampleRate = 44100;
    e.IsCueTrack = cueEnd > 0 ? 1 : 0;
    e.CueStart = cueStart;
    e.CueEnd = cueEnd;
    e.EntryId = playlist::TakeEntryId();
    playlist::AppendPlaylistEntry(e);
  }
  fs::path folder_;
};

TEST_F(RealDecoders, PlaysFlacWavAndACueRangeBitForBit) {
  enginetest::Engine e(1024, 256 * 1024);
  ASSERT_TRUE(BindRealEngine());
  const fs::path flac = Make("a", 4.3, true), wav = Make("b", 2.2, false), album = Make("c", 5.0, true);
  std::string expected = Reference(flac) + Reference(wav);
  const std::string albumRef = Reference(album);
  const int64_t cueStart = 44100 * 8, cueEnd = 3 * 44100 * 8 + 17640 * 8;  // 1 s to 3.4 s
  expected += albumRef.substr(size_t(cueStart), size_t(cueEnd - cueStart));
  Append(flac, u"FLAC");
  Append(wav, u"wav");
  Append(album, u"flac", cueStart, cueEnd);

  std::string received;
  simdevice::Config config;
  config.periodBytes = 1024;
  config.gate = [&e] { return e.NoUnderrunGate(); };
  config.sink = [&](const uint8_t* data, uint32_t got, uint32_t) {
    received.append(reinterpret_cast<const char*>(data), got);
  };
  e.InstallDevice(config);
  engine::StartPlayback();
  ASSERT_NE(engine::Decoder.PlayState.load(), 0);
  ASSERT_TRUE(e.RunToEnd());
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
}

// The stop reaches into the library: the decode of a whole chunk that is
// under way returns early, the feeder ends and nothing is abandoned.
TEST_F(RealDecoders, StopEndsARunningDecode) {
  enginetest::Engine e(1024, engine::ChunkSize);
  ASSERT_TRUE(BindRealEngine());
  Append(Make("long", 240, true), u"flac");
  ASSERT_TRUE(enginetest::StartFeederWithoutDevice());
  // The feeder raises the written mark just before it enters the library.
  ASSERT_TRUE(enginetest::WaitFor([] { return engine::Buffers.DecodeWritten.load() > 0; }));
  engine::StopEngine();
  EXPECT_EQ(engine::Transport.Feeder, nullptr);
  EXPECT_FALSE(engine::Transport.FeederAbandoned);
  EXPECT_EQ(engine::HandOver.LastFillBytes.load(), 0);
  EXPECT_EQ(engine::Buffers.DecodeWritten.load(), 0);
}

}  // namespace
