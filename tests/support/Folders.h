// Files of a folder, for the tests that look at what a run wrote.
#pragma once
#include <string>
#include <vector>

// The names of the files (not folders) in `folder` that match `pattern`, sorted.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& pattern);

// Deletes the files of the folder, then the folder.
void RemoveFolder(const std::string& folder);

// The whole file; empty when it cannot be read.
std::string FileBytes(const std::string& path);
