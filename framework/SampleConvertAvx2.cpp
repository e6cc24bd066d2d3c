// The conversion loops with AVX2, chosen at start-up on processors that report it.
#include "framework/SampleConvert.h"

#if defined(__x86_64__) && defined(__AVX2__)
#include "framework/SampleConvertLoops.h"

SampleConvertLoops SampleConvertAvx2()
{
  return kLoops;
}
#endif
