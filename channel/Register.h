// Session channel request 1: the recorder announces its process (reply: RegisterReply).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "channel/MessageCode.h"
#include "channel/SignExtendedAddress.h"
#include "stream/PointerWidth.h"

namespace kestrel {

#pragma pack(push, 1)
struct Register {
    static constexpr std::uint32_t kFileNameSize = 264;
    static constexpr std::uint32_t kFileNameMaxLength = 258;  // characters before the NUL
    static constexpr std::uint32_t kPointerBits = kestrel::kPointerBits;  // as the stream's record 201 says

    std::uint8_t code;
    std::uint8_t padding1[3];
    std::uint32_t apiType;
    std::uint32_t pointerBits;
    std::uint32_t processId;
    char fileName[kFileNameSize];  // the executable's file name without its folder
    std::uint64_t capturerAddress;
};
#pragma pack(pop)

static_assert(offsetof(Register, code) == 0);
static_assert(offsetof(Register, apiType) == 4);
static_assert(offsetof(Register, pointerBits) == 8);
static_assert(offsetof(Register, processId) == 12);
static_assert(offsetof(Register, fileName) == 16);
static_assert(offsetof(Register, capturerAddress) == 280);
static_assert(sizeof(Register) == 288);

// Builds the request from the executable's full path; the folder is dropped, the name cut to 258 characters.
inline Register MakeRegister(std::uint32_t apiType, std::uint32_t processId, const char* executablePath,
                             const void* capturer) {
    Register message{};
    message.code = kCodeRegister;
    message.apiType = apiType;
    message.pointerBits = Register::kPointerBits;
    message.processId = processId;
    const char* name = executablePath;
    for (const char* p = executablePath; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    std::size_t length = std::strlen(name);
    if (length > Register::kFileNameMaxLength) length = Register::kFileNameMaxLength;
    std::memcpy(message.fileName, name, length);
    message.capturerAddress = SignExtendedAddress(capturer);
    return message;
}

}  // namespace kestrel
