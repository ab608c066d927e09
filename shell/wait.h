// The program's one wait: a plain sleep in milliseconds. On Windows its first
// use raises the system timer resolution to 1 ms, so that the short polling
// sleeps of the program (1 ms, 20 ms) last what they say.
#pragma once
#include <cstdint>

namespace shell {
void Wait(uint32_t milliseconds);
}
