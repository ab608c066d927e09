// The engine library through its bound calls: bit-exact decodes against
// references made at test time, positions, lengths, error codes, threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine_binding.h"

#if defined(__SANITIZE_THREAD__)
// Debian's FFmpeg is not built for the thread sanitizer: its frame threads
// hand buffers over through atomics the sanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libavcodec.so\n"
         "called_from_lib:libavutil.so\n"
         "race:libavcodec.so\n"
         "race:libavutil.so\n";
}
#endif

namespace enginetest {
namespace {

namespace fs = std::filesystem;
using support::Orvo;

constexpr uint32_t kPlayback = 0x80200110;
constexpr uint32_t kExamine = 0x80220110;
constexpr int32_t kChunkSize = 81607680;

class EngineEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
#if !defined(_WIN32)
    // Natively every test process makes sure the media exist (made once,
    // under a lock); under Wine a ctest fixture has made them.
    std::string command = std::string("bash '") + ENGINE_MEDIA_SCRIPT + "' '" + ENGINE_MEDIA_DIR + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
#endif
    ASSERT_TRUE(fs::exists(MediaFolder() / ".done")) << "no media in " << MediaFolder().string();
    std::string error;
    ASSERT_TRUE(BindEngine(&error)) << error;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

enum class Call { Wav, Flac, Alac };

uint32_t Create(Call call, const fs::path& file, uint32_t flags = kPlayback) {
  std::u16string path = file.u16string();
  auto create = call == Call::Wav ? Orvo.StreamCreateFile : call == Call::Flac ? Orvo.FlacStreamCreateFile
                                                                                : Orvo.AlacStreamCreateFile;
  return create(0, path.c_str(), 0, 0, flags);
}

fs::path Media(const std::string& name) { return MediaFolder() / name; }

std::vector<char> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Replaces `to` (mingw's copy_file refuses to overwrite under Wine).
void CopyFresh(const fs::path& from, const fs::path& to) {
  fs::remove(to);
  fs::copy_file(from, to);
}

// A scratch copy named after the running test, so test processes run side by side.
fs::path Scratch(const std::string& suffix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + suffix;
  std::replace(name.begin(), name.end(), '/', '_');
  fs::create_directories(MediaFolder() / "scratch");
  return MediaFolder() / "scratch" / name;
}

// The reference decode as the two-channel frames the engine delivers.
std::vector<float> Reference(const std::string& name, int channels) {
  std::vector<char> bytes = ReadBytes(Media(name));
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  if (channels == 2) return samples;
  std::vector<float> stereo(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = samples[i];
  return stereo;
}

// Reads until the stream delivers 0, in requests of `request` bytes.
std::vector<float> DecodeAll(uint32_t stream, int32_t request = kChunkSize) {
  std::vector<float> out;
  std::vector<float> buffer(size_t(request) / sizeof(float));
  while (true) {
    int32_t got = Orvo.ChannelGetData(stream, buffer.data(), request);
    EXPECT_GE(got, 0);
    if (got <= 0) break;
    out.insert(out.end(), buffer.begin(), buffer.begin() + got / 4);
  }
  return out;
}

// Bitwise, so that -0.0 and NaN patterns count too; reports the first mismatch.
::testing::AssertionResult SameBits(const std::vector<float>& actual, const std::vector<float>& expected) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << actual.size() << " samples, expected " << expected.size();
  for (size_t i = 0; i < actual.size(); ++i) {
    if (std::memcmp(&actual[i], &expected[i], sizeof(float)) != 0)
      return ::testing::AssertionFailure() << "sample " << i << " is " << actual[i] << ", expected " << expected[i];
  }
  return ::testing::AssertionSuccess();
}

std::vector<float> Prefix(const std::vector<float>& v, size_t n) {
  return std::vector<float>(v.begin(), v.begin() + std::min(n, v.size()));
}

struct MediaCase {
  const char* file;
  Call call;
  uint32_t rate;
  int channels;  // of the file and its reference
};

std::ostream& operator<<(std::ostream& os, const MediaCase& c) { return os << c.file; }

std::string CaseName(const ::testing::TestParamInfo<MediaCase>& info) {
  std::string name = info.param.file;
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

std::string RefName(const MediaCase& c) { return fs::path(c.file).replace_extension(".ref").string(); }

const MediaCase kMedia[] = {
    {"flac16_44100.flac", Call::Flac, 44100, 2},   {"flac16_48000.flac", Call::Flac, 48000, 2},
    {"flac16_88200.flac", Call::Flac, 88200, 2},   {"flac16_96000.flac", Call::Flac, 96000, 2},
    {"flac16_176400.flac", Call::Flac, 176400, 2}, {"flac16_192000.flac", Call::Flac, 192000, 2},
    {"flac24_44100.flac", Call::Flac, 44100, 2},   {"flac24_48000.flac", Call::Flac, 48000, 2},
    {"flac24_88200.flac", Call::Flac, 88200, 2},   {"flac24_96000.flac", Call::Flac, 96000, 2},
    {"flac24_176400.flac", Call::Flac, 176400, 2}, {"flac24_192000.flac", Call::Flac, 192000, 2},
    {"flac16_mono.flac", Call::Flac, 44100, 1},    {"flac24_small_blocks.flac", Call::Flac, 48000, 2},
    {"flac24_large_blocks.flac", Call::Flac, 48000, 2}, {"flac8.flac", Call::Flac, 44100, 2},
    {"flac32.flac", Call::Flac, 48000, 2},
    {"wav_u8.wav", Call::Wav, 44100, 2},           {"wav16.wav", Call::Wav, 44100, 2},
    {"wav16_mono.wav", Call::Wav, 48000, 1},       {"wav24.wav", Call::Wav, 96000, 2},
    {"wav24_plain.wav", Call::Wav, 96000, 2},      {"wav24_mono.wav", Call::Wav, 44100, 1},      {"wav32.wav", Call::Wav, 44100, 2},
    {"wav_f32.wav", Call::Wav, 44100, 2},          {"wav_f64.wav", Call::Wav, 48000, 2},
    {"aiff16.aiff", Call::Wav, 44100, 2},          {"aiff24.aif", Call::Wav, 88200, 2},
    {"aiff8.aiff", Call::Wav, 44100, 1},           {"aifc_sowt.aif", Call::Wav, 44100, 2},
    {"aifc_fl32.aif", Call::Wav, 44100, 2},        {"alac16.m4a", Call::Alac, 44100, 2},
    {"alac24.m4a", Call::Alac, 96000, 2},          {"alac16_mono.m4a", Call::Alac, 48000, 1},
};

class MediaTest : public ::testing::TestWithParam<MediaCase> {
 protected:
  void TearDown() override { Orvo.Free(); }
};

// The whole file, in requests that do not line up with the decoder's blocks,
// equals the reference bit for bit; the length was exact before decoding.
TEST_P(MediaTest, DecodesBitExactWithExactLength) {
  const MediaCase& c = GetParam();
  std::vector<float> expected = Reference(RefName(c), c.channels);
  uint32_t stream = Create(c.call, Media(c.file));
  ASSERT_NE(stream, 0u) << "code " << Orvo.ErrorGetCode();
  EXPECT_EQ(Orvo.ErrorGetCode(), 0);
  EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), expected.size() * 4);
  float rate = 0;
  ASSERT_TRUE(Orvo.ChannelGetAttribute(stream, 1, &rate));
  EXPECT_EQ(rate, float(c.rate));
  EXPECT_DOUBLE_EQ(Orvo.ChannelBytes2Seconds(stream, uint64_t(c.rate) * 8 * 3), 3.0);

  std::vector<float> first = DecodeAll(stream, 8 * 1237);
  EXPECT_TRUE(SameBits(first, expected));
  EXPECT_EQ(Orvo.ChannelGetPosition(stream, 0), expected.size() * 4);
  EXPECT_EQ(Orvo.ChannelGetData(stream, first.data(), 8), 0);
  EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), expected.size() * 4);
  // Back to the start, all of it in one request, as a playback fill does.
  ASSERT_TRUE(Orvo.ChannelSetPosition(stream, 0, 0));
  EXPECT_TRUE(SameBits(DecodeAll(stream), expected));
  EXPECT_TRUE(Orvo.StreamFree(stream));
}

