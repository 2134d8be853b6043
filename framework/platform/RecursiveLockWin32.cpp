#ifdef _WIN32
#include <windows.h>

#include <new>

#include "framework/platform/RecursiveLock.h"

static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");

static CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

RecursiveLock::RecursiveLock() { InitializeCriticalSection(new (storage) CRITICAL_SECTION); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(Section(storage)); }
void RecursiveLock::Lock() { EnterCriticalSection(Section(storage)); }
void RecursiveLock::Unlock() { LeaveCriticalSection(Section(storage)); }
#endif
