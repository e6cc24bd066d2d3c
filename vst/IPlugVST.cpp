#include "vst/IPlugVST.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace
{

constexpr VstIntPtr kIdentifyMagic = VstFourCC('N', 'v', 'E', 'f');  // 0x4E764566
constexpr VstIntPtr kVendorSpecificAnswer = 0xBEEF;
constexpr VstIntPtr kCockosAnswer = (VstIntPtr) 0xBEEF0000;
constexpr int kVendorSpecificFormatValue = 7;
constexpr int kVstVersion = 2400;
constexpr VstInt32 kStateMagic = VstFourCC('p', 'f', 'f', 't');  // the bytes "tffp" read little-endian
constexpr int kStateVersion = 0x10000;

// Copies a zero-terminated text into a host buffer of capacity bytes, cut to fit and always
// zero-terminated.
void CopyToHost(void* dest, const char* text, int capacity)
{
  char* out = static_cast<char*>(dest);
  if (!out || capacity <= 0) return;
  if (!text) text = "";
  int n = 0;
  while (n < capacity - 1 && text[n]) {
    out[n] = text[n];
    ++n;
  }
  out[n] = '\0';
}

IPlugVST* PlugOf(AEffect* effect)
{
  return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

bool ValidIndex(const IPlugBase* plug, VstIntPtr idx)
{
  return idx >= 0 && idx < plug->NParams();
}

}  // namespace

IPlugVST::IPlugVST(audioMasterCallback hostCallback, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                   int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                   bool plugIsInst)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
              mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst),
    mHostCallback(hostCallback),
    mDoesMidi(plugDoesMidi)
{
  const int nIn = NInChannels();
  const int nOut = NOutChannels();

  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.numPrograms = nPresets;
  mAEffect.numParams = nParams;
  mAEffect.numInputs = nIn;
  mAEffect.numOutputs = nOut;
  mAEffect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (plugDoesChunks) mAEffect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsMonoCapable;
  if (plugIsInst) mAEffect.flags |= effFlagsIsSynth;
  mAEffect.initialDelay = latency;
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = uniqueID;
  mAEffect.version = EffectVersion(true);
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;

  mInputSpkrArr.numChannels = nIn;
  mOutputSpkrArr.numChannels = nOut;

  mSliceInF.assign(nIn, nullptr);
  mSliceOutF.assign(nOut, nullptr);
  mSliceInD.assign(nIn, nullptr);
  mSliceOutD.assign(nOut, nullptr);

  SetInputConnections(0, nIn, true);
  SetOutputConnections(0, nOut, true);
  UpdateBlockSize(kInitialBlockSize);
}

IPlugVST::~IPlugVST()
{
  mState.Clear();
  mBankState.Clear();
}

// ---------------------------------------------------------------------------------------------
// Calls on the host

VstIntPtr IPlugVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (!mHostCallback) return 0;
  return mHostCallback(&mAEffect, opcode, index, value, ptr, opt);
}

void IPlugVST::NotifyHostEditBegin(int paramIdx)
{
  CallHost(audioMasterBeginEdit, paramIdx, 0, nullptr, 0.0f);
}

void IPlugVST::NotifyHostParamChange(int paramIdx, double normalizedValue)
{
  CallHost(audioMasterAutomate, paramIdx, 0, nullptr, (float) normalizedValue);
}

void IPlugVST::NotifyHostEditEnd(int paramIdx)
{
  CallHost(audioMasterEndEdit, paramIdx, 0, nullptr, 0.0f);
}

int IPlugVST::HostSamplePos()
{
  const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, 0, nullptr, 0.0f));
  if (t && t->samplePos >= 0.0 && t->samplePos < (double) INT_MAX) return (int) t->samplePos;
  return 0;
}

double IPlugVST::HostTempo()
{
  const VstTimeInfo* t =
    reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.0f));
  if (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0) return t->tempo;
  return 0.0;
}

void IPlugVST::HostTimeSignature(int* numerator, int* denominator)
{
  int num = 0;
  int den = 0;
  const VstTimeInfo* t =
    reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTimeSigValid, nullptr, 0.0f));
  if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 && t->timeSigDenominator >= 0) {
    num = t->timeSigNumerator;
    den = t->timeSigDenominator;
  }
  if (numerator) *numerator = num;
  if (denominator) *denominator = den;
}

