#include "tests/glrecord/support/CallShapes.h"

#include <map>

const CallShape kCallShapes[] = {
#define KESTREL_CALL_SHAPE(index, name, bytes, params, result, id, alias, hand) \
    {index, name, bytes, params, result, id, alias, false, hand},
#define KESTREL_PASS_SHAPE(slot, name, bytes) {slot, name, bytes, "", 'i', 0u, -1, true, false},
#include "test/CallShapes.inc"
#undef KESTREL_CALL_SHAPE
#undef KESTREL_PASS_SHAPE
};
const std::uint32_t kCallShapeCount = sizeof kCallShapes / sizeof kCallShapes[0];

const CallShape* FindShape(const std::string& name) {
    static const std::map<std::string, const CallShape*> byName = [] {
        std::map<std::string, const CallShape*> map;
        for (std::uint32_t i = 0; i < kCallShapeCount; ++i) map[kCallShapes[i].name] = &kCallShapes[i];
        return map;
    }();
    auto found = byName.find(name);
    return found == byName.end() ? nullptr : found->second;
}
