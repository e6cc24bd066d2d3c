// The conversion loops with AVX-512, chosen at start-up on processors that report it.
#include "framework/SampleConvert.h"

#if defined(__x86_64__) && defined(__AVX512F__)
#include "framework/SampleConvertLoops.h"

SampleConvertLoops SampleConvertAvx512()
{
  return kLoops;
}
#endif
