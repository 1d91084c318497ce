// The records of recorded calls in a capture: API records and the alias markers before them, without
// the stream's and the capturer's own records (opening records, thread switches, drawables).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"

struct CallRecord {
    std::uint32_t id;
    std::vector<std::uint8_t> payload;
};

std::vector<CallRecord> CallRecords(const std::vector<kestrel::CaptureRecord>& records);

// "0x40000000 [8] 00 01 ..." for failure messages.
std::string Describe(const CallRecord& record);
std::string Describe(const std::vector<CallRecord>& records);

bool operator==(const CallRecord& a, const CallRecord& b);
