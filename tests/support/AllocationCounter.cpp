#include "tests/support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
}  // namespace

AllocationCounter::AllocationCounter()
{
  tAllocations = 0;
  tCounting = true;
}

AllocationCounter::~AllocationCounter()
{
  tCounting = false;
}

int AllocationCounter::Count() const
{
  return tAllocations;
}

void* operator new(std::size_t size)
{
  if (tCounting)
    ++tAllocations;
  void* p = std::malloc(size ? size : 1);
  if (!p)
    std::abort();  // a test machine out of memory: nothing sensible to report
  return p;
}

void* operator new[](std::size_t size)
{
  return operator new(size);
}

void operator delete(void* p) noexcept
{
  std::free(p);
}

void operator delete[](void* p) noexcept
{
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
  std::free(p);
}

// The nothrow forms too (the image decoders use them): every allocation and release of the test
// program then goes through this file's pair, never one from here and one from the runtime.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  if (tCounting)
    ++tAllocations;
  return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
  return operator new(size, std::nothrow);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
