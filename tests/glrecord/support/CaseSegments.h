// A capture split into the cases of the program that made it: each case opens with
// glPassThrough(its number) and runs to the next marker (glPassThrough(-1) closes it).
#pragma once
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "tests/glrecord/support/CallRecords.h"

// The records of each case in order, thread switches and alias markers left out; drawables and
// client memory blocks kept.
std::vector<std::vector<CallRecord>> CaseSegments(const std::vector<kestrel::CaptureRecord>& records, int caseCount);
