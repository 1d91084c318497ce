// What a program under capture tells its test besides the capture: "<case> <key> <value>" lines in
// a file named on its command line, such as the addresses it passed or was handed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class ReportWriter {
public:
    explicit ReportWriter(const char* path);
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    bool ok() const { return file_ != nullptr; }
    void Put(const std::string& scope, const std::string& key, const std::string& value);
    void Put(const std::string& scope, const std::string& key, const char* value) { Put(scope, key, std::string(value)); }
    void Put(const std::string& scope, const std::string& key, std::uint32_t value);
    void Put(const std::string& scope, const std::string& key, const void* address);
    // Bytes of the program's own memory, as hex ("-" for none); Report::Bytes reads them back.
    void PutBytes(const std::string& scope, const std::string& key, const void* data, std::size_t size);

private:
    std::FILE* file_;
};

class Report {
public:
    bool Load(const std::string& path);
    // Empty when the program reported nothing under that key.
    std::string Text(const std::string& scope, const std::string& key) const;
    std::uint32_t U32(const std::string& scope, const std::string& key) const;
    // A pointer or handle the program reported, whole at either width.
    std::uint64_t Address(const std::string& scope, const std::string& key) const;
    std::vector<std::uint8_t> Bytes(const std::string& scope, const std::string& key) const;
    bool Has(const std::string& scope, const std::string& key) const;

private:
    std::map<std::string, std::string> values_;  // "<scope> <key>" -> value
};
