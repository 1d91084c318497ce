// What draw_app and its test share: the numbers of the cases (the glPassThrough value that opens
// each) and the client arrays the program draws from.
#pragma once
#include <cstdint>
#include <vector>

namespace drawcases {

enum Case : int {
    kFirstWglCall,
    kSecondWglCall,
    kCreateContext,
    kMakeCurrent,
    kViewportAfterMove,
    kAttributeList,
    kNoAttributeList,
    kTightVertices,
    kStridedVertices,
    kInterleaved,
    kInterleavedThenVertex,
    kVerticesInBuffer,
    kClientIndices,
    kBufferIndices,
    kUnreadable,
    kReadBackIndices,
    kReadBackRestart,
    kIndirectFromBuffer,
    kMultiDraw,
    kRefusedMultiDraw,
    kReleased,
    kDrawWithoutContext,
    kFullScreen,
    kBitmapContext,
    kBufferThenNewVertexArray,
    kVertexArrayThenClientArray,
    kCaseCount
};

constexpr std::uint32_t kPointCount = 160;

// Three floats per vertex; vertex i lies on pixel column i of row 0 under glOrtho(0, 160, 0, 160).
inline std::vector<float> PointsVertices() {
    std::vector<float> v;
    for (std::uint32_t i = 0; i < kPointCount; ++i) {
        v.push_back(static_cast<float>(i) + 0.5f);
        v.push_back(0.5f);
        v.push_back(0.0f);
    }
    return v;
}

// Four floats per vertex (a 16-byte stride around 12-byte vertices), 16 vertices.
inline std::vector<float> SpacedVertices() {
    std::vector<float> v;
    for (std::uint32_t i = 0; i < 16; ++i) {
        v.push_back(static_cast<float>(i) + 0.5f);
        v.push_back(1.5f);
        v.push_back(0.0f);
        v.push_back(-static_cast<float>(i));  // the gap between vertices, never drawn
    }
    return v;
}

// GL_T2F_V3F: two texture coordinates and three position values per vertex, 4 vertices.
inline std::vector<float> InterleavedT2fV3f() {
    std::vector<float> v;
    for (std::uint32_t i = 0; i < 4; ++i) {
        v.push_back(0.25f * static_cast<float>(i));
        v.push_back(0.75f);
        v.push_back(static_cast<float>(i) + 0.5f);
        v.push_back(2.5f);
        v.push_back(0.0f);
    }
    return v;
}

}  // namespace drawcases
