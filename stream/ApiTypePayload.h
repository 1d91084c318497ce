#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Third opening record: which graphics API the capture is of.
struct ApiTypePayload {
    static constexpr uint32_t kId = kApiTypeRecord;
    static constexpr uint32_t kPointerBits = kestrel::kPointerBits;
    uint32_t apiType;      // code of environment/ApiTypeName.h
    uint32_t pointerBits;  // the process's pointer width: 32 or 64
};
#pragma pack(pop)

static_assert(sizeof(ApiTypePayload) == 8);
static_assert(offsetof(ApiTypePayload, apiType) == 0);
static_assert(offsetof(ApiTypePayload, pointerBits) == 4);

}  // namespace kestrel
