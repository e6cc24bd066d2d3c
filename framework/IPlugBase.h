#pragma once
// The host-neutral base of the plug-in object: identity, parameters, programs, channel
// configurations and the 64-bit channel buffers through which audio reaches the effect, sample
// rate, block size and latency, the link to the editor, what is known of the host, and the
// plug-in mutex that serialises all of it.
//
// Threads: the host may call any entry from any of its threads. Every host entry holds the
// recursive plug-in mutex for its whole run; SetParameterFromGUI, ConnectGraphics,
// SerializeParams, UnserializeParams and the reactions Reset, OnParamChange and OnActivation take
// it again themselves. Operations documented as "caller holds the mutex" do not lock.

#include <memory>
#include <mutex>
#include <vector>

#include "framework/ByteChunk.h"
#include "framework/IGraphicsLink.h"
#include "framework/IParam.h"

// One MIDI message passed between the adapter and the base.
struct MidiMessage
{
  int offset = 0;  // sample offset within the block
  unsigned char status = 0;
  unsigned char data1 = 0;
  unsigned char data2 = 0;
};

// One program slot.
struct IPreset
{
  static constexpr int kNameSize = 256;  // terminating zero included
  bool initialized = false;
  char name[kNameSize] = {};
  ByteChunk state;  // the serialized parameter values
};

class IPlugBase
{
public:
  static constexpr int kNameSize = 128;  // effect, product and maker names

  // channelIOStr lists the legal "inputs-outputs" pairs separated by spaces, e.g. "1-1 2-2".
  // plugDoesMidi is kept by the host adapter, not here.
  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
            int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  virtual ~IPlugBase();

  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Reactions the effect overrides ----
  virtual void Reset();                      // base: locks and unlocks only
  virtual void OnParamChange(int paramIdx);  // base: locks and unlocks only
  // Base: copies input k to output k for every k below both channel counts and clears every
  // output without an input of the same index.
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void OnEditorOpened() {}
  virtual void OnEditorClosed() {}
  virtual void OnActivation(bool active);
  virtual void OnMidiMessage(const MidiMessage& msg);  // base: SendMidiMessage(msg)
  virtual bool GetNoteName(int noteNumber, char* name, int capacity);
  virtual bool WriteState(ByteChunk* chunk);                   // base: SerializeParams
  virtual int ReadState(const ByteChunk* chunk, int startPos);  // base: UnserializeParams

  // ---- Host-adapter operations (the VST 2 adapter provides them; the base's do nothing) ----
  virtual void NotifyHostEditBegin(int paramIdx) {}
  virtual void NotifyHostParamChange(int paramIdx, double normalizedValue) {}
  virtual void NotifyHostEditEnd(int paramIdx) {}
  virtual int HostSamplePos() { return 0; }
  virtual double HostTempo() { return 0.0; }
  virtual void HostTimeSignature(int* numerator, int* denominator);
  virtual int IdentifyHost() { return mHost; }
  virtual void RefreshEditorRect(int width, int height) {}
  virtual void PrepareForHost() {}
  // Pushes every parameter's normalised value to the controls, makes the surface and takes
  // ownership of the graphics. Null does nothing.
  virtual void ConnectGraphics(IGraphicsLink* graphics);
  // A new size resizes every channel's scratch to nFrames zeros; the same size keeps them. A
  // negative size is ignored.
  virtual void UpdateBlockSize(int nFrames);
  virtual void UpdateLatency(int samples) { mLatency = samples; }
  virtual bool SendMidiMessage(const MidiMessage& msg) { return false; }
  virtual bool SendMidiMessages(const std::vector<MidiMessage>& msgs);