bool IPlugVST::SendMidiMessage(const MidiMessage& msg)
{
  VstMidiEvent midi = {};
  midi.type = kVstMidiType;
  midi.byteSize = (VstInt32) sizeof(VstMidiEvent);
  midi.deltaFrames = msg.offset;
  midi.midiData[0] = (char) msg.status;
  midi.midiData[1] = (char) msg.data1;
  midi.midiData[2] = (char) msg.data2;
  return ForwardEventToHost(reinterpret_cast<VstEvent*>(&midi));
}

bool IPlugVST::SendMidiMessages(const std::vector<MidiMessage>& msgs)
{
  bool allSent = true;
  for (const MidiMessage& msg : msgs) {
    if (!SendMidiMessage(msg)) allSent = false;
  }
  return allSent;
}

bool IPlugVST::ForwardEventToHost(VstEvent* event)
{
  VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = event;
  return CallHost(audioMasterProcessEvents, 0, 0, &events, 0.0f) == 1;
}

// ---------------------------------------------------------------------------------------------
// Host identification

int IPlugVST::IdentifyHost()
{
  if (GetHost() != -1) return GetHost();

  char name[kVstMaxHostProductStrLen] = {};
  CallHost(audioMasterGetProductString, 0, 0, name, 0.0f);
  name[sizeof(name) - 1] = '\0';  // whatever the host wrote, the text ends inside the buffer

  int packed = 0;
  if (name[0]) {
    const VstIntPtr v = CallHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
    const long long decimal = (long long) v;
    const long long major = decimal / 10000;
    const long long minor = (decimal % 10000) / 100;
    const long long patch = decimal % 100;
    packed = (int) (major * 65536 + minor * 256 + patch);
  }
  SetHost(name, packed);
  return GetHost();
}

void IPlugVST::PrepareForHost()
{
  if (mHostPrepared) return;
  mHostPrepared = true;

  const int host = IdentifyHost();
  if (host == 15 || host == 17 || host == 18 || host == 20) ApplyHostChannelLimits();

  mAEffect.numInputs = mInputSpkrArr.numChannels = NInChannels();
  mAEffect.numOutputs = mOutputSpkrArr.numChannels = NOutChannels();
}

// ---------------------------------------------------------------------------------------------
// Editor, block size, latency

void IPlugVST::ConnectGraphics(IGraphicsLink* graphics)
{
  if (!graphics) return;
  IPlugBase::ConnectGraphics(graphics);
  mAEffect.flags |= effFlagsHasEditor;
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = (VstInt16) graphics->Height();
  mEditRect.right = (VstInt16) graphics->Width();
}

void IPlugVST::RefreshEditorRect(int width, int height)
{
  IGraphicsLink* graphics = GetGraphics();
  if (!graphics) return;
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = (VstInt16) graphics->Height();
  mEditRect.right = (VstInt16) graphics->Width();
}

void IPlugVST::UpdateLatency(int samples)
{
  mAEffect.initialDelay = samples;
  IPlugBase::UpdateLatency(samples);
}

void IPlugVST::UpdateBlockSize(int nFrames)
{
  // A block size must be positive; a larger one than the buffers are made for is taken as the
  // largest, and longer blocks are processed in slices.
  if (nFrames <= 0) return;
  if (nFrames > kMaxBlockSize) nFrames = kMaxBlockSize;
  IPlugBase::UpdateBlockSize(nFrames);
  SizeSubstitutes(nFrames);
}

void IPlugVST::SizeSubstitutes(int nFrames)
{
  if ((int) mSilenceF.size() == nFrames) return;
  mSilenceF.assign(nFrames, 0.0f);
  mSinkF.assign(nFrames, 0.0f);
  mSilenceD.assign(nFrames, 0.0);
  mSinkD.assign(nFrames, 0.0);
}

