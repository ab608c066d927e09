// The program's one message-box operation. Every message the user must see
// goes through ShowMessage; tools and tests that run without a user route the
// messages to a sink of their own instead of showing boxes.
#pragma once
#include <cstdint>
#include <string_view>

namespace shell {

// Message-box style flags used by the program (the platform's values).
constexpr uint32_t kStyleOk = 0x0;
constexpr uint32_t kStyleIconError = 0x10;
constexpr uint32_t kStyleIconWarning = 0x30;
constexpr uint32_t kStyleIconInformation = 0x40;
constexpr uint32_t kStyleSystemModal = 0x1000;

// Returns the platform's answer code (1 for OK).
using MessageSink = int (*)(std::u16string_view title, std::u16string_view text, uint32_t style);

// Shows a message box (Windows: parent is the foreground window when it is
// ours). Natively, without a sink, the message goes to standard error.
int ShowMessage(std::u16string_view title, std::u16string_view text, uint32_t style);

// Routes every later message to sink instead; null restores the default.
void SetMessageSink(MessageSink sink);

}  // namespace shell
