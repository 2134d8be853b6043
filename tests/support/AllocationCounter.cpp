#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The one replacement of the global allocation functions in this binary. Not
// inlined, so that the compiler does not pair the malloc and free inside with
// new-expressions and warn.
namespace {
std::atomic<bool> countAllocations{false};
std::atomic<int> allocationCount{0};
}  // namespace

void StartCountingAllocations() {
  allocationCount = 0;
  countAllocations = true;
}

int StopCountingAllocations() {
  countAllocations = false;
  return allocationCount.load();
}

[[gnu::noinline]] void* operator new(std::size_t size) {
  if (countAllocations.load(std::memory_order_relaxed)) allocationCount.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
// The nothrow forms too (std::stable_sort's temporary buffer uses them), so
// that every allocation this binary frees with the functions above was made
// by them.
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (countAllocations.load(std::memory_order_relaxed)) allocationCount.fetch_add(1);
  return std::malloc(size == 0 ? 1 : size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