// ---------------------------------------------------------------------------------------------
// Dispatcher

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opCode, VstInt32 idx, VstIntPtr value,
                                              void* ptr, float opt)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0;

  std::unique_lock<std::recursive_mutex> lock(plug->Mutex());
  if (opCode == effEditIdle || opCode == effIdle) return 0;
  if (opCode == effClose) {
    lock.unlock();
    delete plug;
    return 0;
  }
  return plug->Dispatch(opCode, idx, value, ptr, opt);
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opCode, VstInt32 idx, VstIntPtr value, void* ptr, float opt)
{
  switch (opCode) {
    case effOpen:
      PrepareForHost();
      NotifyAllParamsChanged();
      return 0;

    case effSetProgram:
      if (!DoesStateChunks()) StoreCurrentPreset();
      if (value >= 0 && value <= INT_MAX) LoadPreset((int) value);
      return 0;

    case effGetProgram:
      return GetCurrentPresetIdx();

    case effSetProgramName:
      if (ptr) StoreCurrentPreset(static_cast<const char*>(ptr));
      return 0;

    case effGetProgramName:
      if (ptr) CopyToHost(ptr, PresetName(GetCurrentPresetIdx()), kVstMaxProgNameLen);
      return 0;

    case effGetParamLabel:
      if (ptr && ValidIndex(this, idx)) CopyToHost(ptr, GetParam(idx)->Label(), kVstMaxParamStrLen);
      return 0;

    case effGetParamDisplay:
      if (ptr && ValidIndex(this, idx)) {
        const IParam* param = GetParam(idx);
        param->FormatForHost(param->Value(), false, static_cast<char*>(ptr), kVstMaxParamStrLen);
      }
      return 0;

    case effGetParamName:
      if (ptr && ValidIndex(this, idx)) CopyToHost(ptr, GetParam(idx)->Name(), kVstMaxParamStrLen);
      return 0;

    case effSetSampleRate:
      // Only a positive, finite rate is taken; the reset runs either way.
      if (std::isfinite(opt) && opt > 0.0f) UpdateSampleRate((double) opt);
      Reset();
      return 0;

    case effSetBlockSize:
      UpdateBlockSize(value > kMaxBlockSize ? kMaxBlockSize : (int) (value < 0 ? 0 : value));
      Reset();
      return 0;

    case effMainsChanged:
      if (value) {
        OnActivation(true);
      } else {
        OnActivation(false);
        Reset();
      }
      return 0;

    case effEditGetRect:
      if (ptr && GetGraphics()) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;

    case effEditOpen:
      if (IGraphicsLink* graphics = GetGraphics()) {
        if (graphics->OpenWindow(static_cast<HWND>(ptr))) {
          OnEditorOpened();
          return 1;
        }
      }
      return 0;

    case effEditClose:
      if (IGraphicsLink* graphics = GetGraphics()) {
        OnEditorClosed();
        graphics->CloseWindow();
        return 1;
      }
      return 0;

    case effIdentify:
      return kIdentifyMagic;

    case effGetChunk:
      if (!ptr) return 0;
      return GetChunk(idx == 0, static_cast<void**>(ptr));

    case effSetChunk:
      if (!ptr) return 0;
      return SetChunk(idx == 0, value, ptr);

    case effProcessEvents:
      if (!ptr) return 0;
      ProcessEvents(static_cast<const VstEvents*>(ptr));
      return 1;

    case effCanBeAutomated:
      return 1;

    case effGetProgramNameIndexed:
      if (ptr) {
        CopyToHost(ptr, PresetName(idx), kVstMaxProgNameLen);
        return static_cast<char*>(ptr)[0] ? 1 : 0;
      }
      return 0;

    case effGetInputProperties:
    case effGetOutputProperties: {
      const bool input = opCode == effGetInputProperties;
      const int count = input ? NInChannels() : NOutChannels();
      VstPinProperties* pin = static_cast<VstPinProperties*>(ptr);
      if (!pin || idx < 0 || idx >= count) return 0;
      pin->flags = kVstPinIsActive;
      if (idx % 2 == 0) pin->flags |= kVstPinIsStereo;
      std::snprintf(pin->label, sizeof(pin->label), input ? "Input %d" : "Output %d", idx + 1);
      return 1;
    }

    case effGetPlugCategory:
      return kPlugCategEffect;

    case effProcessVarIo:
      return 0;

    case effSetSpeakerArrangement:
      SetSpeakerConnections(reinterpret_cast<const VstSpeakerArrangement*>(value),
                            static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;

    case effGetEffectName:
      if (!ptr) return 0;
      CopyToHost(ptr, GetEffectName(), kVstMaxEffectNameLen);
      return 1;

    case effGetVendorString:
      if (!ptr) return 0;
      CopyToHost(ptr, GetMfrName(), kVstMaxVendorStrLen);
      return 1;

    case effGetProductString:
      if (!ptr) return 0;
      CopyToHost(ptr, GetProductName(), kVstMaxProductStrLen);
      return 1;

    case effVendorSpecific:
      if (idx == kVendorSpecificFormatValue && ptr) {
        // A normalised value formatted for display; a NaN value writes nothing.
        if (ValidIndex(this, value) && !std::isnan(opt)) {
          GetParam((int) value)->FormatForHost((double) opt, true, static_cast<char*>(ptr), kVstMaxParamStrLen);
        }
        return kVendorSpecificAnswer;
      }
      return 0;

    case effCanDo: {
      if (!ptr) return 0;
      const char* text = static_cast<const char*>(ptr);
      if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
      if (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
          !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")) {
        return mDoesMidi ? 1 : 0;
      }
      if (!std::strcmp(text, "hasCockosExtensions") || !std::strcmp(text, "hasCockosViewAsConfig")) {
        return kCockosAnswer;
      }
      return 0;
    }

    case effGetVstVersion:
      return kVstVersion;

    case effGetMidiKeyName: {
      MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      const bool named = GetNoteName(key->thisKeyNumber, key->keyName, (int) sizeof(key->keyName));
      key->keyName[sizeof(key->keyName) - 1] = '\0';
      return named ? 1 : 0;
    }

    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputSpkrArr;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputSpkrArr;
      return 1;

    default:
      return 0;
  }
}

VstIntPtr IPlugVST::GetChunk(bool isBank, void** data)
{
  ByteChunk& chunk = isBank ? mBankState : mState;
  chunk.Clear();
  const VstInt32 magic = kStateMagic;
  const VstInt32 version = kStateVersion;
  chunk.Put(&magic);
  chunk.Put(&version);
  if (isBank) StoreCurrentPreset();
  if (WriteState(&chunk) && chunk.Size() > 0) {
    *data = chunk.Data();
    return chunk.Size();
  }
  return 0;
}

VstIntPtr IPlugVST::SetChunk(bool isBank, VstIntPtr size, const void* data)
{
  // A negative size, or one no chunk can have, is refused before anything changes.
  if (size < 0 || size > INT_MAX) return 0;
  ByteChunk& chunk = isBank ? mBankState : mState;
  // Hosts may hand back the very buffer an earlier effGetChunk gave them: take the bytes out
  // before the buffer is resized.
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const unsigned char* own = chunk.Data();
  if (own && size > 0 && bytes < own + chunk.Size() && own < bytes + size) {
    const std::vector<unsigned char> staged(bytes, bytes + size);
    chunk.SetSize((int) size);
    std::memcpy(chunk.Data(), staged.data(), staged.size());
  } else {
    chunk.SetSize((int) size);
    if (size > 0) std::memcpy(chunk.Data(), bytes, (size_t) size);
  }

  int version = 0;
  int start = 0;
  VstInt32 magic = 0;
  if (chunk.Size() >= 4 && chunk.Get(&magic, 0) >= 0 && magic == kStateMagic) {
    VstInt32 v = 0;
    if (chunk.Get(&v, 4) >= 0) {
      version = v;
      start = 8;
    } else {
      start = -1;
    }
  }

  const int result = ReadState(&chunk, start);
  if (!(isBank && version >= kStateVersion)) StoreCurrentPreset();
  if (result >= 0) {
    PushParamsToGraphics();
    return 1;
  }
  return 0;
}

void IPlugVST::ProcessEvents(const VstEvents* events)
{
  // The list declares two entries but holds numEvents: read it through a pointer, not the array.
  VstEvent* const* list = events->events;
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    VstEvent* event = list[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage msg;
      msg.offset = midi->deltaFrames;
      msg.status = (unsigned char) midi->midiData[0];
      msg.data1 = (unsigned char) midi->midiData[1];
      msg.data2 = (unsigned char) midi->midiData[2];
      OnMidiMessage(msg);
    } else {
      ForwardEventToHost(event);
    }
  }
}