// Examination gives the same length and rate without decoding.
TEST_P(MediaTest, ExaminationKnowsLengthAndRate) {
  const MediaCase& c = GetParam();
  uint64_t expectedBytes = fs::file_size(Media(RefName(c))) * (c.channels == 1 ? 2 : 1);
  uint32_t stream = Create(c.call, Media(c.file), kExamine);
  ASSERT_NE(stream, 0u) << "code " << Orvo.ErrorGetCode();
  EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), expectedBytes);
  EXPECT_EQ(Orvo.ChannelGetPosition(stream, 0), 0u);
  float rate = 0;
  EXPECT_TRUE(Orvo.ChannelGetAttribute(stream, 1, &rate));
  EXPECT_EQ(rate, float(c.rate));
  EXPECT_TRUE(Orvo.StreamFree(stream));
}

// Every position lands on exactly that byte of a decode from the start; the
// end itself gives 0; beyond it fails with 37 and leaves the stream alone.
TEST_P(MediaTest, SetPositionIsSampleExact) {
  const MediaCase& c = GetParam();
  std::vector<float> expected = Reference(RefName(c), c.channels);
  const uint64_t frames = expected.size() / 2;
  uint32_t stream = Create(c.call, Media(c.file));
  ASSERT_NE(stream, 0u);
  std::mt19937_64 random(frames);
  std::vector<uint64_t> positions = {frames - 1, 1, frames / 2, 4095, 4096, 4097};
  for (int i = 0; i < 12; ++i) positions.push_back(random() % frames);
  std::vector<float> buffer(2 * 3000);
  for (uint64_t frame : positions) {
    if (frame >= frames) continue;
    ASSERT_TRUE(Orvo.ChannelSetPosition(stream, frame * 8, 0)) << frame;
    EXPECT_EQ(Orvo.ChannelGetPosition(stream, 0), frame * 8);
    int32_t got = Orvo.ChannelGetData(stream, buffer.data(), int32_t(buffer.size() * 4));
    uint64_t want = std::min<uint64_t>(3000, frames - frame);
    ASSERT_EQ(got, int32_t(want * 8)) << frame;
    std::vector<float> slice(expected.begin() + 2 * frame, expected.begin() + 2 * (frame + want));
    EXPECT_TRUE(SameBits(Prefix(buffer, 2 * want), slice)) << "at frame " << frame;
  }
  // At the end: nothing more. Beyond it: 37, and reading goes on from where it was.
  ASSERT_TRUE(Orvo.ChannelSetPosition(stream, frames * 8, 0));
  EXPECT_EQ(Orvo.ChannelGetData(stream, buffer.data(), 64), 0);
  ASSERT_TRUE(Orvo.ChannelSetPosition(stream, 80, 0));
  EXPECT_FALSE(Orvo.ChannelSetPosition(stream, frames * 8 + 8, 0));
  EXPECT_EQ(Orvo.ErrorGetCode(), 37);
  EXPECT_EQ(Orvo.ChannelGetPosition(stream, 0), 80u);
  ASSERT_EQ(Orvo.ChannelGetData(stream, buffer.data(), 80), 80);
  EXPECT_TRUE(SameBits(Prefix(buffer, 20), std::vector<float>(expected.begin() + 20, expected.begin() + 40)));
  Orvo.StreamFree(stream);
}

