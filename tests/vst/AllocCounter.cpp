#include "AllocCounter.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local long tAllocations = 0;
thread_local int tCounting = 0;

void* Allocate(std::size_t size)
{
  if (tCounting) ++tAllocations;
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

CountAllocations::CountAllocations() : mStart(tAllocations)
{
  ++tCounting;
}

CountAllocations::~CountAllocations()
{
  --tCounting;
}

long CountAllocations::Count() const
{
  return tAllocations - mStart;
}

void* operator new(std::size_t size)
{
  return Allocate(size);
}

void* operator new[](std::size_t size)
{
  return Allocate(size);
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
