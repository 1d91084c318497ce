#pragma once
#include <cstddef>
#include <cstdint>

#include "environment/SystemDescription.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Fourth opening record; a reader takes the text up to its first zero byte.
struct SystemDescriptionPayload {
    static constexpr uint32_t kId = kSystemDescriptionRecord;
    char text[kSystemDescriptionSize];
};
#pragma pack(pop)

static_assert(sizeof(SystemDescriptionPayload) == 260);
static_assert(offsetof(SystemDescriptionPayload, text) == 0);

}  // namespace kestrel
