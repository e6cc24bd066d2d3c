#include "framework/IPlugBase.h"

#include <assert.h>
#include <stdio.h>

#include <algorithm>
#include <cstring>

#include "framework/FixedText.h"
#include "framework/SampleConvert.h"

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
                     int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
  : mUniqueID(uniqueID),
    mMfrID(mfrID),
    mVersion(vendorVersion),
    mStateChunks(plugDoesChunks),
    mIsInst(plugIsInst),
    mLatency(latency)
{
  for (int i = 0; i < nParams; ++i)
    mParams.push_back(std::make_unique<IParam>());

  for (int i = 0; i < nPresets; ++i)
  {
    auto preset = std::make_unique<IPreset>();
    snprintf(preset->name, IPreset::kNameSize, "- %d -", i + 1);
    mPresets.push_back(std::move(preset));
  }

  torvo::CopyFixedText(mEffectName, kNameSize, effectName);
  torvo::CopyFixedText(mProductName, kNameSize, productName);
  torvo::CopyFixedText(mMfrName, kNameSize, mfrName);

  // The channel configurations: "inputs-outputs" pairs separated by spaces. The text is fixed by
  // the effect, so a malformed entry is a programming error.
  int maxIn = 0;
  int maxOut = 0;
  if (channelIOStr && channelIOStr[0] != '\0')
  {
    for (;;)
    {
      int nIn = 0;
      int nOut = 0;
      const bool parsed = sscanf(channelIOStr, "%d-%d", &nIn, &nOut) == 2;
      assert(sscanf(channelIOStr, "%d-%d", &nIn, &nOut) == 2);
      if (!parsed)
        break;  // only reached when assertions are compiled out
      mChannelConfigs.push_back(ChannelConfig{nIn, nOut});
      maxIn = std::max(maxIn, nIn);
      maxOut = std::max(maxOut, nOut);
      channelIOStr = std::strchr(channelIOStr, ' ');
      if (!channelIOStr)
        break;
      ++channelIOStr;
    }
  }

  mInData.assign((size_t) maxIn, nullptr);
  mOutData.assign((size_t) maxOut, nullptr);
  mInChannels.resize((size_t) maxIn);
  mOutChannels.resize((size_t) maxOut);
  for (int i = 0; i < maxIn; ++i)
    mInChannels[i].slot = &mInData[i];
  for (int i = 0; i < maxOut; ++i)
    mOutChannels[i].slot = &mOutData[i];
}

IPlugBase::~IPlugBase()
{
  // The graphics object goes first (its controls refer to the parameters), the mutex last.
  mGraphics.reset();
  mParams.clear();
  mPresets.clear();
  mInChannels.clear();
  mOutChannels.clear();
  mInData.clear();
  mOutData.clear();
  mChannelConfigs.clear();
}

// ---- Reactions ----

void IPlugBase::Reset()
{
  IMutexLock lock(this);
}

void IPlugBase::OnParamChange(int paramIdx)
{
  IMutexLock lock(this);
}

void IPlugBase::OnActivation(bool active)
{
  IMutexLock lock(this);
}

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  if (!outputs || nFrames <= 0)
    return;
  const int nIn = inputs ? NInChannels() : 0;
  const int nOut = NOutChannels();
  for (int k = 0; k < nOut; ++k)
  {
    double* out = outputs[k];
    if (!out)
      continue;
    const double* in = k < nIn ? inputs[k] : nullptr;
    if (in)
    {
      if (in != out)
        std::memmove(out, in, (size_t) nFrames * sizeof(double));
    }
    else
    {
      std::fill(out, out + nFrames, 0.0);
    }
  }
}

void IPlugBase::OnMidiMessage(const MidiMessage& msg)
{
  SendMidiMessage(msg);
}

bool IPlugBase::GetNoteName(int noteNumber, char* name, int capacity)
{
  torvo::CopyFixedText(name, capacity, "");
  return false;
}

bool IPlugBase::WriteState(ByteChunk* chunk)
{
  return SerializeParams(chunk);
}

int IPlugBase::ReadState(const ByteChunk* chunk, int startPos)
{
  return UnserializeParams(chunk, startPos);
}

void IPlugBase::HostTimeSignature(int* numerator, int* denominator)
{
  // Without a host to ask: common time.
  if (numerator)
    *numerator = 4;
  if (denominator)
    *denominator = 4;
}

bool IPlugBase::SendMidiMessages(const std::vector<MidiMessage>& msgs)
{
  bool allSent = true;
  for (const MidiMessage& msg : msgs)
  {
    if (!SendMidiMessage(msg))
      allSent = false;
  }
  return allSent;
}

// ---- Identity ----

int IPlugBase::EffectVersion(bool decimal) const
{
  if (!decimal)
    return mVersion;
  const unsigned v = (unsigned) mVersion;
  return (int) ((v >> 16) * 10000u + ((v >> 8) & 0xFFu) * 100u + (v & 0xFFu));
}

