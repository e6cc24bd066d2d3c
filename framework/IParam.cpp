#include "framework/IParam.h"

#include "framework/FixedText.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// True when the whole part of v is representable as an int, so truncating is defined.
bool WholePartFitsInt(double v)
{
  return v > (double) INT_MIN - 1.0 && v < (double) INT_MAX + 1.0;  // false for NaN
}
}  // namespace

IParam::IParam()
  : mType(kTypeNone), mValue(0.0), mMin(0.0), mMax(1.0), mStep(1.0), mShape(1.0), mDecimals(0)
{
  mName[0] = '\0';
  mLabel[0] = '\0';
}

void IParam::InitContinuous(const char* name, double defaultVal, double minVal, double maxVal, double step,
                            const char* label)
{
  if (mType == kTypeNone)
    mType = kTypeDouble;

  torvo::CopyFixedText(mName, kTextSize, name);
  torvo::CopyFixedText(mLabel, kTextSize, label);

  mMin = minVal;
  mValue = defaultVal;
  mMax = (maxVal >= minVal + step) ? maxVal : minVal + step;
  mStep = step;

  // Display decimals: the number of decimal places the step needs, at most kMaxDecimals.
  mDecimals = 0;
  double x = step;
  while (x != std::floor(x))
  {
    ++mDecimals;
    if (mDecimals >= kMaxDecimals)
      break;
    x *= 10.0;
  }
}

void IParam::InitChoice(const char* name, int defaultIdx, int nChoices)
{
  if (mType == kTypeNone)
    mType = kTypeEnum;
  InitContinuous(name, (double) defaultIdx, 0.0, (double) nChoices - 1.0, 1.0, "");
}

void IParam::AddValueText(int value, const char* text)
{
  ValueText record;
  record.value = value;
  torvo::CopyFixedText(record.text, kTextSize, text);
  mValueTexts.push_back(record);
}

int IParam::ValueTextCount() const
{
  return (int) mValueTexts.size();
}

const char* IParam::ValueTextFor(int value) const
{
  for (const ValueText& record : mValueTexts)
  {
    if (record.value == value)
      return record.text;
  }
  return "";
}

bool IParam::ValueForText(const char* text, double* value) const
{
  if (!text)
    return false;
  for (const ValueText& record : mValueTexts)
  {
    if (std::strcmp(record.text, text) == 0)
    {
      if (value)
        *value = (double) record.value;
      return true;
    }
  }
  return false;
}

void IParam::SetFromNormalized(double x)
{
  if (std::isnan(x))
    return;
  double plain = std::pow(x, mShape) * (mMax - mMin) + mMin;
  if (mType != kTypeDouble)
    plain = std::floor(plain / mStep + 0.5) * mStep;
  if (plain >= mMax)
    plain = mMax;
  // A negative input with a fractional shape has no real power; keep the old value then.
  if (std::isnan(plain))
    return;
  mValue = plain;
}

double IParam::ToNormalized() const
{
  return ToNormalized(mValue);
}

double IParam::ToNormalized(double plainValue) const
{
  double v = plainValue;
  if (std::isnan(v) || v < mMin)
    v = mMin;
  else if (v > mMax)
    v = mMax;
  return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

void IParam::FormatForHost(double value, bool normalized, char* out, int capacity) const
{
  if (!out || capacity <= 0)
    return;

  double v = value;
  if (normalized)
    v = std::pow(v, mShape) * (mMax - mMin) + mMin;

  const bool fitsInt = WholePartFitsInt(v);
  if (fitsInt)
  {
    const char* text = ValueTextFor((int) v);
    if (text[0] != '\0')
    {
      torvo::CopyFixedText(out, capacity, text);
      return;
    }
  }

  if (v == 0.0)
  {
    torvo::CopyFixedText(out, capacity, "0");
  }
  else if (mDecimals == 0)
  {
    if (fitsInt)
      std::snprintf(out, (size_t) capacity, "%d", (int) v);
    else
      std::snprintf(out, (size_t) capacity, "%.0f", std::trunc(v));  // huge, infinite or NaN
  }
  else
  {
    char format[16];
    std::snprintf(format, sizeof(format), "%%.%df", mDecimals);
    std::snprintf(out, (size_t) capacity, format, v);
  }
  out[capacity - 1] = '\0';
}
