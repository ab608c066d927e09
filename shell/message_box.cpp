#include "shell/message_box.h"

#include <atomic>

namespace shell {

int ShowPlatformMessage(std::u16string_view title, std::u16string_view text, uint32_t style);

namespace {
// Set once by a tool or test before any message can be raised; read by the
// window thread and the feeder alike, hence atomic.
std::atomic<MessageSink> Sink{nullptr};
}  // namespace

int ShowMessage(std::u16string_view title, std::u16string_view text, uint32_t style) {
  if (MessageSink sink = Sink.load(std::memory_order_acquire)) return sink(title, text, style);
  return ShowPlatformMessage(title, text, style);
}

void SetMessageSink(MessageSink sink) { Sink.store(sink, std::memory_order_release); }

}  // namespace shell
