// Windows platform seam: the system's threads, semaphore and virtual memory.
// Thread: any, as documented in platform.h.
#include <windows.h>

#include "engine/platform.h"
#include "shell/wait.h"

namespace engine::platform {

namespace {

class SystemSemaphore : public Semaphore {
 public:
  explicit SystemSemaphore(int64_t maximum)
      : handle_(CreateSemaphoreW(nullptr, 0, LONG(maximum), nullptr)) {}
  ~SystemSemaphore() override {
    if (handle_) CloseHandle(handle_);
  }
  // A kernel call that never waits; past the maximum it fails, harmlessly.
  void Release() override { ReleaseSemaphore(handle_, 1, nullptr); }
  bool Take(uint32_t timeoutMs) override { return WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

DWORD WINAPI Trampoline(LPVOID parameter) {
  reinterpret_cast<void (*)()>(parameter)();
  return 0;
}

}  // namespace

struct Thread {
  HANDLE handle;
  DWORD id;
};

Semaphore* CreateCountingSemaphore(int64_t maximum) { return new SystemSemaphore(maximum); }

Thread* CreateSuspendedThread(void (*procedure)()) {
  DWORD id = 0;
  HANDLE handle = CreateThread(nullptr, 0, &Trampoline, reinterpret_cast<LPVOID>(procedure), CREATE_SUSPENDED, &id);
  if (handle == nullptr) return nullptr;
  return new Thread{handle, id};
}

void ResumeThread(Thread* t) { ::ResumeThread(t->handle); }

void SetThreadPriority(Thread* t, int32_t priority) {
  int level = THREAD_PRIORITY_NORMAL;
  if (priority == 1) level = THREAD_PRIORITY_LOWEST;
  else if (priority >= 2 && priority <= 15) level = THREAD_PRIORITY_BELOW_NORMAL;
  else if (priority == 31) level = THREAD_PRIORITY_HIGHEST;
  else if (priority == 32) level = THREAD_PRIORITY_TIME_CRITICAL;
  else if (priority > 16) level = THREAD_PRIORITY_ABOVE_NORMAL;
  ::SetThreadPriority(t->handle, level);
}

bool WaitThreadEnd(Thread* t, uint32_t timeoutMs) { return WaitForSingleObject(t->handle, timeoutMs) == WAIT_OBJECT_0; }

void CloseThread(Thread* t) {
  CloseHandle(t->handle);
  delete t;
}

uint32_t ThreadNumber(Thread* t) { return t->id; }

void* ReserveZeroedMemory(size_t bytes) {
  // Committed pages read as zero and enter the working set only when touched.
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

uint64_t TotalPhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

void DropPendingEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) shell::Wait(1);
}

}  // namespace engine::platform