INSTANTIATE_TEST_SUITE_P(Formats, MediaTest, ::testing::ValuesIn(kMedia), CaseName);

class EngineTest : public ::testing::Test {
 protected:
  void TearDown() override { Orvo.Free(); }
};

// Files refused at creation, each with its code.
TEST_F(EngineTest, CreateCallsReportWhyAFileIsRefused) {
  fs::path missing = Media("no such file.flac");
  fs::path text = Scratch("text");
  CopyFresh(Media("text.txt"), text);
  fs::path empty = Media("empty.bin");
  struct Refusal {
    Call call;
    fs::path file;
    int32_t code;
  };
  const Refusal cases[] = {
      {Call::Wav, missing, 2},          {Call::Flac, missing, 2},          {Call::Alac, missing, 2},
      {Call::Wav, MediaFolder(), 2},    {Call::Flac, MediaFolder(), 2},    {Call::Alac, MediaFolder(), 2},
      {Call::Wav, text, 41},             {Call::Flac, text, 41},
      {Call::Alac, text, 41},           {Call::Wav, empty, 41},            {Call::Flac, empty, 41},
      {Call::Alac, empty, 41},          {Call::Wav, Media("flac16_44100.flac"), 41},
      {Call::Flac, Media("wav16.wav"), 41}, {Call::Alac, Media("wav16.wav"), 41},
      {Call::Wav, Media("multi3.wav"), 6},  {Call::Flac, Media("multi3.flac"), 6},
      {Call::Alac, Media("multi3.m4a"), 6}, {Call::Wav, Media("ulaw.wav"), 6},
      {Call::Alac, Media("aac.m4a"), 44},   {Call::Flac, Media("alac16.m4a"), 41},
  };
  for (const Refusal& r : cases) {
    SCOPED_TRACE(r.file.string() + " through call " + std::to_string(int(r.call)));
    EXPECT_EQ(Create(r.call, r.file), 0u);
    EXPECT_EQ(Orvo.ErrorGetCode(), r.code);
    EXPECT_EQ(Create(r.call, r.file, kExamine), 0u);
    EXPECT_EQ(Orvo.ErrorGetCode(), r.code);
  }
}