void IPlugVST::SetSpeakerConnections(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out)
{
  // An arrangement that is missing or has a negative channel count leaves that side as it is.
  if (in && in->numChannels >= 0) {
    const int nIn = NInChannels();
    const int n = in->numChannels < nIn ? in->numChannels : nIn;
    SetInputConnections(0, n, true);
    SetInputConnections(n, nIn - n, false);
  }
  if (out && out->numChannels >= 0) {
    const int nOut = NOutChannels();
    const int n = out->numChannels < nOut ? out->numChannels : nOut;
    SetOutputConnections(0, n, true);
    SetOutputConnections(n, nOut - n, false);
  }
}

// ---------------------------------------------------------------------------------------------
// Audio entries

void IPlugVST::PrepareFloatBlock(float** inputs, float** outputs, int nFrames)
{
  if (mDoesMidi) CallHost(audioMasterWantMidi, 0, 1, nullptr, 0.0f);
  BindInputsFloat(0, NInChannels(), inputs, nFrames);
  BindOutputsFloat(0, NOutChannels(), outputs);
}

void IPlugVST::PrepareDoubleBlock(double** inputs, double** outputs)
{
  if (mDoesMidi) CallHost(audioMasterWantMidi, 0, 1, nullptr, 0.0f);
  BindInputs(0, NInChannels(), inputs);
  BindOutputs(0, NOutChannels(), outputs);
}

