// Counts what the benchmark process allocates through operator new, so the chain benchmark can
// report bytes per instance and check that nothing grows with use. Kept in a file of its own so
// no call site sees the replacement's body.
#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<long long> gAllocBytes{0};
std::atomic<long long> gAllocCount{0};

void* operator new(std::size_t size)
{
  gAllocBytes.fetch_add((long long) size, std::memory_order_relaxed);
  gAllocCount.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1))
    return p;
  std::abort();
}

void operator delete(void* p) noexcept
{
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}