// Calls with what they cannot use: a handle that is not (or no longer) a
// stream gives 5, arguments out of range 20, and success resets the code.
TEST_F(EngineTest, CallsCheckHandlesAndParameters) {
  std::u16string path = Media("wav16.wav").u16string();
  EXPECT_EQ(Orvo.StreamCreateFile(1, path.c_str(), 0, 0, kPlayback), 0u);
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_EQ(Orvo.StreamCreateFile(0, path.c_str(), 44, 0, kPlayback), 0u);
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_EQ(Orvo.FlacStreamCreateFile(0, nullptr, 0, 0, kPlayback), 0u);
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);

  uint32_t stream = Create(Call::Wav, Media("wav16.wav"));
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(Orvo.ErrorGetCode(), 0);
  float buffer[16];
  EXPECT_EQ(Orvo.ChannelGetData(stream, buffer, -8), -1);
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_EQ(Orvo.ChannelGetData(stream, buffer, 12), -1);
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_EQ(Orvo.ChannelGetData(stream, buffer, 0), 0);
  EXPECT_EQ(Orvo.ErrorGetCode(), 0);
  EXPECT_FALSE(Orvo.ChannelSetPosition(stream, 12, 0));
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_FALSE(Orvo.ChannelGetAttribute(stream, 1, nullptr));
  EXPECT_EQ(Orvo.ErrorGetCode(), 20);
  EXPECT_TRUE(Orvo.ChannelSetDevice(stream, 0));
  EXPECT_TRUE(Orvo.ChannelUpdate(stream, 0));
  EXPECT_EQ(Orvo.StreamGetFilePosition(stream, 2), fs::file_size(Media("wav16.wav")));
  EXPECT_TRUE(Orvo.StreamFree(stream));

  const uint32_t invalid[] = {0, stream, 0xDEADBEEF};
  for (uint32_t handle : invalid) {
    SCOPED_TRACE(handle);
    float value = 0;
    auto expect5 = [](bool failed) {
      EXPECT_TRUE(failed);
      EXPECT_EQ(Orvo.ErrorGetCode(), 5);
    };
    expect5(Orvo.ChannelGetData(handle, buffer, 8) == -1);
    expect5(!Orvo.StreamFree(handle));
    expect5(!Orvo.ChannelStop(handle));
    expect5(!Orvo.ChannelSetDevice(handle, 0));
    expect5(!Orvo.ChannelSetPosition(handle, 0, 0));
    expect5(Orvo.ChannelGetPosition(handle, 0) == ~uint64_t{0});
    expect5(Orvo.ChannelGetLength(handle, 0) == ~uint64_t{0});
    expect5(!Orvo.ChannelGetAttribute(handle, 1, &value));
    expect5(Orvo.ChannelBytes2Seconds(handle, 8) < 0);
    expect5(!Orvo.ChannelUpdate(handle, 0));
    expect5(Orvo.StreamGetFilePosition(handle, 2) == ~uint64_t{0});
  }
}

