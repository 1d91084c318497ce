// Session channel reply 2 to Register: the capture's base name, the instance id and the settings.
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/CaptureSettings.h"

namespace kestrel {

#pragma pack(push, 1)
struct RegisterReply {
    static constexpr std::uint32_t kBaseNameSize = 263;
    static constexpr std::uint32_t kBaseNameMaxLength = 259;  // longer names are outside the protocol

    std::uint8_t code;
    char baseName[kBaseNameSize];
    std::uint32_t instanceId;
    CaptureSettings settings;
};
#pragma pack(pop)

static_assert(offsetof(RegisterReply, code) == 0);
static_assert(offsetof(RegisterReply, baseName) == 1);
static_assert(offsetof(RegisterReply, instanceId) == 264);
static_assert(offsetof(RegisterReply, settings) == 268);
static_assert(sizeof(RegisterReply) == 1116);

}  // namespace kestrel
