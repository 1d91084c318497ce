#include "tests/support/ProcessTreeJob.h"

#include <windows.h>

void EndStartedProcessesWithThisOne() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // Breakaway stays allowed for a program that asks for it; no test program does.
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, GetCurrentProcess()))
        CloseHandle(job);
    // Otherwise the handle stays open until the process ends: closing it is what ends the others.
}
