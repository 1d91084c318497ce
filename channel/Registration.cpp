#include "channel/Registration.h"

#include <cstring>

#include "channel/MessageCode.h"
#include "channel/RegisterReply.h"

namespace kestrel {

static_assert(Registration::kNameSize == RegisterReply::kBaseNameMaxLength + 1);

RegistrationCheck ParseRegisterReply(const void* reply, std::uint32_t size, Registration& registration) {
    if (size < 1 || static_cast<const std::uint8_t*>(reply)[0] != kCodeRegisterReply)
        return RegistrationCheck::kNotRegisterReply;
    if (size < sizeof(RegisterReply)) return RegistrationCheck::kTruncated;
    const auto* message = static_cast<const RegisterReply*>(reply);
    // A longer name is outside the protocol; cutting it would name blocks that do not exist.
    const void* end = std::memchr(message->baseName, '\0', Registration::kNameSize);
    if (!end) return RegistrationCheck::kNameTooLong;
    const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - message->baseName);
    std::memcpy(registration.captureName, message->baseName, length + 1);
    registration.instanceId = message->instanceId;
    std::memcpy(&registration.settings, &message->settings, sizeof(CaptureSettings));
    return RegistrationCheck::kAccepted;
}

}  // namespace kestrel
