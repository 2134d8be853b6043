#pragma once

// Counts the global operator new calls of this test binary between Start and
// Stop, to check that real-time paths allocate nothing. Stop returns the count.
void StartCountingAllocations();
int StopCountingAllocations();