  // ---- Identity ----
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  // Packed (major << 16 | minor << 8 | patch), or decimal (major * 10000 + minor * 100 + patch).
  int EffectVersion(bool decimal) const;
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInst; }

  // ---- Host ----
  int GetHost() const { return mHost; }  // -1 not asked yet, 0 unknown, else the table's id
  int GetHostVersion() const { return mHostVersion; }
  void SetHost(const char* name, int packedVersion);
  static int HostIdFromName(const char* name);
  // Inputs 2 and up become not connected; outputs 2 and up are marked connected.
  void ApplyHostChannelLimits();

  // ---- Parameters ----
  int NParams() const { return (int) mParams.size(); }
  IParam* GetParam(int idx);  // null outside 0 .. NParams() - 1
  const IParam* GetParam(int idx) const;
  // A gesture in the editor: under the mutex, set the parameter, tell the host the very value
  // received, then run OnParamChange. The index is a valid parameter index.
  void SetParameterFromGUI(int idx, double normalizedValue);
  void NotifyAllParamsChanged();  // OnParamChange for every parameter, in index order
  void PushParamsToGraphics();    // plain values to the controls after a preset or state load
  IGraphicsLink* GetGraphics() const { return mGraphics.get(); }

  // ---- Audio configuration ----
  double GetSampleRate() const { return mSampleRate; }
  void UpdateSampleRate(double rate) { mSampleRate = rate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  bool LegalIO(int nIn, int nOut) const;  // a negative count means "any"
  int NInChannels() const { return (int) mInChannels.size(); }
  int NOutChannels() const { return (int) mOutChannels.size(); }
  bool IsInChannelConnected(int idx) const;
  bool IsOutChannelConnected(int idx) const;
  // How many input and output channels are connected (kept up to date by the connections).
  int NConnectedInChannels() const { return mConnectedIn; }
  int NConnectedOutChannels() const { return mConnectedOut; }

  // ---- Channel glue (caller holds the mutex; nFrames never exceeds the block size) ----
  // Defensively, the glue never reads or writes a channel's scratch past its size: a longer run
  // processes only as many frames as the scratch of every channel that uses it holds.
  void SetInputConnections(int first, int count, bool connected);
  void SetOutputConnections(int first, int count, bool connected);
  void BindInputs(int first, int count, double** hostArrays);
  void BindOutputs(int first, int count, double** hostArrays);
  void BindInputsFloat(int first, int count, float** hostArrays, int nFrames);
  void BindOutputsFloat(int first, int count, float** hostArrays);
  void RunReplacing(int nFrames);
  void RunReplacingFloat(int nFrames);
  void RunAccumulatingFloat(int nFrames);
  // The whole float block in one pass (bind the inputs widened and the outputs, run, narrow or add
  // into the host's outputs): one array per connected channel, none of them null.
  void RunFloatBlock(float** inputs, float** outputs, int nFrames, bool accumulate);

  // ---- Presets and state ----
  bool SerializeParams(ByteChunk* chunk);
  // Reads one 64-bit value per parameter from startPos, each limited to the parameter's range
  // (NaN loads as the minimum), then runs OnParamChange for every parameter. Returns the position
  // after the last value read, or -1 when the chunk ended early.
  int UnserializeParams(const ByteChunk* chunk, int startPos);
  // One value per parameter in index order: int for the whole-number kinds, double otherwise.
  void AddPreset(const char* name, ...);
  void FillPresets(const char* name, int count);
  void EnsureOnePreset();
  bool LoadPreset(int idx);
  void StoreCurrentPreset(const char* name = nullptr);  // longer names are cut to 255 characters
  const char* PresetName(int idx) const;                // "" outside the list
  void NextUserPresetName(char* out, int capacity) const;
  int NPresets() const { return (int) mPresets.size(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }

  // ---- The plug-in mutex ----
  std::recursive_mutex& Mutex() { return mMutex; }

protected:
  double** InputPointers() { return mInData.data(); }
  double** OutputPointers() { return mOutData.data(); }

private:
  struct ChannelConfig { int nIn; int nOut; };
  struct InputChannel
  {
    bool connected = false;
    double** slot = nullptr;
    std::vector<double> scratch;
  };
  struct OutputChannel
  {
    bool connected = false;
    double** slot = nullptr;
    float* dest = nullptr;
    std::vector<double> scratch;
  };

  void NarrowOutputs(int nFrames, bool accumulate);

  // Declared first so that it is destroyed last: the mutex outlives everything else. The
  // destructor releases the rest explicitly: graphics, parameters, presets, channel records,
  // configurations.
  std::recursive_mutex mMutex;
  std::vector<ChannelConfig> mChannelConfigs;
  char mEffectName[kNameSize];
  char mProductName[kNameSize];
  char mMfrName[kNameSize];
  int mUniqueID;
  int mMfrID;
  int mVersion;
  int mHost = -1;
  int mHostVersion = 0;
  bool mStateChunks;
  bool mIsInst;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::unique_ptr<IGraphicsLink> mGraphics;
  std::vector<std::unique_ptr<IPreset>> mPresets;
  int mCurrentPresetIdx = 0;
  std::vector<double*> mInData;
  std::vector<double*> mOutData;
  std::vector<InputChannel> mInChannels;
  std::vector<OutputChannel> mOutChannels;
  int mConnectedIn = 0;
  int mConnectedOut = 0;
  int mScratchFrames = 0;  // samples every channel's scratch holds at least
};

// Scoped hold of the plug-in mutex.
class IMutexLock
{
public:
  explicit IMutexLock(IPlugBase* plug) : mLock(plug->Mutex()) {}
private:
  std::lock_guard<std::recursive_mutex> mLock;
};