// Init, Free, SetDevice and SetConfig in any order and number; Free releases
// every stream; streams work without Init.
TEST_F(EngineTest, LifecycleCallsInAnyOrder) {
  EXPECT_TRUE(Orvo.Free());
  uint32_t before = Create(Call::Flac, Media("flac16_44100.flac"));
  ASSERT_NE(before, 0u);
  EXPECT_TRUE(Orvo.SetConfig(42, 1));
  EXPECT_TRUE(Orvo.Init(0, 44100, 4096, nullptr, nullptr));
  EXPECT_TRUE(Orvo.SetConfig(1, 0));
  EXPECT_TRUE(Orvo.SetDevice(0));
  EXPECT_TRUE(Orvo.Init(-1, 0, 0, reinterpret_cast<void*>(0x1234), nullptr));
  uint32_t streams[] = {before, Create(Call::Wav, Media("wav16.wav")), Create(Call::Alac, Media("alac16.m4a"))};
  for (uint32_t s : streams) EXPECT_NE(Orvo.ChannelGetLength(s, 0), ~uint64_t{0});
  EXPECT_TRUE(Orvo.Free());
  EXPECT_EQ(Orvo.ErrorGetCode(), 0);
  for (uint32_t s : streams) {
    EXPECT_EQ(Orvo.ChannelGetLength(s, 0), ~uint64_t{0});
    EXPECT_EQ(Orvo.ErrorGetCode(), 5);
  }
  EXPECT_TRUE(Orvo.Free());
  EXPECT_NE(Create(Call::Wav, Media("wav16.wav")), 0u);
}

// A thread that has made no call reads 0; each thread reads its own last call.
TEST_F(EngineTest, ErrorCodesArePerThread) {
  EXPECT_EQ(Create(Call::Flac, Media("missing.flac")), 0u);
  int32_t fresh = -99;
  std::thread([&] { fresh = Orvo.ErrorGetCode(); }).join();
  EXPECT_EQ(fresh, 0);

  std::atomic<int> step{0};
  int32_t otherCode = -99;
  std::thread other([&] {
    EXPECT_EQ(Create(Call::Alac, Media("aac.m4a")), 0u);
    step = 1;
    while (step != 2) std::this_thread::yield();
    otherCode = Orvo.ErrorGetCode();
  });
  while (step != 1) std::this_thread::yield();
  uint32_t stream = Create(Call::Wav, Media("wav16.wav"));
  EXPECT_NE(stream, 0u);
  step = 2;
  other.join();
  EXPECT_EQ(otherCode, 44);
  EXPECT_EQ(Orvo.ErrorGetCode(), 0);
  EXPECT_EQ(Create(Call::Flac, Media("missing.flac")), 0u);
  EXPECT_EQ(Orvo.ErrorGetCode(), 2);
}

