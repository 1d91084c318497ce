// Result codes of channel, mailbox and statistics-block operations.
#pragma once
#include <cstdint>

namespace kestrel {

constexpr std::uint32_t kChannelOk = 0;
constexpr std::uint32_t kChannelNoMapping = 2;      // mapping could not be created or opened
constexpr std::uint32_t kChannelNoView = 3;         // mapping could not be mapped
constexpr std::uint32_t kChannelAborted = 5;        // a receive was ended by the abort event
constexpr std::uint32_t kChannelMailboxBusy = 7;    // the mailbox's state does not allow the send

}  // namespace kestrel
