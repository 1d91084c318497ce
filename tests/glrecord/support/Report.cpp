#include "tests/glrecord/support/Report.h"

#include <cstdlib>
#include <fstream>

ReportWriter::ReportWriter(const char* path) : file_(std::fopen(path, "w")) {}

ReportWriter::~ReportWriter() {
    if (file_) std::fclose(file_);
}

void ReportWriter::Put(const std::string& scope, const std::string& key, const std::string& value) {
    if (!file_) return;
    std::fprintf(file_, "%s %s %s\n", scope.c_str(), key.c_str(), value.c_str());
    std::fflush(file_);  // a program that crashes later still leaves what it had reported
}

void ReportWriter::Put(const std::string& scope, const std::string& key, std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    Put(scope, key, std::string(text));
}

void ReportWriter::Put(const std::string& scope, const std::string& key, const void* address) {
    // At the program's own width: a 64-bit program's addresses may lie above 4 GiB.
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
    Put(scope, key, std::string(text));
}

void ReportWriter::PutBytes(const std::string& scope, const std::string& key, const void* data, std::size_t size) {
    static const char* digits = "0123456789abcdef";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    Put(scope, key, text.empty() ? std::string("-") : text);
}

bool Report::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second == std::string::npos) continue;
        values_[line.substr(0, second)] = line.substr(second + 1);
    }
    return true;
}

std::string Report::Text(const std::string& scope, const std::string& key) const {
    auto found = values_.find(scope + " " + key);
    return found == values_.end() ? std::string() : found->second;
}

std::uint32_t Report::U32(const std::string& scope, const std::string& key) const {
    return static_cast<std::uint32_t>(std::strtoull(Text(scope, key).c_str(), nullptr, 0));
}

std::uint64_t Report::Address(const std::string& scope, const std::string& key) const {
    return std::strtoull(Text(scope, key).c_str(), nullptr, 0);
}

std::vector<std::uint8_t> Report::Bytes(const std::string& scope, const std::string& key) const {
    const std::string text = Text(scope, key);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; text != "-" && i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

bool Report::Has(const std::string& scope, const std::string& key) const {
    return values_.count(scope + " " + key) != 0;
}
