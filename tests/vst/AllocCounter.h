#pragma once
// Counts the allocations made by this thread while a CountAllocations scope is alive, through the
// test binary's own operator new.

class CountAllocations
{
public:
  CountAllocations();
  ~CountAllocations();
  long Count() const;

private:
  long mStart;
};
