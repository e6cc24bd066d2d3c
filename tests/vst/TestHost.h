#pragma once
// A scripted VST 2 host for the adapter tests: a host callback that records every call a plug-in
// makes and answers the product name, vendor version, time info and event results a test sets.
// One TestHost is active at a time (the callback has no user pointer of its own).

#include <cstdint>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

struct HostCall
{
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

class TestHost
{
public:
  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  static audioMasterCallback Callback() { return &HostCallback; }

  // ---- What the host answers ----
  bool answerProductName = true;
  std::string productName;           // written into the plug-in's buffer for opcode 33
  VstIntPtr vendorVersion = 0;       // opcode 34
  bool hasTimeInfo = false;          // opcode 7 answers null without it
  VstTimeInfo timeInfo = {};
  VstIntPtr processEventsResult = 1;  // opcode 8

  // ---- What the plug-in did ----
  std::vector<HostCall> calls;
  // Copies of the events the plug-in sent with opcode 8, one entry per event.
  std::vector<std::vector<unsigned char>> sentEvents;
  // numEvents of each opcode 8 call.
  std::vector<int> sentEventCounts;

  int Count(VstInt32 opcode) const;
  std::vector<HostCall> CallsOf(VstInt32 opcode) const;
  void Clear();

private:
  static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);
  VstIntPtr Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  TestHost* mPrevious;
};

// Dispatcher shorthand for a record.
inline VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
