// What a call is to the report's reader: a draw (highlighted and counted), the start or end of one of
// the application's debug groups (which group the calls), or any other call.
#pragma once
#include <cstdint>

namespace kestrel {

enum class CallRole : std::uint8_t { Other = 0, Draw = 1, PushGroup = 2, PopGroup = 3 };

// By API id; an alias records under its target's id, so the vendor names need no entries.
CallRole RoleOfCall(std::uint32_t apiId);

}  // namespace kestrel
