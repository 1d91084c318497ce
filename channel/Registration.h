// What the recorder takes from the controlling process's registration reply.
#pragma once
#include <cstdint>

#include "channel/CaptureSettings.h"

namespace kestrel {

struct Registration {
    static constexpr std::uint32_t kNameSize = 260;

    char captureName[kNameSize];
    std::uint32_t instanceId;
    CaptureSettings settings;
};

enum class RegistrationCheck : std::uint32_t {
    kAccepted = 0,
    kNotRegisterReply = 1,  // first byte is not 2
    kTruncated = 2,         // shorter than a RegisterReply
    kNameTooLong = 3,       // no NUL within the first 260 bytes of the base name
};

// Checks a reply received after Register and, only when it is accepted, fills the registration.
RegistrationCheck ParseRegisterReply(const void* reply, std::uint32_t size, Registration& registration);

}  // namespace kestrel
