#include "controller/replay/ObjectNames.h"

namespace kestrel::replay {

std::uint64_t ObjectNames::Map(ObjectKind kind, std::uint64_t recorded) const {
    if (recorded == 0) return 0;
    const auto& names = names_[static_cast<int>(kind)];
    const auto found = names.find(Key(ScopeOf(kind), static_cast<std::uint32_t>(recorded)));
    return found == names.end() ? recorded : found->second;
}

void ObjectNames::Made(ObjectKind kind, std::uint64_t recorded, std::uint64_t made, std::uint32_t count) {
    // A failed creation (0) maps nothing: later uses of the recorded name fail as they did.
    if (recorded == 0 || made == 0) return;
    const std::uint32_t scope = ScopeOf(kind);
    auto& names = names_[static_cast<int>(kind)];
    for (std::uint32_t i = 0; i < count; ++i) names[Key(scope, static_cast<std::uint32_t>(recorded + i))] = made + i;
}

std::int32_t ObjectNames::Location(std::uint32_t program, std::int32_t recorded) const {
    if (recorded < 0) return recorded;
    const auto found = locations_.find(Key(program, static_cast<std::uint32_t>(recorded)));
    return found == locations_.end() ? recorded : found->second;
}

void ObjectNames::MadeLocation(std::uint32_t program, std::int32_t recorded, std::int32_t made) {
    if (recorded < 0) return;
    locations_[Key(program, static_cast<std::uint32_t>(recorded))] = made;
    locationsDiffer_ = locationsDiffer_ || made != recorded;
}

std::uint32_t ObjectNames::Attribute(std::uint32_t program, std::uint32_t recorded) const {
    const auto found = attributes_.find(Key(program, recorded));
    return found == attributes_.end() ? recorded : found->second;
}

void ObjectNames::MadeAttribute(std::uint32_t program, std::int32_t recorded, std::int32_t made) {
    // -1: the program has no such attribute, here or there.
    if (recorded < 0 || made < 0) return;
    attributes_[Key(program, static_cast<std::uint32_t>(recorded))] = static_cast<std::uint32_t>(made);
    attributesDiffer_ = attributesDiffer_ || made != recorded;
}

}  // namespace kestrel::replay
