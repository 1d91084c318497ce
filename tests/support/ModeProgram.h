// What the round trip's test programs share: a failure with its reason, the GL entry points they
// load, and a main that runs the mode named on the command line for --frames N frames.
//   PROGRAM MODE [--frames N]: exits 0 when the mode ran, 2 on a usage error, 3 with a message when
//   the GL refused something.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrel::test {

struct Failure {
    std::string what;
};

inline void Require(bool ok, const std::string& what) {
    if (!ok) throw Failure{what};
}

template <class Fn>
Fn Load(const char* name) {
    const Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
    Require(fn != nullptr, std::string("wglGetProcAddress(\"") + name + "\") returned null");
    return fn;
}

struct Mode {
    const char* name;
    void (*run)(int frames);
};

template <std::size_t N>
int RunModeProgram(int argc, char** argv, const char* program, const Mode (&modes)[N]) {
    auto usage = [&] {
        std::fprintf(stderr, "usage: %s MODE [--frames N]\n  MODE:", program);
        for (const Mode& mode : modes) std::fprintf(stderr, " %s", mode.name);
        std::fprintf(stderr, "\n");
        return 2;
    };
    if (argc < 2) return usage();
    int frames = 5;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
            if (frames < 1) return usage();
        } else {
            return usage();
        }
    }
    for (const Mode& mode : modes) {
        if (std::strcmp(argv[1], mode.name) != 0) continue;
        try {
            mode.run(frames);
        } catch (const Failure& e) {
            std::fprintf(stderr, "%s %s: %s\n", program, mode.name, e.what.c_str());
            return 3;
        }
        return 0;
    }
    return usage();
}

}  // namespace kestrel::test
