#pragma once
// Counts the allocations made through operator new by the current thread while an
// AllocationCounter lives. The test binary replaces the global operator new for this.

class AllocationCounter
{
public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  int Count() const;
};
