#pragma once
// The VST 2 adapter: binds the plug-in base to the host's calling convention. It owns the effect
// record handed to the host, keeps the host callback and answers the dispatcher, the audio entries
// and the parameter entries by calling operations of the base.

#include <vector>

#include "framework/ByteChunk.h"
#include "framework/IPlugBase.h"
#include "vst/VstAbi.h"

class IPlugVST : public IPlugBase
{
public:
  // Largest block the conversion buffers are sized for; a host block size above it is taken as
  // this size and longer blocks are processed in slices.
  static constexpr int kMaxBlockSize = 1 << 20;
  static constexpr int kInitialBlockSize = 1024;

  IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
           int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  ~IPlugVST() override;

  AEffect* GetAEffect() { return &mAEffect; }
  const ERect& EditorRect() const { return mEditRect; }
  bool DoesMidi() const { return mDoesMidi; }
  bool HostPrepared() const { return mHostPrepared; }

  // ---- Calls on the host (a missing host callback answers 0 to everything) ----
  void NotifyHostEditBegin(int paramIdx) override;
  void NotifyHostParamChange(int paramIdx, double normalizedValue) override;
  void NotifyHostEditEnd(int paramIdx) override;
  int HostSamplePos() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  bool SendMidiMessage(const MidiMessage& msg) override;
  bool SendMidiMessages(const std::vector<MidiMessage>& msgs) override;
  bool ForwardEventToHost(VstEvent* event);

  // ---- Host identification and preparation ----
  int IdentifyHost() override;
  void PrepareForHost() override;

  // ---- Editor, block size and latency ----
  void ConnectGraphics(IGraphicsLink* graphics) override;
  void RefreshEditorRect(int width, int height) override;
  void UpdateLatency(int samples) override;
  void UpdateBlockSize(int nFrames) override;

  // ---- The entries of the effect record ----
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                             void* ptr, float opt);
  static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames);
  static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 nFrames);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 idx);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 idx, float value);

protected:
  // Per-block preparation: the MIDI request, then the host's arrays bound to the channels.
  // Caller holds the mutex; nFrames never exceeds the block size.
  void PrepareFloatBlock(float** inputs, float** outputs, int nFrames);
  void PrepareDoubleBlock(double** inputs, double** outputs);

private:
  VstIntPtr CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(bool isBank, void** data);
  VstIntPtr SetChunk(bool isBank, VstIntPtr size, const void* data);
  void ProcessEvents(const VstEvents* events);
  void SetSpeakerConnections(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out);
  enum class FloatMode { Replacing, Accumulating };
  void ProcessFloat(float** inputs, float** outputs, int nFrames, FloatMode mode);
  void ProcessFloatSlices(float** inputs, float** outputs, int nFrames, int sliceMax, FloatMode mode);
  void ProcessDouble(double** inputs, double** outputs, int nFrames);
  void SizeSubstitutes(int nFrames);

  ERect mEditRect = {};
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputSpkrArr = {};
  VstSpeakerArrangement mOutputSpkrArr = {};
  bool mHostPrepared = false;
  bool mDoesMidi;
  ByteChunk mState;      // program chunks
  ByteChunk mBankState;  // bank chunks
  AEffect mAEffect = {};

  // Made before any audio arrives, so the audio entries allocate nothing: per-slice copies of the
  // host's channel pointers, and stand-ins for channel arrays the host left out.
  std::vector<float*> mSliceInF, mSliceOutF;
  std::vector<double*> mSliceInD, mSliceOutD;
  std::vector<float> mSilenceF, mSinkF;
  std::vector<double> mSilenceD, mSinkD;
};

// Creates the one concrete plug-in with the host's callback; defined by the effect.
IPlugVST* MakePlug(audioMasterCallback hostCallback);

// The entry point's work: under the process-wide creation mutex, make one plug-in object with
// make, give it at least one preset and hand out its record (at least one program). Null when no
// object could be made.
AEffect* VSTCreateEffect(IPlugVST* (*make)(audioMasterCallback), audioMasterCallback hostCallback);
