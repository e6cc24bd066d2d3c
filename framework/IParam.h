#pragma once
// One automatable parameter: its kind, plain range and value, step, response shape, display
// decimals, name, unit label and optional texts for whole values.
//
// A value exists in three forms: the plain value in the parameter's own units (what the effect
// reads and the state chunks store), the normalised value 0..1 (what the host automates and the
// editor's controls hold) and the display text.

#include <vector>

class IParam
{
public:
  enum EParamType
  {
    kTypeNone = 0,    // not initialised yet
    kTypeBool = 1,    // whole-number kinds: 1, 2 and 3 behave alike
    kTypeInt = 2,
    kTypeEnum = 3,    // made by InitChoice
    kTypeDouble = 4,  // made by InitContinuous
  };

  static constexpr int kTextSize = 32;  // name, label and value texts, terminating zero included
  static constexpr int kMaxDecimals = 6;

  IParam();

  // A continuous parameter. The default is stored as it is, not limited to the range; a maximum
  // below minimum + step becomes minimum + step. The step sets the display decimals.
  void InitContinuous(const char* name, double defaultVal, double minVal, double maxVal, double step,
                      const char* label = "");
  // A choice among the whole values 0 .. nChoices - 1.
  void InitChoice(const char* name, int defaultIdx, int nChoices);

  // Attaches a display text to one whole value; lookups take the first record that matches.
  void AddValueText(int value, const char* text);
  int ValueTextCount() const;
  // The text of the first record with this value, or "" when there is none.
  const char* ValueTextFor(int value) const;
  // True and the record's value when some record's text equals text exactly; else false and
  // *value untouched.
  bool ValueForText(const char* text, double* value) const;

  // Plain value from a normalised one: x^shape over the range, snapped to the step for the
  // whole-number kinds, limited above at the maximum (no lower limit). A NaN changes nothing.
  // A result without a real value (a negative x with a fractional shape) changes nothing either.
  void SetFromNormalized(double x);
  // The value limited to the range, then ((v - min) / (max - min))^(1 / shape); NaN reads as the minimum.
  double ToNormalized() const;
  double ToNormalized(double plainValue) const;

  // Writes the display text of a plain value (normalized false) or of a normalised value into
  // out, which holds capacity bytes; the text is always cut to fit and zero-terminated.
  void FormatForHost(double value, bool normalized, char* out, int capacity) const;

  const char* Name() const { return mName; }
  const char* Label() const { return mLabel; }

  EParamType Type() const { return mType; }
  bool IsWholeNumber() const { return mType != kTypeDouble; }
  double Value() const { return mValue; }
  void SetValue(double plainValue) { mValue = plainValue; }  // the base stores limited values
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  void SetShape(double shape) { mShape = shape; }
  int Decimals() const { return mDecimals; }

private:
  struct ValueText
  {
    int value;
    char text[kTextSize];
  };

  EParamType mType;
  double mValue;
  double mMin;
  double mMax;
  double mStep;
  double mShape;
  int mDecimals;
  char mName[kTextSize];
  char mLabel[kTextSize];
  std::vector<ValueText> mValueTexts;
};
