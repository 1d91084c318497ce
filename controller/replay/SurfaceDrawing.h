// The calls that draw into the surface of the context that makes them, as the recorder counts them
// for single-buffered frame ends and final images: the calls that run its draw hook, clears and
// display list calls. Aliases record as their targets, so the targets stand for them.
#pragma once
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "gen/ApiTable.h"

namespace kestrel::replay {

inline bool DrawsIntoSurface(std::uint32_t id) {
    static const std::uint32_t kDrawing[] = {
        api::glDrawArrays, api::glDrawArraysInstancedARB, api::glMultiDrawArraysEXT, api::glDrawElements,
        api::glDrawElementsBaseVertex, api::glDrawElementsInstancedARB, api::glDrawElementsInstancedBaseVertex,
        api::glDrawRangeElementsEXT, api::glDrawRangeElementsBaseVertex, api::glMultiDrawElementsEXT,
        api::glMultiDrawElementsBaseVertex, api::glEnd, api::glDrawArraysIndirect, api::glDrawElementsIndirect,
        api::glMultiDrawArraysIndirectAMD, api::glMultiDrawElementsIndirectAMD, api::glDrawElementArrayATI,
        api::glDrawRangeElementArrayATI, api::glDrawPixels, api::glClear, api::glCallList, api::glCallLists,
    };
    return std::find(std::begin(kDrawing), std::end(kDrawing), id) != std::end(kDrawing);
}

}  // namespace kestrel::replay