// The host's arrays go to the channels in slices of at most the block size, so the conversion
// buffers never overflow; a missing channel array reads silence or writes into a sink.
void IPlugVST::ProcessFloat(float** inputs, float** outputs, int nFrames, FloatMode mode)
{
  if (nFrames < 0) return;
  const int blockSize = GetBlockSize();
  const int sliceMax = blockSize < (int) mSinkF.size() ? blockSize : (int) mSinkF.size();
  if (sliceMax <= 0) return;

  // The usual block: within the block size, every array present. The channels take the host's
  // arrays as they are.
  if (nFrames <= sliceMax && inputs && outputs) {
    bool present = true;
    for (int i = 0; i < NConnectedInChannels(); ++i) present = present && inputs[i];
    for (int i = 0; i < NConnectedOutChannels(); ++i) present = present && outputs[i];
    if (present) {
      if (mDoesMidi) CallHost(audioMasterWantMidi, 0, 1, nullptr, 0.0f);
      RunFloatBlock(inputs, outputs, nFrames, mode == FloatMode::Accumulating);
      return;
    }
  }
  ProcessFloatSlices(inputs, outputs, nFrames, sliceMax, mode);
}

// Out of line, so that the usual block above pays nothing for it.
__attribute__((noinline)) void IPlugVST::ProcessFloatSlices(float** inputs, float** outputs,
                                                            int nFrames, int sliceMax,
                                                            FloatMode mode)
{
  const int nIn = NConnectedInChannels();
  const int nOut = NConnectedOutChannels();
  bool midiAsked = false;
  int done = 0;
  do {
    const int n = nFrames - done < sliceMax ? nFrames - done : sliceMax;
    for (int i = 0; i < nIn; ++i) {
      float* host = inputs ? inputs[i] : nullptr;
      mSliceInF[i] = host ? host + done : mSilenceF.data();
    }
    for (int i = 0; i < nOut; ++i) {
      float* host = outputs ? outputs[i] : nullptr;
      mSliceOutF[i] = host ? host + done : mSinkF.data();
    }
    if (!midiAsked) {
      PrepareFloatBlock(mSliceInF.data(), mSliceOutF.data(), n);
      midiAsked = true;
    } else {
      BindInputsFloat(0, NInChannels(), mSliceInF.data(), n);
      BindOutputsFloat(0, NOutChannels(), mSliceOutF.data());
    }
    if (mode == FloatMode::Replacing) {
      RunReplacingFloat(n);
    } else {
      RunAccumulatingFloat(n);
    }
    done += n;
  } while (done < nFrames);
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int nFrames)
{
  if (nFrames < 0) return;
  const int nIn = NConnectedInChannels();
  const int nOut = NConnectedOutChannels();

  bool complete = inputs || nIn == 0;
  for (int i = 0; complete && i < nIn; ++i) complete = inputs[i] != nullptr;
  complete = complete && (outputs || nOut == 0);
  for (int i = 0; complete && i < nOut; ++i) complete = outputs[i] != nullptr;

  // A channel that is not connected reads or writes its own scratch, which holds one block.
  const bool allConnected = nIn == NInChannels() && nOut == NOutChannels();
  if (complete && (allConnected || nFrames <= GetBlockSize())) {
    // The effect works on the host's own arrays, whatever the length of the block.
    PrepareDoubleBlock(inputs, outputs);
    RunReplacing(nFrames);
    return;
  }

  // Some channel array is missing, or the block is longer than the scratch: process it in
  // slices, with stand-ins for missing arrays.
  const int blockSize = GetBlockSize();
  const int sliceMax = blockSize < (int) mSinkD.size() ? blockSize : (int) mSinkD.size();
  if (sliceMax <= 0) return;
  bool midiAsked = false;
  int done = 0;
  do {
    const int n = nFrames - done < sliceMax ? nFrames - done : sliceMax;
    for (int i = 0; i < nIn; ++i) {
      double* host = inputs ? inputs[i] : nullptr;
      if (host) {
        mSliceInD[i] = host + done;
      } else {
        std::memset(mSilenceD.data(), 0, sizeof(double) * (size_t) n);
        mSliceInD[i] = mSilenceD.data();
      }
    }
    for (int i = 0; i < nOut; ++i) {
      double* host = outputs ? outputs[i] : nullptr;
      mSliceOutD[i] = host ? host + done : mSinkD.data();
    }
    if (!midiAsked) {
      PrepareDoubleBlock(mSliceInD.data(), mSliceOutD.data());
      midiAsked = true;
    } else {
      BindInputs(0, NInChannels(), mSliceInD.data());
      BindOutputs(0, NOutChannels(), mSliceOutD.data());
    }
    RunReplacing(n);
    done += n;
  } while (done < nFrames);
}