// ---- Parameters ----

IParam* IPlugBase::GetParam(int idx)
{
  return (idx >= 0 && idx < NParams()) ? mParams[(size_t) idx].get() : nullptr;
}

const IParam* IPlugBase::GetParam(int idx) const
{
  return (idx >= 0 && idx < NParams()) ? mParams[(size_t) idx].get() : nullptr;
}

void IPlugBase::SetParameterFromGUI(int idx, double normalizedValue)
{
  IMutexLock lock(this);
  IParam* param = GetParam(idx);
  if (!param)
    return;
  param->SetFromNormalized(normalizedValue);
  NotifyHostParamChange(idx, normalizedValue);
  OnParamChange(idx);
}

void IPlugBase::NotifyAllParamsChanged()
{
  for (int i = 0; i < NParams(); ++i)
    OnParamChange(i);
}

void IPlugBase::ConnectGraphics(IGraphicsLink* graphics)
{
  if (!graphics)
    return;
  IMutexLock lock(this);
  for (int i = 0; i < NParams(); ++i)
    graphics->OnParamFromPlugin(i, mParams[(size_t) i]->ToNormalized(), true);
  graphics->CreateSurface();
  if (graphics != mGraphics.get())
    mGraphics.reset(graphics);
}

void IPlugBase::PushParamsToGraphics()
{
  if (!mGraphics)
    return;
  for (int i = 0; i < NParams(); ++i)
    mGraphics->OnParamFromPlugin(i, mParams[(size_t) i]->Value(), false);
}

// ---- Audio configuration ----

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
  for (const ChannelConfig& config : mChannelConfigs)
  {
    if ((nIn < 0 || nIn == config.nIn) && (nOut < 0 || nOut == config.nOut))
      return true;
  }
  return false;
}

bool IPlugBase::IsInChannelConnected(int idx) const
{
  return idx >= 0 && idx < NInChannels() && mInChannels[(size_t) idx].connected;
}

bool IPlugBase::IsOutChannelConnected(int idx) const
{
  return idx >= 0 && idx < NOutChannels() && mOutChannels[(size_t) idx].connected;
}

void IPlugBase::UpdateBlockSize(int nFrames)
{
  if (nFrames < 0 || nFrames == mBlockSize)
    return;
  // Every scratch holds at least mScratchFrames samples, also if an allocation below fails.
  mScratchFrames = std::min(mScratchFrames, nFrames);
  for (InputChannel& channel : mInChannels)
  {
    const double* old = channel.scratch.data();
    channel.scratch.assign((size_t) nFrames, 0.0);
    // A slot that read the old scratch now reads the new one.
    if (!channel.connected || *channel.slot == old)
      *channel.slot = channel.scratch.data();
  }
  for (OutputChannel& channel : mOutChannels)
  {
    const double* old = channel.scratch.data();
    channel.scratch.assign((size_t) nFrames, 0.0);
    if (!channel.connected || *channel.slot == old)
      *channel.slot = channel.scratch.data();
  }
  mBlockSize = nFrames;
  mScratchFrames = nFrames;
}

// ---- Channel glue ----

namespace
{
// The channel indexes first .. first + count - 1 that exist among n channels, as [begin, end).
void ChannelRange(int first, int count, int n, int* begin, int* end)
{
  long long b = std::max(0LL, (long long) first);
  long long e = std::min((long long) n, (long long) first + (long long) count);
  *begin = (int) std::min(b, (long long) n);
  *end = (int) std::max(e, (long long) *begin);
}


// Connects or disconnects the channels of the range; a disconnected channel reads or writes its
// own scratch. Returns how many channels are connected afterwards.
template <class Channel>
int SetConnections(std::vector<Channel>& channels, int first, int count, bool connected)
{
  int begin, end;
  ChannelRange(first, count, (int) channels.size(), &begin, &end);
  for (int i = begin; i < end; ++i)
  {
    Channel& channel = channels[(size_t) i];
    channel.connected = connected;
    if (!connected)
      *channel.slot = channel.scratch.data();
  }
  int n = 0;
  for (const Channel& channel : channels)
    n += channel.connected ? 1 : 0;
  return n;
}

// Hands the host's arrays out to the connected channels of the range, in order; a null array
// falls back to the channel's scratch.
template <class Channel>
void BindArrays(std::vector<Channel>& channels, int first, int count, double** hostArrays)
{
  if (!hostArrays)
    return;
  int begin, end;
  ChannelRange(first, count, (int) channels.size(), &begin, &end);
  int next = 0;
  for (int i = begin; i < end; ++i)
  {
    Channel& channel = channels[(size_t) i];
    if (!channel.connected)
      continue;
    double* array = hostArrays[next++];
    *channel.slot = array ? array : channel.scratch.data();
  }
}
}  // namespace

