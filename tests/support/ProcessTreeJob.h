// Every process a test program starts ends with it.
#pragma once

// Puts this program in a kill-on-close job whose only handle it holds: every process it starts, and
// every process those start, ends when it ends, also when it fails, crashes or is killed at its time
// limit. Call first thing in main.
void EndStartedProcessesWithThisOne();