void VSTCALLBACK IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  IMutexLock lock(plug);
  plug->ProcessFloat(inputs, outputs, nFrames, FloatMode::Accumulating);
}

void VSTCALLBACK IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 nFrames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  IMutexLock lock(plug);
  plug->ProcessFloat(inputs, outputs, nFrames, FloatMode::Replacing);
}

void VSTCALLBACK IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                     VstInt32 nFrames)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  IMutexLock lock(plug);
  plug->ProcessDouble(inputs, outputs, nFrames);
}

// ---------------------------------------------------------------------------------------------
// Parameter entries

float VSTCALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 idx)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return 0.0f;
  IMutexLock lock(plug);
  if (!ValidIndex(plug, idx)) return 0.0f;
  return (float) plug->GetParam(idx)->ToNormalized();
}

void VSTCALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 idx, float value)
{
  IPlugVST* plug = PlugOf(effect);
  if (!plug) return;
  IMutexLock lock(plug);
  if (!ValidIndex(plug, idx) || std::isnan(value)) return;
  // A normalised value lies in 0..1: anything outside (infinities included) is taken as the nearer
  // end, so no host value can store a plain value outside the range, which a saved state could not
  // bring back and which (at -infinity) would turn the output into infinities.
  const double v = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : (double) value);
  if (IGraphicsLink* graphics = plug->GetGraphics()) graphics->OnParamFromPlugin(idx, v, true);
  plug->GetParam(idx)->SetFromNormalized(v);
  plug->OnParamChange(idx);
}

// ---------------------------------------------------------------------------------------------
// Creation

AEffect* VSTCreateEffect(IPlugVST* (*make)(audioMasterCallback), audioMasterCallback hostCallback)
{
  // Serialises creation across hosts' threads; lives until the process ends.
  static std::mutex creationMutex;
  std::lock_guard<std::mutex> lock(creationMutex);
  if (!make) return nullptr;
  IPlugVST* plug = nullptr;
  try {
    plug = make(hostCallback);
  } catch (...) {
    // Nothing may cross the C boundary to the host: an object that could not be made is none.
    plug = nullptr;
  }
  if (!plug) return nullptr;
  plug->EnsureOnePreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}
