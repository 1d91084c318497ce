// Writes a long synthetic capture for bench_report.sh: FRAMES frames of CALLS calls each, in debug
// groups with draws, uniforms, texture binds and now and then a buffer upload; frames of 16.7 ms
// with some jitter and a slow frame now and then. Built frame by frame with the tests' CaptureBuilder
// and appended to the file, so that a capture of many gigabytes needs no more memory than a frame.
//   usage: synthetic_capture.exe OUT.kcap [FRAMES [CALLS]]   (default 100000 frames of 500 calls)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CaptureBuilder.h"
#include "gen/ApiDescription.h"

namespace {
using kestrel::test::CaptureBuilder;
using kestrel::test::Payload;

struct Call {
    std::uint32_t id;
    Payload payload;
};

// The call with these leading 32-bit values, the rest of its fixed part zero, and a block after it.
Call Make(const char* name, std::vector<std::uint32_t> values, const std::string& block = {}) {
    const std::uint32_t id = CaptureBuilder::ApiId(name);
    const kestrel::description::ApiDescription* api = kestrel::description::FindApi(id);
    Payload payload;
    for (std::uint32_t value : values) payload.U32(value);
    if (api && api->fixedSize > values.size() * 4) payload.Fill(api->fixedSize - values.size() * 4, 0);
    if (!block.empty()) payload.Raw(block.data(), block.size());
    return {id, payload};
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: synthetic_capture.exe OUT.kcap [FRAMES [CALLS]]\n");
        return 2;
    }
    const unsigned long frames = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
    const unsigned long calls = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 500;
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || frames == 0 || calls < 8) return 1;

    const Call push = Make("glPushDebugGroup", {0x824A, 1, 0xFFFFFFFFu, 0x00402000});
    const Call pop = Make("glPopDebugGroup", {});
    const Call clear = Make("glClear", {0x4100});
    const Call swap = Make("wglSwapBuffers", {0x10001, 1});
    const Call body[] = {
        Make("glBindTexture", {0x0DE1, 7}),
        Make("glUniform4fARB", {3, 0x3F800000, 0, 0, 0x3F800000}),
        Make("glDrawArrays", {0x0004, 0, 36}),
        Make("glBindTexture", {0x0DE1, 8}),
        Make("glDrawElements", {0x0004, 6, 0x1403, 0}),
    };
    const Call upload = Make("glBufferSubDataARB", {0x8892, 0, 256}, std::string(256, '\x5A'));

    CaptureBuilder builder;
    builder.Opening("Windows 10 | Synthetic Adapter | 1.0").ThreadSwitch(100, 0x10000);
    std::int64_t time = 1000000;
    std::uint64_t written = 0;
    for (unsigned long frame = 1; frame <= frames; ++frame) {
        // 16.7 ms at 10 MHz, a little jitter, and a frame three times as long every 997th.
        time += 166667 + static_cast<std::int64_t>((frame * 7919) % 20000) + (frame % 997 == 0 ? 333333 : 0);
        builder.At(time - static_cast<std::int64_t>(calls) * 10);
        builder.Record(clear.id, clear.payload).Record(push.id, push.payload);
        for (unsigned long i = 0; i + 4 < calls; ++i) {
            const Call& call = (frame + i) % 50 == 0 ? upload : body[i % 5];
            builder.Record(call.id, call.payload);
        }
        builder.Record(pop.id, pop.payload).Record(swap.id, swap.payload);
        if (std::fwrite(builder.bytes().data(), 1, builder.size(), file) != builder.size()) return 1;
        written += builder.size();
        builder = CaptureBuilder();
    }
    if (std::fclose(file) != 0) return 1;
    std::printf("%lu frames of %lu calls, %.1f MB\n", frames, calls, static_cast<double>(written) / 1e6);
    return 0;
}
