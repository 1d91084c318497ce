#include "controller/replay/ReplayCall.h"

#include <vector>

#include "controller/replay/Replayer.h"

namespace kestrel::replay {

const void* ReplayCall::Data(const void* recorded, unsigned binding) {
    if (BlockSize() > 0) return Block();
    if (!recorded) return nullptr;
    if (binding && replayer_.Integer(binding) != 0) return recorded;
    return replayer_.EmptyData();
}

bool ReplayCall::Unrecorded(const void* recorded, const char* parameter) {
    if (recorded && !failedParameter_) failedParameter_ = parameter;
    return !recorded;
}

bool ReplayCall::Holds(const void* recorded, unsigned binding, std::uint32_t expected, const char* parameter) {
    if (!recorded || expected == 0) return true;
    if (BlockSize() == 0 && binding && replayer_.Integer(binding) != 0) return true;
    return BlockSize() >= expected || Damaged(parameter, expected);
}

bool ReplayCall::HoldsNames(const void* recorded, std::uint32_t expected, const char* parameter) {
    if (!Holds(recorded, 0, expected, parameter)) return false;
    if (expected <= kOutputBytes) return true;
    failedParameter_ = parameter;  // more names than the replay has room for
    return false;
}

bool ReplayCall::HoldsString(const void* recorded, const char* parameter) {
    if (!recorded || std::memchr(Block(), 0, BlockSize())) return true;
    return Damaged(parameter, BlockSize() + 1);
}

void* ReplayCall::OutputBuffer() { return replayer_.OutputBuffer(); }

std::uint64_t ReplayCall::MapName(ObjectKind kind, std::uint64_t recorded) { return replayer_.names().Map(kind, recorded); }

const std::uint32_t* ReplayCall::Names(ObjectKind kind, const std::uint8_t* recorded, std::uint32_t count) {
    auto* names = Output<std::uint32_t>();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t name = 0;
        std::memcpy(&name, recorded + 4 * i, 4);
        names[i] = static_cast<std::uint32_t>(replayer_.names().Map(kind, name));
    }
    return names;
}

void ReplayCall::MadeNames(ObjectKind kind, const std::uint8_t* recorded, std::uint32_t count, const std::uint32_t* made) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t name = 0;
        std::memcpy(&name, recorded + 4 * i, 4);
        replayer_.names().Made(kind, name, made[i]);
    }
}

void ReplayCall::MadeRange(ObjectKind kind, std::uint64_t recorded, std::uint64_t made, std::int32_t count) {
    if (count > 0) replayer_.names().Made(kind, recorded, made, static_cast<std::uint32_t>(count));
}

std::int32_t ReplayCall::Location(std::uint32_t program, std::int32_t recorded) {
    if (!replayer_.names().locationsDiffer()) return recorded;
    return replayer_.names().Location(program ? program : replayer_.CurrentProgram(), recorded);
}

std::uint32_t ReplayCall::Attribute(std::uint32_t recorded) { return replayer_.AttributeIndex(recorded); }

void ReplayCall::MadeAttribute(std::uint32_t program, std::int32_t recorded, std::int32_t made) {
    replayer_.names().MadeAttribute(program ? program : replayer_.CurrentProgram(), recorded, made);
}

void ReplayCall::MadeLocation(std::uint32_t program, std::int32_t recorded, std::int32_t made) {
    replayer_.names().MadeLocation(program ? program : replayer_.CurrentProgram(), recorded, made);
}

}  // namespace kestrel::replay
