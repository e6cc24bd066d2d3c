#pragma once
// A small plug-in built on the adapter for the tests, so that configurations the real effect does
// not have (no presets, MIDI, four channels, chunks) can be driven through the real effect record.

#include <atomic>
#include <thread>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/IGraphicsLink.h"
#include "vst/IPlugVST.h"

struct TestPlugConfig
{
  int nParams = 4;
  const char* io = "1-1 2-2";
  int nPresets = 16;
  bool midi = false;
  bool chunks = false;
  bool instrument = false;
  int latency = 0;
  int version = 0x20300;
  const char* effectName = "Torvo-Mell";
  const char* productName = "";
  const char* mfrName = "quillbarrow";
  int filledPresets = -1;  // slots filled like the effect's ("Init"); -1 = all
};

// Records what the adapter asked of the editor's graphics object.
class FakeGraphics : public IGraphicsLink
{
public:
  struct ParamPush { int idx; double value; bool normalized; };

  FakeGraphics(int width, int height, bool windowOpens) : mWidth(width), mHeight(height), mOpens(windowOpens) {}

  void OnParamFromPlugin(int paramIdx, double value, bool normalized) override
  {
    pushes.push_back(ParamPush{paramIdx, value, normalized});
  }
  void SetControlValue(int controlIdx, double normalizedValue) override {}
  void CreateSurface() override { ++surfaces; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  HWND OpenWindow(HWND parent) override
  {
    ++opens;
    lastParent = parent;
    return mOpens ? reinterpret_cast<HWND>(&mWidth) : nullptr;
  }
  void CloseWindow() override { ++closes; }

  void Resize(int width, int height) { mWidth = width; mHeight = height; }

  std::vector<ParamPush> pushes;
  int surfaces = 0;
  int opens = 0;
  int closes = 0;
  HWND lastParent = nullptr;

private:
  int mWidth;
  int mHeight;
  bool mOpens;
};

class TestPlug : public IPlugVST
{
public:
  explicit TestPlug(audioMasterCallback host, const TestPlugConfig& c = TestPlugConfig())
    : IPlugVST(host, c.nParams, c.io, c.nPresets, c.effectName, c.productName, c.mfrName, c.version,
               VstFourCC('k', 'v', '9', 'e'), VstFourCC('N', 'x', 'l', 'o'), c.latency, c.midi, c.chunks,
               c.instrument)
  {
    processFrames.reserve(4096);
    static const char* const kNames[] = {"Level", "Attack", "Effect", "Cabinet"};
    for (int i = 0; i < NParams(); ++i) {
      const char* name = kNames[i % 4];
      if (i % 4 < 2) {
        GetParam(i)->InitContinuous(name, 0.5, 0.0, 1.0, 0.001);
      } else {
        GetParam(i)->InitChoice(name, 1, 2);
        GetParam(i)->AddValueText(0, "Off");
        GetParam(i)->AddValueText(1, "On");
      }
    }
    const int filled = c.filledPresets < 0 ? c.nPresets : c.filledPresets;
    if (NParams() == 4 && filled > 0) {
      AddPreset("Init", 1.0, 0.5, 1, 1);
      FillPresets("Init", filled - 1);
    }
  }

  // ---- Scripted behaviour ----
  bool constantOutput = false;  // write outputValue to every output instead of passing through
  double outputValue = 0.25;
  bool noteNames = false;       // name note 60 "C4"

  // ---- Records ----
  int processCalls = 0;
  double* lastInputs[1] = {};
  double* lastOutputs[1] = {};
  std::vector<int> processFrames;
  std::vector<int> paramChanges;
  int resets = 0;
  std::vector<bool> activations;
  std::vector<MidiMessage> midiIn;
  int editorOpened = 0;
  int editorClosed = 0;

  // Counts reactions and blocks that ran while another one was still running.
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  bool trackOverlaps = false;
  struct Occupancy
  {
    explicit Occupancy(TestPlug* p) : plug(p->trackOverlaps ? p : nullptr)
    {
      if (!plug) return;
      if (plug->inside.fetch_add(1) != 0) ++plug->overlaps;
      std::this_thread::yield();  // widen the window another thread could enter
    }
    ~Occupancy()
    {
      if (plug) --plug->inside;
    }
    TestPlug* plug;
  };

  void Reset() override { ++resets; }
  void OnParamChange(int idx) override
  {
    Occupancy busy(this);
    if (!trackOverlaps) paramChanges.push_back(idx);
  }
  void OnActivation(bool active) override { activations.push_back(active); }
  void OnEditorOpened() override { ++editorOpened; }
  void OnEditorClosed() override { ++editorClosed; }
  void OnMidiMessage(const MidiMessage& msg) override
  {
    midiIn.push_back(msg);
    IPlugVST::OnMidiMessage(msg);
  }
  bool GetNoteName(int note, char* name, int capacity) override
  {
    if (noteNames && note == 60) {
      std::snprintf(name, (size_t) capacity, "C4");
      return true;
    }
    return IPlugVST::GetNoteName(note, name, capacity);
  }
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    Occupancy busy(this);
    ++processCalls;
    lastInputs[0] = NInChannels() > 0 ? inputs[0] : nullptr;
    lastOutputs[0] = NOutChannels() > 0 ? outputs[0] : nullptr;
    if (processFrames.size() < processFrames.capacity()) processFrames.push_back(nFrames);
    if (!constantOutput) {
      IPlugVST::ProcessDoubleReplacing(inputs, outputs, nFrames);
      return;
    }
    for (int c = 0; c < NOutChannels(); ++c) {
      for (int s = 0; s < nFrames; ++s) outputs[c][s] = outputValue;
    }
  }

  double** Inputs() { return InputPointers(); }
  double** Outputs() { return OutputPointers(); }
};

// Owns a test plug-in through its record; closes it through the dispatcher unless the test did.
struct PlugHandle
{
  explicit PlugHandle(TestPlug* p) : plug(p), effect(p->GetAEffect()) { plug->EnsureOnePreset(); }
  ~PlugHandle()
  {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  PlugHandle(const PlugHandle&) = delete;
  PlugHandle& operator=(const PlugHandle&) = delete;
  void Close()
  {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
    plug = nullptr;
  }
  TestPlug* operator->() { return plug; }
  TestPlug* plug;
  AEffect* effect;
};
