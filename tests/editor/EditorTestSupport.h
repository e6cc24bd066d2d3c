#pragma once
// Shared pieces of the editor tests: a plug-in that records what the editor tells it, a graphics
// object whose window side is trivial and whose image resources are generated in memory, and a
// control that logs every event it receives.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphicsLice.h"
#include "framework/IPlugBase.h"
#include "raster/LiceBitmap.h"

namespace edtest
{

// Parameter 0: "Level" 0..1 default 0.5; 1: "Gain" 0..10 default 5; 2: on/off choice default 1;
// 3: on/off choice default 0.
class TestPlug : public IPlugBase
{
public:
  struct Event
  {
    char kind;  // 'B' edit begin, 'E' edit end, 'C' parameter change from the editor, 'R' refresh rect
    int idx;
    double value;
    bool operator==(const Event& o) const { return kind == o.kind && idx == o.idx && value == o.value; }
  };

  TestPlug() : IPlugBase(4, "1-1", 1, "Test", "Test", "Test", 0x10000, 0x74737431, 0x74737469, 0, false, true, false)
  {
    GetParam(0)->InitContinuous("Level", 0.5, 0.0, 1.0, 0.001);
    GetParam(1)->InitContinuous("Gain", 5.0, 0.0, 10.0, 0.01);
    GetParam(2)->InitChoice("Effect", 1, 2);
    GetParam(3)->InitChoice("Cabinet", 0, 2);
  }

  void NotifyHostEditBegin(int idx) override { events.push_back(Event{'B', idx, 0.0}); }
  void NotifyHostEditEnd(int idx) override { events.push_back(Event{'E', idx, 0.0}); }
  void NotifyHostParamChange(int idx, double v) override { events.push_back(Event{'C', idx, v}); }
  void RefreshEditorRect(int w, int h) override { events.push_back(Event{'R', w, (double) h}); }

  std::vector<Event> events;
};

inline std::string Describe(const std::vector<TestPlug::Event>& events)
{
  std::string s;
  for (const TestPlug::Event& e : events)
    s += std::string(1, e.kind) + "(" + std::to_string(e.idx) + "," + std::to_string(e.value) + ") ";
  return s;
}

// The pixel generated images carry at (x, y): opaque, red = x, green = low byte of y, blue = high
// byte of y, so every source pixel of images up to 256 x 65536 is recognisable on the surface.
inline LicePixel PatternPixel(int x, int y)
{
  return 0xFF000000u | ((LicePixel) (x & 0xFF) << 16) | ((LicePixel) (y & 0xFF) << 8) |
         (LicePixel) ((y >> 8) & 0xFF);
}

inline LiceMemBitmap* MakePatternImage(int w, int h)
{
  LiceMemBitmap* bm = new LiceMemBitmap(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bm->GetBits()[y * w + x] = PatternPixel(x, y);
  return bm;
}

// Window side trivial; image resources are generated: register a size per id before loading.
class TestGraphics : public IGraphicsLice
{
public:
  struct Draw
  {
    IRECT dest;
    int srcX;
    int srcY;
  };

  TestGraphics(IPlugBase* plug, int w, int h, int fps = 0) : IGraphicsLice(plug, w, h, fps) {}

  // Decodes, counted per id across every graphics object of the process.
  static std::map<int, int>& DecodeCounts()
  {
    static std::map<int, int> counts;
    return counts;
  }
  // Sizes of the generated resources, shared by every graphics object (like a module's resources).
  static std::map<int, std::pair<int, int>>& Resources()
  {
    static std::map<int, std::pair<int, int>> sizes;
    return sizes;
  }

  LiceBitmap* DecodeResourceImage(int id, const char* name) override
  {
    auto it = Resources().find(id);
    if (it == Resources().end()) return nullptr;
    ++DecodeCounts()[id];
    return MakePatternImage(it->second.first, it->second.second);
  }

  bool PresentRegion(const IRECT& r) override
  {
    presented.push_back(r);
    return true;
  }
  bool DrawBitmapRegion(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                        const IBlend* blend = nullptr) override
  {
    draws.push_back(Draw{dest, srcX, srcY});
    return IGraphicsLice::DrawBitmapRegion(bitmap, dest, srcX, srcY, blend);
  }
  bool DrawTextInRect(const ITextStyle&, const char*, const IRECT&) override { return true; }
  void OpenValueEntry(IControl* control, IParam* param) override
  {
    entryControl = control;
    entryParam = param;
    ++entryCount;
  }
  void GetHostFolder(std::string& out) override { out.clear(); }
  void GetPluginFolder(std::string& out) override { out.clear(); }
  void AskForFile(std::string& out, FileAction, const char*) override { out.clear(); }
  bool AskForColor(IColorARGB&, const char*) override { return false; }
  bool OpenLink(const char*, const char*, const char*, const char*) override { return false; }
  HWND OpenWindow(HWND) override { return nullptr; }
  void CloseWindow() override {}
  HWND WindowHandle() override { return nullptr; }

  void SetDrawRect(const IRECT& r) { mDrawRECT = r; }

  std::vector<IRECT> presented;
  std::vector<Draw> draws;
  IControl* entryControl = nullptr;
  IParam* entryParam = nullptr;
  int entryCount = 0;
};

// Logs every event into a shared journal as "<name>:<event>".
class LogControl : public IControl
{
public:
  LogControl(IPlugBase* plug, const IRECT& r, int paramIdx, std::vector<std::string>* journal,
             const std::string& name)
    : IControl(plug, r, paramIdx), mJournal(journal), mName(name)
  {
  }
  ~LogControl() override { Log("destroyed"); }

  void OnPress(int x, int y, const IMouseMod&) override { Log("press@" + Pt(x, y)); }
  void OnRelease(int x, int y, const IMouseMod&) override { Log("release@" + Pt(x, y)); }
  void OnDrag(int x, int y, int dX, int dY, const IMouseMod&) override
  {
    Log("drag@" + Pt(x, y) + "d" + Pt(dX, dY));
  }
  void OnDoubleClick(int x, int y, const IMouseMod&) override { Log("dbl@" + Pt(x, y)); }
  void OnWheel(int x, int y, const IMouseMod&, int notches) override { Log("wheel" + std::to_string(notches)); }
  void OnKey(int x, int y, int key) override { Log("key" + std::to_string(key)); }
  bool Draw(IGraphics*) override
  {
    Log("draw");
    return true;
  }
  void SetDoubleClickAsPress(bool v) { mDblAsPress = v; }

private:
  static std::string Pt(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
  void Log(const std::string& what) { mJournal->push_back(mName + ":" + what); }

  std::vector<std::string>* mJournal;
  std::string mName;
};

inline std::string Join(const std::vector<std::string>& v)
{
  std::string s;
  for (const std::string& e : v) s += e + " ";
  return s;
}

// Ids of generated resources: every test registers its own so the process-wide cache never mixes
// them up.
inline IBitmap LoadGenerated(TestGraphics* g, int id, int w, int h, int frames)
{
  TestGraphics::Resources()[id] = std::make_pair(w, h);
  return g->LoadBitmap(id, "img/generated.png", frames);
}

}  // namespace edtest
