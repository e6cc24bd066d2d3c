// libFuzzer target: the value entry's typed text. Byte 0 picks the parameter, the rest is what the
// user typed. Two checks:
//  1. The parser of a committed text (IGraphicsWin::ParseTypedValue) against a slow reference: a
//     text matching one of a choice parameter's value texts exactly gives its value, any other
//     gives 0; for a continuous parameter, the decimal number the first 31 characters start with
//     (white space skipped; sign, digits, '.', exponent), or 0. Never NaN.
//  2. The whole path on the pedal's editor (headless window system): a right press on the
//     parameter's control, the text typed, Enter, the tick that commits it. The parameter must
//     then hold the value the reference gives, limited to its range.

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "FuzzPlugin.h"
#include "editor/HeadlessWindowSystem.h"
#include "editor/IGraphicsWin.h"

using namespace fuzzplug;

namespace
{

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The reference: find the longest prefix of the form ws* [+-]? (d+ [.d*] | .d+) ([eE][+-]?d+)? by
// hand and let strtod read exactly that prefix.
double ReferenceDecimal(const std::string& typed)
{
  size_t p = 0;
  while (p < typed.size() && (typed[p] == ' ' || (typed[p] >= '\t' && typed[p] <= '\r'))) ++p;
  const size_t start = p;
  if (p < typed.size() && (typed[p] == '+' || typed[p] == '-')) ++p;
  size_t digits = 0;
  while (p < typed.size() && Digit(typed[p])) ++p, ++digits;
  if (p < typed.size() && typed[p] == '.')
  {
    ++p;
    while (p < typed.size() && Digit(typed[p])) ++p, ++digits;
  }
  if (digits == 0) return 0.0;
  if (p < typed.size() && (typed[p] == 'e' || typed[p] == 'E'))
  {
    size_t q = p + 1;
    if (q < typed.size() && (typed[q] == '+' || typed[q] == '-')) ++q;
    if (q < typed.size() && Digit(typed[q]))
    {
      while (q < typed.size() && Digit(typed[q])) ++q;
      p = q;
    }
  }
  const std::string number = typed.substr(start, p - start);
  return std::strtod(number.c_str(), nullptr);
}

double Reference(const IParam& param, const std::string& typed)
{
  if (param.ValueTextCount() > 0)
  {
    double v = 0.0;
    return param.ValueForText(typed.c_str(), &v) ? v : 0.0;
  }
  return ReferenceDecimal(typed);
}

bool SameValue(double a, double b)
{
  if (a == b) return true;
  // Below the normal range the two may round an underflow differently (to 0 or to a subnormal).
  return std::fabs(a) < DBL_MIN && std::fabs(b) < DBL_MIN;
}

struct Pedal
{
  AEffect* effect = nullptr;
  HWND host = nullptr;
  HWND window = nullptr;
};

Pedal& ThePedal()
{
  static Pedal pedal = [] {
    Pedal p;
    HeadlessWindowSystem& hs = HeadlessWindowSystem::Instance();
    SetEditorWindowSystem(&hs);
    hs.EnableWindows(true);
    p.host = hs.CreateHostWindow(0, 0, 400, 500);
    p.effect = Create();
    Dispatch(p.effect, effOpen);
    Dispatch(p.effect, effEditOpen, 0, 0, p.host);
    IGraphicsWin* g = dynamic_cast<IGraphicsWin*>(PlugOf(p.effect)->GetGraphics());
    p.window = g ? g->WindowHandle() : nullptr;
    hs.FireTimer(p.window);
    return p;
  }();
  return pedal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 512) return 0;
  Pedal& pedal = ThePedal();
  Require(pedal.window != nullptr, "the editor did not open");
  PlugExample* plug = PlugOf(pedal.effect);

  // Level (knob), Attack (knob) or Cabinet (switch, a list of Off and On). "Effect" has no control
  // that takes a value entry.
  static const int kParams[3] = {PlugExample::kLevel, PlugExample::kAttack, PlugExample::kCabinet};
  static const int kX[3] = {50, 147, 100};
  static const int kY[3] = {118, 118, 81};
  const int which = data[0] % 3;
  const IParam& param = *plug->GetParam(kParams[which]);

  // 1. The parser, on the text as typed (zero-terminated at the first zero byte).
  const std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string typed = std::string(raw.c_str()).substr(0, IGraphicsWin::kEntryTextSize - 1);
  const double parsed = IGraphicsWin::ParseTypedValue(param, raw.c_str());
  Require(!std::isnan(parsed), "a typed text parsed as NaN");
  Require(SameValue(parsed, Reference(param, typed)), "the parser disagrees with the reference");

  // 2. The editor: open the entry, type, Enter, tick.
  HeadlessWindowSystem& hs = HeadlessWindowSystem::Instance();
  const intptr_t at = EditorMsg::PackPoint(kX[which], kY[which]);
  hs.Send(pedal.window, EditorMsg::kRButtonDown, EditorMsg::kButtonRight, at);
  hs.Send(pedal.window, EditorMsg::kRButtonUp, 0, at);
  HWND child = hs.EntryChildOf(pedal.window);
  Require(child != nullptr, "no value entry opened");
  hs.Focus(child);
  hs.Type(child, raw.c_str());
  hs.PressKey(child, EditorMsg::kVirtualKeyReturn);
  const double before = param.Value();
  hs.FireTimer(pedal.window);
  Require(hs.EntryChildOf(pedal.window) == nullptr, "the value entry stayed open after Enter");
  hs.FireTimer(pedal.window);  // the redraw

  RequireParamsInRange(pedal.effect);
  // The committed value, through the control's normalised value and back. A value equal to the
  // control's present one sends nothing, so the parameter keeps its own value then.
  IParam expected = param;
  expected.SetFromNormalized(param.ToNormalized(Reference(param, typed)));
  Require(param.Value() == expected.Value() || param.Value() == before, "the parameter did not take the typed value");
  return 0;
}