// Two threads decode different streams at once, each bit-exact.
TEST_F(EngineTest, TwoThreadsDecodeAtOnce) {
  const MediaCase pairs[][2] = {
      {{"flac24_96000.flac", Call::Flac, 96000, 2}, {"alac24.m4a", Call::Alac, 96000, 2}},
      {{"wav24.wav", Call::Wav, 96000, 2}, {"flac24_96000.flac", Call::Flac, 96000, 2}},
  };
  for (const auto& pair : pairs) {
    std::vector<float> results[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
      threads[t] = std::thread([&, t] {
        for (int round = 0; round < 3; ++round) {
          uint32_t stream = Create(pair[t].call, Media(pair[t].file));
          results[t] = DecodeAll(stream, 8 * 4000);
          Orvo.StreamFree(stream);
        }
      });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 2; ++t) EXPECT_TRUE(SameBits(results[t], Reference(RefName(pair[t]), 2))) << pair[t].file;
  }
}

// ChannelStop from another thread ends a long read with -1, and the stream
// plays on after a new position.
TEST_F(EngineTest, ChannelStopInterruptsALongRead) {
  uint32_t stream = Create(Call::Flac, Media("long.flac"));
  ASSERT_NE(stream, 0u);
  ASSERT_GE(Orvo.ChannelGetLength(stream, 0), uint64_t(kChunkSize));
  std::vector<float> chunk(size_t(kChunkSize) / 4);
  std::atomic<bool> started{false};
  int32_t result = 0, code = 0;
  std::thread decoder([&] {
    started = true;
    result = Orvo.ChannelGetData(stream, chunk.data(), kChunkSize);
    code = Orvo.ErrorGetCode();
  });
  while (!started) std::this_thread::yield();
  EXPECT_TRUE(Orvo.ChannelStop(stream));
  decoder.join();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(Orvo.ChannelGetData(stream, chunk.data(), 64), -1);
  ASSERT_TRUE(Orvo.ChannelSetPosition(stream, 0, 0));
  EXPECT_EQ(Orvo.ChannelGetData(stream, chunk.data(), 64), 64);
  EXPECT_TRUE(Orvo.StreamFree(stream));
}

// The same file under a name outside ASCII opens through every call.
TEST_F(EngineTest, OpensNonAsciiNames) {
  const MediaCase cases[] = {{"wav16.wav", Call::Wav, 44100, 2},
                             {"flac16_44100.flac", Call::Flac, 44100, 2},
                             {"alac16.m4a", Call::Alac, 44100, 2}};
  for (const MediaCase& c : cases) {
    fs::path copy = Scratch("");
    copy += fs::path(u8"\u00e9t\u00e9 \u97f3\u697d \U0001F3B5 ");
    copy += fs::path(c.file).extension();
    CopyFresh(Media(c.file), copy);
    uint32_t stream = Create(c.call, copy);
    ASSERT_NE(stream, 0u) << c.file << " code " << Orvo.ErrorGetCode();
    EXPECT_TRUE(SameBits(DecodeAll(stream), Reference(RefName(c), 2))) << c.file;
    Orvo.StreamFree(stream);
    fs::remove(copy);
  }
}

