#include "controller/reading/PayloadLayout.h"

namespace kestrel {

namespace {
std::uint32_t ExtraBytes(std::uint32_t pointerBits) { return pointerBits == 64 ? 4 : 0; }
}  // namespace

FieldPlace PlaceOf(const description::ApiDescription& api, unsigned field, std::uint32_t pointerBits) {
    const description::FieldDescription& f = api.fields[field];
    std::uint32_t before = 0;
    for (unsigned i = 0; i < field; ++i) before += api.fields[i].pointerSized ? 1 : 0;
    const std::uint32_t extra = ExtraBytes(pointerBits);
    return {f.offset + before * extra, f.width + (f.pointerSized ? extra : 0)};
}

std::uint32_t FixedSizeOf(const description::ApiDescription& api, std::uint32_t pointerBits) {
    return api.fixedSize + api.pointerFields * ExtraBytes(pointerBits);
}

}  // namespace kestrel
