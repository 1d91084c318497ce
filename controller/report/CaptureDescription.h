// What a capture's opening records say about it: the graphics API, the pointer width of the process
// that made it and the system it ran on.
#pragma once
#include <cstdint>
#include <string>

#include "controller/reading/RecordView.h"

namespace kestrel {

class CaptureDescription {
public:
    // The opening records need their payloads up to this many bytes.
    static constexpr std::uint32_t kPayloadNeeded = 260;

    void Add(const RecordView& record);

    bool hasApiType() const { return hasApiType_; }
    std::uint32_t apiType() const { return apiType_; }
    // The API type record's second field: 32 for the captures of a 32-bit recorder, 64 for a 64-bit one.
    std::uint32_t pointerBits() const { return pointerBits_; }
    const std::string& system() const { return system_; }

private:
    bool hasApiType_ = false;
    std::uint32_t apiType_ = 0;
    std::uint32_t pointerBits_ = 0;
    std::string system_;
};

}  // namespace kestrel
