// Native platform seam: std::thread and atomics. Thread: any, as documented in
// platform.h.
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/platform.h"

namespace engine::platform {

namespace {

// A count in one atomic word: Release is a compare-and-swap that never
// waits, so the output callback may call it; Take polls in short sleeps.
class AtomicSemaphore : public Semaphore {
 public:
  explicit AtomicSemaphore(int64_t maximum) : maximum_(maximum) {}
  void Release() override {
    int64_t c = count_.load(std::memory_order_relaxed);
    while (c < maximum_ && !count_.compare_exchange_weak(c, c + 1, std::memory_order_release)) {
    }
  }
  bool Take(uint32_t timeoutMs) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int64_t c = count_.load(std::memory_order_relaxed);
      while (c > 0) {
        if (count_.compare_exchange_weak(c, c - 1, std::memory_order_acquire)) return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }

 private:
  const int64_t maximum_;
  std::atomic<int64_t> count_{0};
};

std::atomic<uint32_t> NextThreadNumber{1};

}  // namespace

struct Thread {
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  bool go = false;
  bool ended = false;
  uint32_t number = 0;
};

Semaphore* CreateCountingSemaphore(int64_t maximum) { return new AtomicSemaphore(maximum); }

Thread* CreateSuspendedThread(void (*procedure)()) {
  auto* t = new Thread;
  t->number = NextThreadNumber.fetch_add(1);
  t->thread = std::thread([t, procedure] {
    {
      std::unique_lock<std::mutex> hold(t->lock);
      t->changed.wait(hold, [t] { return t->go; });
    }
    procedure();
    std::lock_guard<std::mutex> hold(t->lock);
    t->ended = true;
    t->changed.notify_all();
  });
  return t;
}

void ResumeThread(Thread* t) {
  std::lock_guard<std::mutex> hold(t->lock);
  t->go = true;
  t->changed.notify_all();
}

void SetThreadPriority(Thread*, int32_t) {
  // Natively every thread keeps the default priority: the tests must hold
  // whatever the scheduler does.
}

bool WaitThreadEnd(Thread* t, uint32_t timeoutMs) {
  std::unique_lock<std::mutex> hold(t->lock);
  return t->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [t] { return t->ended; });
}

void CloseThread(Thread* t) {
  t->thread.join();
  delete t;
}

uint32_t ThreadNumber(Thread* t) { return t->number; }

void* ReserveZeroedMemory(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

uint64_t TotalPhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : 0;
}

void DropPendingEvents() {}

}  // namespace engine::platform
