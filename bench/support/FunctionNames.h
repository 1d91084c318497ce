// Names for code addresses of this process: the function around an address, from the symbol table
// that the module's file carries (the recorder and the benchmarks keep theirs) or else from its
// exports (the system's modules), as "module!function".
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class FunctionNames {
public:
    std::string Name(std::uintptr_t address);

private:
    struct Module {
        std::string name;
        std::vector<std::pair<std::uint32_t, std::string>> functions;  // by relative address
    };
    Module& Load(HMODULE module);

    std::map<HMODULE, Module> modules_;
};

}  // namespace bench
