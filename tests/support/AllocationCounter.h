#pragma once

// Counts the global operator new calls of this test program between Start and
// Stop, to check that real-time paths allocate nothing. Stop returns the count.
// Linked into every test program. On Linux the replacement also serves a
// plug-in library the program loads (its C++ runtime calls resolve to the
// program's definitions); a Windows DLL carries its own static runtime.
void StartCountingAllocations();
int StopCountingAllocations();
