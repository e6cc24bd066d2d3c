#pragma once
// A recording VST 2 host for the stress, lifecycle and bad-input tests. Unlike the adapter tests'
// scripted host it may be called from several threads at once: the plug-in calls it from the
// editor's thread (gestures) and from host threads (identification), and every record is taken
// under the host's own lock. The callback has no user pointer, so one StressHost is active at a
// time.

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "vst/VstAbi.h"

class StressHost
{
public:
  StressHost();
  ~StressHost();
  StressHost(const StressHost&) = delete;
  StressHost& operator=(const StressHost&) = delete;

  static audioMasterCallback Callback() { return &HostCallback; }

  struct Automation
  {
    VstInt32 index;
    float value;
  };

  // ---- What the plug-in did (copies, taken under the lock) ----
  int Count(VstInt32 opcode) const;
  int Count(VstInt32 opcode, VstInt32 index) const;
  std::vector<Automation> Automations() const;
  // Every begin-edit was followed by an end-edit for the same parameter before the next begin,
  // and no gesture is left open.
  bool GesturesPaired() const;
  void Clear();

private:
  static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  mutable std::mutex mMutex;
  std::map<VstInt32, int> mCounts;
  std::map<std::pair<VstInt32, VstInt32>, int> mIndexCounts;
  std::vector<Automation> mAutomations;
  int mOpenGesture = -1;
  bool mPaired = true;
  StressHost* mPrevious;
};