// A file cut short delivers what it holds, bit-exact, then 0; the length
// becomes what was delivered and is never more than the header's figure.
TEST_F(EngineTest, TruncatedFilesEndCleanly) {
  struct Cut {
    MediaCase media;
    bool indexAtEnd;  // an .m4a whose index follows the audio: refused once cut
  };
  const Cut cases[] = {{{"wav24.wav", Call::Wav, 96000, 2}, false},
                       {{"wav24_mono.wav", Call::Wav, 44100, 1}, false},
                       {{"aiff16.aiff", Call::Wav, 44100, 2}, false},
                       {{"flac24_44100.flac", Call::Flac, 44100, 2}, false},
                       {{"alac16.m4a", Call::Alac, 44100, 2}, true},
                       {{"alac24.m4a", Call::Alac, 96000, 2}, false}};
  for (const Cut& cut : cases) {
    const MediaCase& c = cut.media;
    SCOPED_TRACE(c.file);
    std::vector<float> expected = Reference(RefName(c), c.channels);
    std::vector<char> bytes = ReadBytes(Media(c.file));
    for (double keep : {0.6, 0.95}) {
      std::vector<char> shorter(bytes.begin(), bytes.begin() + ptrdiff_t(double(bytes.size()) * keep));
      fs::path file = Scratch(std::to_string(int(keep * 100)) + fs::path(c.file).extension().string());
      WriteBytes(file, shorter);
      uint32_t stream = Create(c.call, file);
      if (cut.indexAtEnd) {
        EXPECT_EQ(stream, 0u);
        EXPECT_EQ(Orvo.ErrorGetCode(), 41);
        continue;
      }
      ASSERT_NE(stream, 0u) << Orvo.ErrorGetCode();
      uint64_t header = Orvo.ChannelGetLength(stream, 0);
      EXPECT_LE(header, expected.size() * 4);
      std::vector<float> got = DecodeAll(stream, 8 * 5000);
      EXPECT_GT(got.size(), expected.size() / 2);
      EXPECT_LT(got.size(), expected.size());
      EXPECT_TRUE(SameBits(got, Prefix(expected, got.size())));
      EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), got.size() * 4);
      EXPECT_FALSE(Orvo.ChannelSetPosition(stream, got.size() * 4 + 8, 0));
      EXPECT_EQ(Orvo.ErrorGetCode(), 37);
      Orvo.StreamFree(stream);
    }
  }
}

// A canonical 44-byte WAV header with the given fields, then `frames` frames
// of 16-bit samples k * 37 (whatever the header claims).
std::vector<char> HandMadeWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataBytes,
                              uint32_t frames) {
  std::vector<char> out;
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char(v >> (8 * i)));
  };
  auto tagOf = [&out](const char* text) { out.insert(out.end(), text, text + 4); };
  uint32_t present = frames * 2 * 2;
  tagOf("RIFF");
  put(36 + present, 4);
  tagOf("WAVE");
  tagOf("fmt ");
  put(16, 4);
  put(tag, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * (bits / 8), 4);
  put(channels * (bits / 8), 2);
  put(bits, 2);
  tagOf("data");
  put(dataBytes, 4);
  for (uint32_t k = 0; k < frames * 2; ++k) put(uint16_t(int16_t(k * 37)), 2);
  return out;
}

// Header fields that lie: sizes beyond the file play what is there; counts
// and rates that cannot be are refused with a code.
TEST_F(EngineTest, WavHeadersThatLie) {
  struct Lie {
    const char* what;
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
    uint32_t dataBytes;
    int32_t code;  // 0: opens and delivers the 1000 frames present
  };
  const Lie lies[] = {
      {"honest", 1, 2, 44100, 16, 4000, 0},
      {"data size beyond the file", 1, 2, 44100, 16, 400000, 0},
      {"data size of 4 GiB", 1, 2, 44100, 16, 0xFFFFFFFF, 0},
      {"no channels", 1, 0, 44100, 16, 4000, 41},
      {"three channels", 1, 3, 44100, 16, 4000, 6},
      {"rate 0", 1, 2, 0, 16, 4000, 41},
      {"absurd rate", 1, 2, 4000000000u, 16, 4000, 41},
      {"0 bits", 1, 2, 44100, 0, 4000, 41},
      {"MPEG data", 0x55, 2, 44100, 16, 4000, 41},
  };
  std::vector<float> expected(2000);
  for (uint32_t k = 0; k < 2000; ++k) expected[k] = float(int16_t(k * 37)) / 32768.0f;
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.what);
    fs::path file = Scratch(std::string(lie.what) + ".wav");
    WriteBytes(file, HandMadeWav(lie.tag, lie.channels, lie.rate, lie.bits, lie.dataBytes, 1000));
    uint32_t stream = Create(Call::Wav, file);
    EXPECT_EQ(Orvo.ErrorGetCode(), lie.code);
    if (lie.code != 0) {
      EXPECT_EQ(stream, 0u);
      continue;
    }
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), 8000u);
    EXPECT_TRUE(SameBits(DecodeAll(stream, 8 * 300), expected));
    Orvo.StreamFree(stream);
  }
}

