#include "StressHost.h"

#include <atomic>
#include <cstring>

namespace
{
std::atomic<StressHost*> gActiveHost{nullptr};
}

StressHost::StressHost() : mPrevious(gActiveHost.load())
{
  gActiveHost = this;
}

StressHost::~StressHost()
{
  gActiveHost = mPrevious;
}

int StressHost::Count(VstInt32 opcode) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mCounts.find(opcode);
  return it == mCounts.end() ? 0 : it->second;
}

int StressHost::Count(VstInt32 opcode, VstInt32 index) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mIndexCounts.find(std::make_pair(opcode, index));
  return it == mIndexCounts.end() ? 0 : it->second;
}

std::vector<StressHost::Automation> StressHost::Automations() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mAutomations;
}

bool StressHost::GesturesPaired() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mPaired && mOpenGesture == -1;
}

void StressHost::Clear()
{
  std::lock_guard<std::mutex> lock(mMutex);
  mCounts.clear();
  mIndexCounts.clear();
  mAutomations.clear();
  mOpenGesture = -1;
  mPaired = true;
}

VstIntPtr VSTCALLBACK StressHost::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt)
{
  StressHost* host = gActiveHost.load();
  if (!host) return 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr StressHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  std::lock_guard<std::mutex> lock(mMutex);
  ++mCounts[opcode];
  ++mIndexCounts[std::make_pair(opcode, index)];
  switch (opcode)
  {
    case audioMasterAutomate:
      mAutomations.push_back(Automation{index, opt});
      return 0;
    case audioMasterBeginEdit:
      if (mOpenGesture != -1) mPaired = false;
      mOpenGesture = index;
      return 0;
    case audioMasterEndEdit:
      if (mOpenGesture != index) mPaired = false;
      mOpenGesture = -1;
      return 0;
    case audioMasterGetProductString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "Stress Host");
      return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
      return 10000;
    default:
      return 0;
  }
}
