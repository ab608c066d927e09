// The engine's wait, shared by both platforms. Thread: any.
#include <atomic>

#include "engine/platform.h"
#include "shell/wait.h"

namespace engine::platform {

namespace {
std::atomic<SleepHook> Hook{nullptr};
}

void Sleep(uint32_t milliseconds) {
  if (SleepHook hook = Hook.load(std::memory_order_acquire)) return hook(milliseconds);
  shell::Wait(milliseconds);
}

void SetSleepHookForTesting(SleepHook hook) { Hook.store(hook, std::memory_order_release); }

}  // namespace engine::platform
