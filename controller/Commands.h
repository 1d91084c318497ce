// The kestrel command's subcommands; each takes the words after its name and returns the exit code.
#pragma once
#include <string>
#include <vector>

namespace kestrel {

int RunCapture(const std::vector<std::string>& words);
int RunDump(const std::vector<std::string>& words);
int RunStats(const std::vector<std::string>& words);
int RunReplay(const std::vector<std::string>& words);
int RunReport(const std::vector<std::string>& words);

}  // namespace kestrel
