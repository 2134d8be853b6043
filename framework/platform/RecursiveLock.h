#pragma once

// Recursive mutual-exclusion lock: a critical section on Windows, a recursive
// pthread mutex elsewhere.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Lock();
  void Unlock();

 private:
  alignas(16) unsigned char storage[64];
};

class ScopedLock {
 public:
  explicit ScopedLock(RecursiveLock& l) : lock(l) { lock.Lock(); }
  ~ScopedLock() { lock.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  RecursiveLock& lock;
};
