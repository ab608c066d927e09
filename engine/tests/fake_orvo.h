// A stand-in for the audio engine library reached through support::Orvo.
// Each file serves generated frames: frame k of file id is the two 32-bit
// words {id, k}, so any copy, gap, repeat or shift in the output shows.
// The files must exist on disk (the decoder looks whether it can read them).
#pragma once
#include <cstdint>
#include <string>

namespace fakeorvo {

void Install();  // points support::Orvo here and forgets every file and stream
void AddFile(const std::u16string& path, uint32_t id, int64_t lengthBytes);
// The next `times` creates of path fail with code.
void Refuse(const std::u16string& path, int times, int32_t code);
// GetData on this file waits until unblocked, or fails when the stream is
// stopped; a stubborn block does not even give way to a stop.
void Block(const std::u16string& path, bool blocked, bool stubborn = false);
// GetData on this file fails at once.
void FailData(const std::u16string& path);
int OpenStreams();
int Creates();
// True while some GetData waits on a blocked file.
bool InsideBlockedRead();

}  // namespace fakeorvo
