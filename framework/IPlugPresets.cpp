// Presets and the serialized parameter layout: one 64-bit float per parameter, in index order,
// in the machine's byte order.

#include "framework/IPlugBase.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "framework/FixedText.h"

namespace
{
// A stored value limited to the parameter's range; NaN loads as the minimum.
double LimitToRange(const IParam& param, double v)
{
  if (std::isnan(v) || v < param.Min())
    return param.Min();
  if (v > param.Max())
    return param.Max();
  return v;
}

bool IsWholeNumberKind(const IParam& param)
{
  return param.Type() == IParam::kTypeBool || param.Type() == IParam::kTypeInt ||
         param.Type() == IParam::kTypeEnum;
}
}  // namespace

bool IPlugBase::SerializeParams(ByteChunk* chunk)
{
  IMutexLock lock(this);
  if (!chunk)
    return false;
  bool ok = true;
  for (const std::unique_ptr<IParam>& param : mParams)
  {
    const double v = param->Value();
    if (chunk->Put(&v) <= 0)
      ok = false;
  }
  return ok;
}

int IPlugBase::UnserializeParams(const ByteChunk* chunk, int startPos)
{
  IMutexLock lock(this);
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i)
  {
    double v = 0.0;
    const int next = chunk ? chunk->Get(&v, pos) : -1;
    if (next < 0)
      v = 0.0;
    pos = next;
    IParam* param = mParams[(size_t) i].get();
    param->SetValue(LimitToRange(*param, v));
  }
  NotifyAllParamsChanged();
  return pos;
}

void IPlugBase::AddPreset(const char* name, ...)
{
  IPreset* preset = nullptr;
  for (std::unique_ptr<IPreset>& p : mPresets)
  {
    if (!p->initialized)
    {
      preset = p.get();
      break;
    }
  }
  if (!preset)
    return;

  preset->initialized = true;
  torvo::CopyFixedText(preset->name, IPreset::kNameSize, name);

  va_list args;
  va_start(args, name);
  for (const std::unique_ptr<IParam>& param : mParams)
  {
    double v;
    if (IsWholeNumberKind(*param))
      v = (double) va_arg(args, int);
    else
      v = va_arg(args, double);
    preset->state.Put(&v);
  }
  va_end(args);
}

void IPlugBase::FillPresets(const char* name, int count)
{
  for (int n = 0; n < count; ++n)
  {
    for (std::unique_ptr<IPreset>& p : mPresets)
    {
      if (!p->initialized)
      {
        p->initialized = true;
        torvo::CopyFixedText(p->name, IPreset::kNameSize, name ? name : "Default");
        SerializeParams(&p->state);
        break;
      }
    }
  }
}

void IPlugBase::EnsureOnePreset()
{
  if (!mPresets.empty())
    return;
  auto preset = std::make_unique<IPreset>();
  std::snprintf(preset->name, IPreset::kNameSize, "- %d -", 1);
  mPresets.push_back(std::move(preset));
  FillPresets("Default", 1);
}

bool IPlugBase::LoadPreset(int idx)
{
  if (idx < 0 || idx >= NPresets())
    return false;
  IPreset* preset = mPresets[(size_t) idx].get();
  bool ok;
  if (preset->initialized)
  {
    ok = UnserializeParams(&preset->state, 0) > 0;
  }
  else
  {
    // An empty slot captures the current values under a new user preset name.
    preset->initialized = true;
    NextUserPresetName(preset->name, IPreset::kNameSize);
    ok = SerializeParams(&preset->state);
  }
  if (ok)
  {
    mCurrentPresetIdx = idx;
    PushParamsToGraphics();
  }
  return ok;
}

void IPlugBase::StoreCurrentPreset(const char* name)
{
  if (mCurrentPresetIdx < 0 || mCurrentPresetIdx >= NPresets())
    return;
  IPreset* preset = mPresets[(size_t) mCurrentPresetIdx].get();
  preset->state.Clear();
  SerializeParams(&preset->state);
  if (name && name[0] != '\0')
    torvo::CopyFixedText(preset->name, IPreset::kNameSize, name);
}

const char* IPlugBase::PresetName(int idx) const
{
  if (idx < 0 || idx >= NPresets())
    return "";
  return mPresets[(size_t) idx]->name;
}

void IPlugBase::NextUserPresetName(char* out, int capacity) const
{
  if (!out || capacity <= 0)
    return;
  int count = 0;
  for (const std::unique_ptr<IPreset>& p : mPresets)
  {
    if (std::strstr(p->name, "user preset"))
      ++count;
  }
  std::snprintf(out, (size_t) capacity, "%s %d", "user preset", count + 1);
}
