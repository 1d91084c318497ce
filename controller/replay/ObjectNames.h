// The replay's names for the objects a capture names. Textures, buffers, shaders and the other shared
// kinds are looked up in the share group of the current context, containers (vertex arrays,
// framebuffers, ...) in the context itself. A name no recorded call made stands for itself, as the
// GL lets a program bind names it never generated.
#pragma once
#include <cstdint>
#include <unordered_map>

#include "controller/replay/ObjectKind.h"

namespace kestrel::replay {

class ObjectNames {
public:
    // The share group and context (recorded handles) that lookups use from now on.
    void SetScope(std::uint32_t group, std::uint32_t context) {
        group_ = group;
        context_ = context;
    }
    // Names are 32-bit; sync objects are pointers, as wide as the recorded process's and the
    // replay's: they are kept whole and looked up by their low 32 bits.
    std::uint64_t Map(ObjectKind kind, std::uint64_t recorded) const;
    // `count` names from `recorded` on are the replay's names from `made` on.
    void Made(ObjectKind kind, std::uint64_t recorded, std::uint64_t made, std::uint32_t count = 1);

    // Uniform locations and generic attribute indices, by the replay's program name. Until one of them
    // differs from the capture's, every lookup stands for itself and needs no program.
    std::int32_t Location(std::uint32_t program, std::int32_t recorded) const;
    void MadeLocation(std::uint32_t program, std::int32_t recorded, std::int32_t made);
    std::uint32_t Attribute(std::uint32_t program, std::uint32_t recorded) const;
    void MadeAttribute(std::uint32_t program, std::int32_t recorded, std::int32_t made);
    bool locationsDiffer() const { return locationsDiffer_; }
    bool attributesDiffer() const { return attributesDiffer_; }

private:
    static constexpr int kKinds = static_cast<int>(ObjectKind::Query) + 1;
    static std::uint64_t Key(std::uint32_t scope, std::uint32_t name) {
        return static_cast<std::uint64_t>(scope) << 32 | name;
    }
    std::uint32_t ScopeOf(ObjectKind kind) const { return IsContainer(kind) ? context_ : group_; }

    std::unordered_map<std::uint64_t, std::uint64_t> names_[kKinds];  // by kind
    std::unordered_map<std::uint64_t, std::int32_t> locations_;
    std::unordered_map<std::uint64_t, std::uint32_t> attributes_;
    bool locationsDiffer_ = false;
    bool attributesDiffer_ = false;
    std::uint32_t group_ = 0;
    std::uint32_t context_ = 0;
};

}  // namespace kestrel::replay
