#pragma once
// The small value types shared by the whole editor: rectangles, image handles, mouse modifiers,
// blend settings, colours and text styles. All are plain records copied by value.

class LiceBitmap;

// A rectangle in editor pixels, origin at the editor's top-left corner, y growing downwards.
// right and bottom are one past the last column and row. A rectangle is empty exactly when all
// four fields are 0; one of zero width with other coordinates is not empty.
struct IRECT
{
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  IRECT() {}
  IRECT(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

  int W() const { return right - left; }
  int H() const { return bottom - top; }

  bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }

  bool operator==(const IRECT& o) const
  {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const IRECT& o) const { return !(*this == o); }

  // Not empty, left <= x < right and top <= y < bottom.
  bool Contains(int x, int y) const
  {
    return !IsEmpty() && x >= left && x < right && y >= top && y < bottom;
  }

  // Neither is empty and the two overlap or touch: a rectangle whose right edge equals the
  // other's left edge (or whose bottom equals the other's top) still meets it, while the
  // reverse touching (this.left == other.right) does not.
  bool Meets(const IRECT& o) const
  {
    return !IsEmpty() && !o.IsEmpty() && right >= o.left && left < o.right && bottom >= o.top &&
           top < o.bottom;
  }

  // The common part; empty unless Meets, otherwise possibly of zero width or height.
  IRECT Intersection(const IRECT& o) const
  {
    if (!Meets(o)) return IRECT();
    return IRECT(left > o.left ? left : o.left, top > o.top ? top : o.top,
                 right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom);
  }

  // The bounding box of both; an empty rectangle contributes nothing.
  IRECT Union(const IRECT& o) const
  {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return IRECT(left < o.left ? left : o.left, top < o.top ? top : o.top,
                 right > o.right ? right : o.right, bottom > o.bottom ? bottom : o.bottom);
  }
};

// A handle to a decoded image of `frames` equal frames stacked vertically. Copying the handle
// never copies the pixels; the image belongs to the bitmap cache.
struct IBitmap
{
  LiceBitmap* image = nullptr;
  int width = 0;   // full width in pixels
  int height = 0;  // all frames together
  int frames = 1;  // >= 1; one frame is height / frames rows tall

  IBitmap() {}
  IBitmap(LiceBitmap* img, int w, int h, int n = 1) : image(img), width(w), height(h), frames(n) {}

  int FrameHeight() const { return frames > 0 ? height / frames : height; }
};

// Buttons and keys held with one mouse event.
struct IMouseMod
{
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;

  IMouseMod() {}
  IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false)
    : left(l), right(r), shift(s), control(c), alt(a)
  {
  }
};

// How a drawing operation mixes into the surface. Methods other than the four below act as
// BlendNormal.
enum IBlendMethod : int
{
  BlendNormal = 0,  // use the source pixels' alpha
  BlendCopy = 1,    // opaque copy, source alpha ignored
  BlendAdd = 2,     // additive
  BlendDodge = 3,   // colour dodge
};

struct IBlend
{
  int method = BlendNormal;
  float weight = 1.0f;  // 1.0 = full strength

  IBlend() {}
  explicit IBlend(int m, float w = 1.0f) : method(m), weight(w) {}
};

// A colour, each component 0..255.
struct IColorARGB
{
  int alpha = 255;
  int red = 0;
  int green = 0;
  int blue = 0;

  IColorARGB() {}
  IColorARGB(int a, int r, int g, int b) : alpha(a), red(r), green(g), blue(b) {}

  bool operator==(const IColorARGB& o) const
  {
    return alpha == o.alpha && red == o.red && green == o.green && blue == o.blue;
  }
  bool operator!=(const IColorARGB& o) const { return !(*this == o); }
};

// Font and placement for DrawTextInRect.
struct ITextStyle
{
  static constexpr int kFaceSize = 32;  // terminating zero included
  enum { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };

  char face[kFaceSize] = "Arial";
  int size = 14;          // font height
  IColorARGB color;       // opaque black by default
  int style = kStyleNormal;
  int align = kAlignCenter;
  int orientation = 0;    // degrees
};

// What AskForFile asks for.
enum FileAction : int
{
  FileOpen = 0,
  FileSave = 1,
};

// How a knob is dragged; any non-zero value acts as Horizontal.
enum KnobDirection : int
{
  Vertical = 0,
  Horizontal = 1,
};
