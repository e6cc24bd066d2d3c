#include "TestHost.h"

#include <cstring>

namespace
{
TestHost* gActiveHost = nullptr;
}

TestHost::TestHost() : mPrevious(gActiveHost)
{
  gActiveHost = this;
}

TestHost::~TestHost()
{
  gActiveHost = mPrevious;
}

int TestHost::Count(VstInt32 opcode) const
{
  int n = 0;
  for (const HostCall& call : calls) n += call.opcode == opcode ? 1 : 0;
  return n;
}

std::vector<HostCall> TestHost::CallsOf(VstInt32 opcode) const
{
  std::vector<HostCall> out;
  for (const HostCall& call : calls) {
    if (call.opcode == opcode) out.push_back(call);
  }
  return out;
}

void TestHost::Clear()
{
  calls.clear();
  sentEvents.clear();
  sentEventCounts.clear();
}

VstIntPtr VSTCALLBACK TestHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                             void* ptr, float opt)
{
  if (!gActiveHost) return 0;
  return gActiveHost->Answer(effect, opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  calls.push_back(HostCall{effect, opcode, index, value, opt});
  switch (opcode) {
    case audioMasterGetProductString:
      if (!answerProductName || !ptr) return 0;
      std::strncpy(static_cast<char*>(ptr), productName.c_str(), kVstMaxHostProductStrLen - 1);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    case audioMasterGetTime:
      return hasTimeInfo ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterProcessEvents: {
      const VstEvents* events = static_cast<const VstEvents*>(ptr);
      if (!events) return 0;
      sentEventCounts.push_back(events->numEvents);
      for (int i = 0; i < events->numEvents; ++i) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(events->events[i]);
        sentEvents.emplace_back(bytes, bytes + sizeof(VstEvent));
      }
      return processEventsResult;
    }
    default:
      return 0;
  }
}
