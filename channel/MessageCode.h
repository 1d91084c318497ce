// The one-byte codes that open every message on the session and instance channels.
#pragma once
#include <cstdint>

namespace kestrel {

// Session channel: requests from the recorder and the controlling process's replies.
constexpr std::uint8_t kCodeRegister = 1;
constexpr std::uint8_t kCodeRegisterReply = 2;
constexpr std::uint8_t kCodeInstanceReady = 3;
constexpr std::uint8_t kCodeInstanceFinished = 4;
constexpr std::uint8_t kCodeGrowStatsData = 7;

// Instance channel: commands from the controlling process and the recorder's replies.
constexpr std::uint8_t kCodeQueryInstance = 25;
constexpr std::uint8_t kCodeInstanceAddress = 26;
constexpr std::uint8_t kCodeSetInstanceValue = 27;
constexpr std::uint8_t kCodeToggleInstanceFlag = 29;
constexpr std::uint8_t kCodeLinkInstance = 30;

// A Status reply carries 0 on success; any other byte is a refusal.
constexpr std::uint8_t kStatusAccepted = 0;
constexpr std::uint8_t kStatusRefused = 1;

}  // namespace kestrel
