#pragma once
// A small plug-in for the framework tests: the effect's four parameters ("Level" and "Attack"
// continuous 0..1, "Effect" and "Cabinet" Off/On), recording what the base calls, and a fake
// graphics object recording what reaches the editor.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "framework/IPlugBase.h"

namespace fwtest
{
// True when a thread other than the caller cannot take the mutex right now.
inline bool HeldElsewhere(std::recursive_mutex& mutex)
{
  bool locked = false;
  std::thread t([&] {
    locked = mutex.try_lock();
    if (locked)
      mutex.unlock();
  });
  t.join();
  return !locked;
}

struct Event
{
  std::string what;  // "host", "change", "midi"
  int idx;
  double value;
  bool locked;  // the plug-in mutex was held while it happened
};

class TestPlug : public IPlugBase
{
public:
  static constexpr int kVersion = 0x20300;

  explicit TestPlug(const char* channelIO = "1-1 2-2", int nPresets = 4, int nParams = 4)
    : IPlugBase(nParams, channelIO, nPresets, "Torvo-Mell", "Torvo-Mell Fuzz", "Torvo", kVersion, 0x6b763965,
                0x546f7276, 0, false, false, false)
  {
    if (nParams >= 4)
    {
      GetParam(0)->InitContinuous("Level", 0.5, 0.0, 1.0, 0.001);
      GetParam(1)->InitContinuous("Attack", 0.5, 0.0, 1.0, 0.001);
      GetParam(2)->InitChoice("Effect", 1, 2);
      GetParam(2)->AddValueText(0, "Off");
      GetParam(2)->AddValueText(1, "On");
      GetParam(3)->InitChoice("Cabinet", 0, 2);
      GetParam(3)->AddValueText(0, "Off");
      GetParam(3)->AddValueText(1, "On");
    }
  }

  void OnParamChange(int paramIdx) override
  {
    IMutexLock lock(this);
    events.push_back({"change", paramIdx, GetParam(paramIdx) ? GetParam(paramIdx)->Value() : 0.0,
                      checkLocking && HeldElsewhere(Mutex())});
  }
  void NotifyHostParamChange(int paramIdx, double normalizedValue) override
  {
    events.push_back({"host", paramIdx, normalizedValue, checkLocking && HeldElsewhere(Mutex())});
  }
  bool SendMidiMessage(const MidiMessage& msg) override
  {
    events.push_back({"midi", msg.status, (double) msg.data1, false});
    return midiResult && msg.status != failStatus;
  }
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    lastFrames = nFrames;
    IPlugBase::ProcessDoubleReplacing(inputs, outputs, nFrames);
  }

  std::vector<int> Changes() const
  {
    std::vector<int> out;
    for (const Event& e : events)
      if (e.what == "change")
        out.push_back(e.idx);
    return out;
  }
  void SetValues(double a, double b, double c, double d)
  {
    GetParam(0)->SetValue(a);
    GetParam(1)->SetValue(b);
    GetParam(2)->SetValue(c);
    GetParam(3)->SetValue(d);
  }
  std::vector<double> Values() const
  {
    std::vector<double> out;
    for (int i = 0; i < NParams(); ++i)
      out.push_back(GetParam(i)->Value());
    return out;
  }

  std::vector<Event> events;
  bool checkLocking = false;
  bool midiResult = true;
  int failStatus = -1;
  int lastFrames = -1;
};

struct GraphicsCall
{
  std::string what;  // "param", "control", "surface", "destroyed"
  int idx;
  double value;
  bool normalized;
  bool locked;
};

class FakeGraphics : public IGraphicsLink
{
public:
  FakeGraphics(std::vector<GraphicsCall>* log, IPlugBase* plug) : mLog(log), mPlug(plug) {}
  ~FakeGraphics() override
  {
    // Destroyed by the base first of all: the parameters and the mutex are still there.
    bool mutexUsable = mPlug->Mutex().try_lock();
    if (mutexUsable)
      mPlug->Mutex().unlock();
    mLog->push_back({"destroyed", mPlug->NParams(), mPlug->GetParam(0) ? 1.0 : 0.0, mutexUsable, false});
  }
  void OnParamFromPlugin(int paramIdx, double value, bool normalized) override
  {
    mLog->push_back({"param", paramIdx, value, normalized, HeldElsewhere(mPlug->Mutex())});
  }
  void SetControlValue(int controlIdx, double normalizedValue) override
  {
    mLog->push_back({"control", controlIdx, normalizedValue, true, false});
  }
  void CreateSurface() override { mLog->push_back({"surface", 0, 0.0, false, HeldElsewhere(mPlug->Mutex())}); }
  int Width() const override { return 213; }
  int Height() const override { return 326; }
  HWND OpenWindow(HWND parent) override { return nullptr; }
  void CloseWindow() override {}

private:
  std::vector<GraphicsCall>* mLog;
  IPlugBase* mPlug;
};
}  // namespace fwtest