void IPlugBase::SetInputConnections(int first, int count, bool connected)
{
  mConnectedIn = SetConnections(mInChannels, first, count, connected);
}

void IPlugBase::SetOutputConnections(int first, int count, bool connected)
{
  mConnectedOut = SetConnections(mOutChannels, first, count, connected);
}

void IPlugBase::BindInputs(int first, int count, double** hostArrays)
{
  BindArrays(mInChannels, first, count, hostArrays);
}

void IPlugBase::BindOutputs(int first, int count, double** hostArrays)
{
  BindArrays(mOutChannels, first, count, hostArrays);
}

void IPlugBase::BindInputsFloat(int first, int count, float** hostArrays, int nFrames)
{
  if (!hostArrays)
    return;
  int begin, end;
  ChannelRange(first, count, NInChannels(), &begin, &end);
  int next = 0;
  for (int i = begin; i < end; ++i)
  {
    InputChannel& channel = mInChannels[(size_t) i];
    if (!channel.connected)
      continue;
    const float* array = hostArrays[next++];
    const int n = std::clamp(nFrames, 0, (int) channel.scratch.size());
    double* scratch = channel.scratch.data();
    if (array)
      WidenSamples(array, scratch, n);
    else
    {
      std::fill(scratch, scratch + n, 0.0);
    }
    *channel.slot = scratch;
  }
}

void IPlugBase::BindOutputsFloat(int first, int count, float** hostArrays)
{
  if (!hostArrays)
    return;
  int begin, end;
  ChannelRange(first, count, NOutChannels(), &begin, &end);
  int next = 0;
  for (int i = begin; i < end; ++i)
  {
    OutputChannel& channel = mOutChannels[(size_t) i];
    if (!channel.connected)
      continue;
    *channel.slot = channel.scratch.data();
    channel.dest = hostArrays[next++];
  }
}

void IPlugBase::RunReplacing(int nFrames)
{
  // Channels not bound to host arrays read and write their scratch, which holds one block: never
  // let the effect run past it (nor through a slot that points nowhere yet, which only happens
  // before the first block size, while the scratch holds nothing). A block every scratch holds
  // needs no look at the channels.
  int n = std::max(nFrames, 0);
  if (n <= mScratchFrames)
  {
    ProcessDoubleReplacing(mInData.data(), mOutData.data(), n);
    return;
  }
  for (const InputChannel& channel : mInChannels)
  {
    if (*channel.slot == nullptr || *channel.slot == channel.scratch.data())
      n = std::min(n, (int) channel.scratch.size());
  }
  for (const OutputChannel& channel : mOutChannels)
  {
    if (*channel.slot == nullptr || *channel.slot == channel.scratch.data())
      n = std::min(n, (int) channel.scratch.size());
  }
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), n);
}

// Each connected output's scratch narrowed into (or added onto) its host array, never past the
// scratch.
void IPlugBase::NarrowOutputs(int nFrames, bool accumulate)
{
  for (OutputChannel& channel : mOutChannels)
  {
    if (!channel.connected || !channel.dest)
      continue;
    const int n = std::clamp(nFrames, 0, (int) channel.scratch.size());
    if (accumulate)
      NarrowAddSamples(channel.scratch.data(), channel.dest, n);
    else
      NarrowSamples(channel.scratch.data(), channel.dest, n);
  }
}

void IPlugBase::RunReplacingFloat(int nFrames)
{
  RunReplacing(nFrames);
  NarrowOutputs(nFrames, false);
}

// The same work as BindInputsFloat, BindOutputsFloat and RunReplacingFloat (or
// RunAccumulatingFloat) in a row, done in one pass when every scratch holds the block: this is
// the path of every usual host block, where the separate steps cost a noticeable share of a
// small block.
void IPlugBase::RunFloatBlock(float** inputs, float** outputs, int nFrames, bool accumulate)
{
  if (nFrames < 0 || nFrames > mScratchFrames)
  {
    BindInputsFloat(0, NInChannels(), inputs, nFrames);
    BindOutputsFloat(0, NOutChannels(), outputs);
    if (accumulate)
      RunAccumulatingFloat(nFrames);
    else
      RunReplacingFloat(nFrames);
    return;
  }
  int next = 0;
  for (InputChannel& channel : mInChannels)
  {
    if (!channel.connected)
      continue;
    double* scratch = channel.scratch.data();
    WidenSamples(inputs[next++], scratch, nFrames);
    *channel.slot = scratch;
  }
  next = 0;
  for (OutputChannel& channel : mOutChannels)
  {
    if (!channel.connected)
      continue;
    *channel.slot = channel.scratch.data();
    channel.dest = outputs[next++];
  }
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), nFrames);
  NarrowOutputs(nFrames, accumulate);
}

void IPlugBase::RunAccumulatingFloat(int nFrames)
{
  RunReplacing(nFrames);
  NarrowOutputs(nFrames, true);
}
