// The table of recorded calls and the exact records they must give. Compiled into the program that
// makes the calls under capture (record_app) and into the test that checks its capture.
#pragma once
#include <string>
#include <vector>

#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/RecorderModule.h"
#include "tests/glrecord/support/Report.h"

// What a case's call has at hand in the program under capture.
struct CaseContext {
    RecorderModule& recorder;
    ReportWriter& report;
    std::string scope;

    template <class T>
    void Put(const std::string& key, T value) {
        report.Put(scope, key, value);
    }
    // A fact that only the program can see (what it was handed); reported when false.
    void Expect(bool fact, const char* what) {
        if (!fact) report.Put(scope, "failed", what);
    }
    // The index of a function of the fake, as its log names it.
    std::uint32_t FakeIndex(const char* name) const;
    void* FakeStub(const char* name) { return recorder.fake().stubAddress(FakeIndex(name)); }
};

struct PayloadCase {
    const char* name;
    // The functions of the fake that the call must reach, in order: "name" or "name*count".
    const char* reached;
    void (*call)(CaseContext&);
    // The records the call must give, from what the program reported under the case's name.
    std::vector<CallRecord> (*expect)(const Report& report, const std::string& scope);
};

const std::vector<PayloadCase>& PayloadCases();

// A case's name as the report spells it: one word.
std::string ScopeOf(const char* caseName);
