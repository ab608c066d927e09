// The few platform services the engine needs: its waits, the counting
// semaphore, the feeder thread and the engine buffers' memory. Natively these
// are std::thread and atomics (platform_posix.cpp); on Windows the system's
// own threads and semaphore (platform_win.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

namespace engine::platform {

// Every fixed delay and poll of the engine goes through here; it is the
// program's one wait unless a test has installed a faster clock.
void Sleep(uint32_t milliseconds);
using SleepHook = void (*)(uint32_t milliseconds);
// Null restores the program's wait. Tests shorten the delays this way; the
// delays themselves stay in the engine as behaviour.
void SetSleepHookForTesting(SleepHook hook);

// A counting semaphore that starts at 0. Release never blocks and takes no
// lock, so the output callback may call it.
class Semaphore {
 public:
  virtual ~Semaphore() = default;
  virtual void Release() = 0;
  // Takes one count; false when none came within timeoutMs.
  virtual bool Take(uint32_t timeoutMs) = 0;
};
Semaphore* CreateCountingSemaphore(int64_t maximum);

// A thread that does not run its procedure until Resume.
struct Thread;
Thread* CreateSuspendedThread(void (*procedure)());
void ResumeThread(Thread* thread);
// priority on the scale 1..32 (16 normal); 4 is below normal.
void SetThreadPriority(Thread* thread, int32_t priority);
// True once the thread has ended (waits up to timeoutMs for it).
bool WaitThreadEnd(Thread* thread, uint32_t timeoutMs);
// Only for a thread that has ended.
void CloseThread(Thread* thread);
// A non-zero number naming the thread.
uint32_t ThreadNumber(Thread* thread);

// Memory that reads as zero and is committed by the system only where it is
// written; null when it cannot be had.
void* ReserveZeroedMemory(size_t bytes);
uint64_t TotalPhysicalMemory();

// Takes the events waiting in the calling thread's window event queue, one
// every 1 ms, without handling them.
void DropPendingEvents();

}  // namespace engine::platform