// FLAC's STREAMINFO total, at bytes 21 (low 4 bits) to 25 of a file whose
// first block is STREAMINFO.
void SetFlacTotal(std::vector<char>& bytes, uint64_t total) {
  bytes[21] = char((uint8_t(bytes[21]) & 0xF0) | uint8_t((total >> 32) & 0x0F));
  for (int i = 0; i < 4; ++i) bytes[22 + i] = char(uint8_t(total >> (24 - 8 * i)));
}

// STREAMINFO totals that lie: 0 is scanned once, exactly; too many ends where
// the data do; too few stops at the header's figure.
TEST_F(EngineTest, FlacTotalsThatLie) {
  std::vector<float> expected = Reference("flac24_small_blocks.ref", 2);
  const uint64_t frames = expected.size() / 2;
  std::vector<char> original = ReadBytes(Media("flac24_small_blocks.flac"));
  struct Lie {
    uint64_t total;
    uint64_t lengthAtCreation;
    uint64_t delivered;
  };
  const Lie lies[] = {{0, frames, frames}, {frames + 100000, frames + 100000, frames}, {frames - 777, frames - 777, frames - 777}};
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.total);
    std::vector<char> bytes = original;
    SetFlacTotal(bytes, lie.total);
    fs::path file = Scratch(std::to_string(lie.total) + ".flac");
    WriteBytes(file, bytes);
    for (uint32_t flags : {kExamine, kPlayback}) {
      uint32_t stream = Create(Call::Flac, file, flags);
      ASSERT_NE(stream, 0u) << Orvo.ErrorGetCode();
      EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), lie.lengthAtCreation * 8);
      std::vector<float> got = DecodeAll(stream, 8 * 3333);
      EXPECT_TRUE(SameBits(got, Prefix(expected, 2 * lie.delivered)));
      EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), lie.delivered * 8);
      ASSERT_TRUE(Orvo.ChannelSetPosition(stream, (lie.delivered - 5000) * 8, 0));
      std::vector<float> tail = DecodeAll(stream);
      EXPECT_TRUE(SameBits(tail, std::vector<float>(expected.begin() + 2 * (lie.delivered - 5000),
                                                    expected.begin() + 2 * lie.delivered)));
      Orvo.StreamFree(stream);
    }
  }
}

// Damage in the middle: what came before it is delivered cleanly, then the
// stream ends instead of playing noise. FLAC frames carry checksums; ALAC
// has none, so there only damage that the decoder reports (as here) can end
// the stream.
TEST_F(EngineTest, DamagedStreamsEndAtTheDamage) {
  const MediaCase cases[] = {{"flac16_44100.flac", Call::Flac, 44100, 2},
                             {"flac24_small_blocks.flac", Call::Flac, 48000, 2},
                             {"alac16.m4a", Call::Alac, 44100, 2}};
  for (const MediaCase& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<float> expected = Reference(RefName(c), 2);
    std::vector<char> bytes = ReadBytes(Media(c.file));
    size_t middle = bytes.size() / 2;
    for (size_t i = middle; i < middle + 64; ++i) bytes[i] = char(~bytes[i]);
    fs::path file = Scratch("damaged" + fs::path(c.file).extension().string());
    WriteBytes(file, bytes);
    uint32_t stream = Create(c.call, file);
    ASSERT_NE(stream, 0u);
    std::vector<float> got = DecodeAll(stream, 8 * 10000);
    EXPECT_GT(got.size(), expected.size() / 4);
    EXPECT_LT(got.size(), expected.size() * 3 / 4);
    EXPECT_TRUE(SameBits(got, Prefix(expected, got.size())));
    EXPECT_EQ(Orvo.ChannelGetLength(stream, 0), got.size() * 4);
    float buffer[16];
    EXPECT_EQ(Orvo.ChannelGetData(stream, buffer, 64), 0);
    Orvo.StreamFree(stream);
  }
}

}  // namespace
}  // namespace enginetest
