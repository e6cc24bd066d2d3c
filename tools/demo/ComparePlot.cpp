// torvo-compare-plot: draws a PNG comparing a dry recording with processed versions of it: one
// waveform envelope per file (peak and RMS per pixel column) and their average spectra overlaid.

#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/demo/PlotFont.h"

namespace
{

const char kUsage[] =
  "usage: torvo-compare-plot OUT.png DRY.wav PROCESSED.wav [MORE.wav ...]\n"
  "Draws the waveform envelope of every file and their average spectra into one picture.\n";

struct Color
{
  unsigned char r, g, b;
};

const Color kBackground = {24, 26, 32};
const Color kPanel = {33, 36, 44};
const Color kGrid = {56, 61, 74};
const Color kAxisText = {150, 158, 175};
const Color kText = {222, 226, 236};
const Color kSeries[] = {{122, 162, 247}, {255, 158, 100}, {158, 206, 106}, {247, 118, 142}, {187, 154, 247}};

class Canvas
{
public:
  Canvas(int width, int height) : mWidth(width), mHeight(height), mPixels((size_t) width * height * 3)
  {
    Fill(0, 0, width, height, kBackground);
  }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

  void Blend(int x, int y, Color c, double alpha)
  {
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight || alpha <= 0.0) return;
    alpha = std::min(alpha, 1.0);
    unsigned char* p = &mPixels[((size_t) y * mWidth + x) * 3];
    p[0] = (unsigned char) std::lround(p[0] + (c.r - p[0]) * alpha);
    p[1] = (unsigned char) std::lround(p[1] + (c.g - p[1]) * alpha);
    p[2] = (unsigned char) std::lround(p[2] + (c.b - p[2]) * alpha);
  }

  void Fill(int x0, int y0, int w, int h, Color c, double alpha = 1.0)
  {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) Blend(x, y, c, alpha);
    }
  }

  // A line of about the given width, anti-aliased by distance to the segment.
  void Line(double x0, double y0, double x1, double y1, Color c, double width = 1.5, double alpha = 1.0)
  {
    const double r = width / 2.0 + 1.0;
    const int minX = (int) std::floor(std::min(x0, x1) - r), maxX = (int) std::ceil(std::max(x0, x1) + r);
    const int minY = (int) std::floor(std::min(y0, y1) - r), maxY = (int) std::ceil(std::max(y0, y1) + r);
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    for (int y = minY; y <= maxY; ++y) {
      for (int x = minX; x <= maxX; ++x) {
        double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double ex = x0 + t * dx - x, ey = y0 + t * dy - y;
        const double d = std::sqrt(ex * ex + ey * ey);
        const double cover = std::clamp(width / 2.0 + 0.5 - d, 0.0, 1.0);
        if (cover > 0.0) MaxBlend(x, y, c, cover * alpha);
      }
    }
  }

  // Text in the bitmap font, scale pixels per font pixel.
  void Text(int x, int y, const std::string& text, Color c, int scale = 1)
  {
    for (char ch : text) {
      if (const unsigned char* rows = PlotGlyph(ch)) {
        for (int row = 0; row < kGlyphHeight; ++row) {
          for (int col = 0; col < kGlyphWidth; ++col) {
            if (rows[row] & (1 << (kGlyphWidth - 1 - col))) Fill(x + col * scale, y + row * scale, scale, scale, c);
          }
        }
      }
      x += (kGlyphWidth + 1) * scale;
    }
  }
  static int TextWidth(const std::string& text, int scale = 1)
  {
    return text.empty() ? 0 : (int) text.size() * (kGlyphWidth + 1) * scale - scale;
  }

  bool WritePng(const std::string& path) const
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
      png_destroy_write_struct(&png, &info);
      std::fclose(f);
      return false;
    }
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      std::fclose(f);
      return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32) mWidth, (png_uint_32) mHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < mHeight; ++y) {
      png_write_row(png, const_cast<png_bytep>(&mPixels[(size_t) y * mWidth * 3]));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
  }

private:
  // Lines drawn over each other keep the strongest cover instead of darkening their joints.
  void MaxBlend(int x, int y, Color c, double alpha)
  {
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return;
    std::vector<double>& cover = Cover();
    double& have = cover[(size_t) y * mWidth + x];
    if (mCoverColor.r != c.r || mCoverColor.g != c.g || mCoverColor.b != c.b || mCoverStamp != mStamp) {
      // New stroke colour: start a fresh cover map.
      std::fill(cover.begin(), cover.end(), 0.0);
      mCoverColor = c;
      mCoverStamp = mStamp;
    }
    if (alpha <= have) return;
    // Blend only the extra cover over what this stroke already put down.
    Blend(x, y, c, (alpha - have) / (1.0 - have + 1e-9));
    have = alpha;
  }
  std::vector<double>& Cover()
  {
    if (mCover.size() != (size_t) mWidth * mHeight) mCover.assign((size_t) mWidth * mHeight, 0.0);
    return mCover;
  }

public:
  // Ends a polyline: the next line starts a new stroke.
  void EndStroke() { ++mStamp; }

private:
  int mWidth, mHeight;
  std::vector<unsigned char> mPixels;
  std::vector<double> mCover;
  Color mCoverColor = {0, 0, 0};
  int mStamp = 0;
  int mCoverStamp = -1;
};

struct Track
{
  std::string label;
  int rate = 0;
  std::vector<double> mono;  // channels averaged
  double peakDb = -200.0, rmsDb = -200.0;
  std::vector<double> spectrumDb;  // per FFT bin
};

std::string Stem(const std::string& path)
{
  size_t start = path.find_last_of('/');
  start = start == std::string::npos ? 0 : start + 1;
  size_t end = path.find_last_of('.');
  if (end == std::string::npos || end < start) end = path.size();
  return path.substr(start, end - start);
}

double ToDb(double v)
{
  return 20.0 * std::log10(std::max(v, 1e-10));
}

bool ReadTrack(const std::string& path, Track* t)
{
  SF_INFO info = {};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) {
    std::fprintf(stderr, "torvo-compare-plot: cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  std::vector<double> frame((size_t) info.channels * 4096);
  sf_count_t n;
  while ((n = sf_readf_double(f, frame.data(), 4096)) > 0) {
    for (sf_count_t s = 0; s < n; ++s) {
      double sum = 0.0;
      for (int c = 0; c < info.channels; ++c) sum += frame[(size_t) (s * info.channels + c)];
      t->mono.push_back(sum / info.channels);
    }
  }
  sf_close(f);
  t->rate = info.samplerate;
  t->label = Stem(path);
  if (t->mono.empty()) {
    std::fprintf(stderr, "torvo-compare-plot: %s holds no audio\n", path.c_str());
    return false;
  }
  double peak = 0.0, sum = 0.0;
  for (double v : t->mono) {
    peak = std::max(peak, std::fabs(v));
    sum += v * v;
  }
  t->peakDb = ToDb(peak);
  t->rmsDb = ToDb(std::sqrt(sum / t->mono.size()));
  return true;
}

void Fft(std::vector<std::complex<double>>& a)
{
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * M_PI / (double) len;
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0, 0.0);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= step;
      }
    }
  }
}

constexpr size_t kFftSize = 4096;

void Spectrum(Track* t)
{
  std::vector<double> power(kFftSize / 2 + 1, 0.0);
  std::vector<double> window(kFftSize);
  for (size_t i = 0; i < kFftSize; ++i) window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * (double) i / kFftSize);
  int frames = 0;
  std::vector<std::complex<double>> buf(kFftSize);
  for (size_t start = 0; start + kFftSize <= t->mono.size() || (start == 0 && frames == 0); start += kFftSize / 2) {
    for (size_t i = 0; i < kFftSize; ++i) {
      const double v = start + i < t->mono.size() ? t->mono[start + i] : 0.0;
      buf[i] = std::complex<double>(v * window[i], 0.0);
    }
    Fft(buf);
    for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(buf[k]);
    ++frames;
  }
  t->spectrumDb.resize(power.size());
  for (size_t k = 0; k < power.size(); ++k) {
    t->spectrumDb[k] = 10.0 * std::log10(std::max(power[k] / frames, 1e-20));
  }
}

std::string Fixed(double v, int decimals)
{
  char text[32];
  std::snprintf(text, sizeof(text), "%.*f", decimals, v);
  return text;
}

void DrawWaveform(Canvas& c, const Track& t, Color color, int x0, int y0, int w, int h, double seconds)
{
  c.Fill(x0, y0, w, h, kPanel);
  const int mid = y0 + h / 2;
  for (double a : {-0.5, 0.5}) c.Fill(x0, mid - (int) std::lround(a * (h / 2 - 4)), w, 1, kGrid);
  c.Fill(x0, mid, w, 1, kGrid);
  for (int s = 0; s <= (int) seconds; ++s) {
    const int x = x0 + (int) std::lround(s / seconds * (w - 1));
    c.Fill(x, y0, 1, h, kGrid, 0.6);
  }

  const double samplesPerColumn = seconds * t.rate / w;
  const double half = h / 2.0 - 4.0;
  for (int col = 0; col < w; ++col) {
    const size_t a = (size_t) (col * samplesPerColumn), b = (size_t) ((col + 1) * samplesPerColumn);
    if (a >= t.mono.size()) break;
    double lo = 0.0, hi = 0.0, sum = 0.0;
    size_t n = 0;
    for (size_t i = a; i < std::min(b, t.mono.size()); ++i) {
      lo = std::min(lo, t.mono[i]);
      hi = std::max(hi, t.mono[i]);
      sum += t.mono[i] * t.mono[i];
      ++n;
    }
    const double rms = n ? std::sqrt(sum / n) : 0.0;
    const int top = mid - (int) std::lround(std::min(hi, 1.0) * half);
    const int bottom = mid - (int) std::lround(std::max(lo, -1.0) * half);
    c.Fill(x0 + col, top, 1, bottom - top + 1, color, 0.45);
    const int rTop = mid - (int) std::lround(std::min(rms, 1.0) * half);
    const int rBottom = mid + (int) std::lround(std::min(rms, 1.0) * half);
    c.Fill(x0 + col, rTop, 1, rBottom - rTop + 1, color, 0.9);
  }

  c.Fill(x0, y0, 6, h, color);
  const std::string stats = "PEAK " + Fixed(t.peakDb, 1) + " DB   RMS " + Fixed(t.rmsDb, 1) + " DB";
  const int statsX = x0 + w - Canvas::TextWidth(stats, 2) - 12;
  c.Fill(x0 + 10, y0 + 5, Canvas::TextWidth(t.label, 2) + 12, 24, kPanel, 0.8);
  c.Fill(statsX - 6, y0 + 5, Canvas::TextWidth(stats, 2) + 12, 24, kPanel, 0.8);
  c.Text(x0 + 16, y0 + 10, t.label, kText, 2);
  c.Text(statsX, y0 + 10, stats, kAxisText, 2);
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string outPath = argv[1];
  std::vector<Track> tracks;
  for (int i = 2; i < argc; ++i) {
    Track t;
    if (!ReadTrack(argv[i], &t)) return 1;
    Spectrum(&t);
    tracks.push_back(std::move(t));
  }
  if (tracks[0].label.find("dry") == std::string::npos) tracks[0].label += " (dry)";

  double seconds = 0.0;
  for (const Track& t : tracks) seconds = std::max(seconds, (double) t.mono.size() / t.rate);
  seconds = std::ceil(seconds * 2.0) / 2.0;

  const int width = 1280;
  const int margin = 70;
  const int plotW = width - 2 * margin;
  const int titleH = 80;
  const int waveH = 150;
  const int gap = 18;
  const int specH = 360;
  const int height = titleH + (int) tracks.size() * (waveH + gap) + 40 + specH + 90;
  Canvas c(width, height);

  c.Text(margin, 24, "TORVO-MELL  DRY AGAINST PROCESSED", kText, 4);
  c.Text(margin, 24 + 7 * 4 + 10, "WAVEFORM ENVELOPES: PEAK (LIGHT) AND RMS (SOLID) PER COLUMN", kAxisText, 2);

  int y = titleH;
  for (size_t i = 0; i < tracks.size(); ++i) {
    DrawWaveform(c, tracks[i], kSeries[i % 5], margin, y, plotW, waveH, seconds);
    y += waveH + gap;
  }
  for (int s = 0; s <= (int) seconds; ++s) {
    const std::string label = std::to_string(s) + " S";
    const int x = margin + (int) std::lround(s / seconds * (plotW - 1));
    c.Text(x - Canvas::TextWidth(label, 2) / 2, y - gap + 6, label, kAxisText, 2);
  }

  // Spectra: log frequency, dB relative to the strongest bin of all.
  y += 40;
  c.Text(margin, y - 26, "AVERAGE SPECTRUM", kText, 2);
  c.Fill(margin, y, plotW, specH, kPanel);
  const double fLow = 30.0, fHigh = 20000.0;
  double top = -1e9;
  for (const Track& t : tracks) {
    for (double v : t.spectrumDb) top = std::max(top, v);
  }
  const double range = 90.0;
  auto xOf = [&](double f) { return margin + std::log(f / fLow) / std::log(fHigh / fLow) * (plotW - 1); };
  auto yOf = [&](double db) { return y + std::clamp((top - db) / range, 0.0, 1.0) * (specH - 1); };
  for (double f : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0}) {
    const int x = (int) std::lround(xOf(f));
    c.Fill(x, y, 1, specH, kGrid);
    const std::string label = f >= 1000.0 ? std::to_string((int) (f / 1000)) + "K" : std::to_string((int) f);
    c.Text(x - Canvas::TextWidth(label, 2) / 2, y + specH + 8, label, kAxisText, 2);
  }
  for (int db = 0; db <= (int) range; db += 15) {
    const int yy = (int) std::lround(yOf(top - db));
    c.Fill(margin, yy, plotW, 1, kGrid);
    const std::string label = db == 0 ? "0" : "-" + std::to_string(db);
    c.Text(margin - Canvas::TextWidth(label, 2) - 10, yy - 7, label, kAxisText, 2);
  }
  c.Text(margin + plotW - Canvas::TextWidth("HZ", 2), y + specH + 30, "HZ", kAxisText, 2);
  c.Text(margin - Canvas::TextWidth("DB", 2) - 10, y - 26, "DB", kAxisText, 2);
  // Legend in the quiet lower left of the panel.
  int legendW = 0;
  for (const Track& t : tracks) legendW = std::max(legendW, Canvas::TextWidth(t.label, 2));
  const int legendH = (int) tracks.size() * 22 + 12;
  const int legendX = margin + 16, legendY = y + specH - legendH - 16;
  c.Fill(legendX, legendY, legendW + 56, legendH, kBackground, 0.85);

  for (size_t i = 0; i < tracks.size(); ++i) {
    const Track& t = tracks[i];
    const Color color = kSeries[i % 5];
    // One point per pixel column: the strongest bin under it, lightly smoothed across columns.
    std::vector<double> column((size_t) plotW, -1e9);
    for (size_t k = 1; k < t.spectrumDb.size(); ++k) {
      const double f = (double) k * t.rate / kFftSize;
      if (f < fLow || f > fHigh) continue;
      const int col = (int) std::lround(xOf(f)) - margin;
      if (col >= 0 && col < plotW) column[(size_t) col] = std::max(column[(size_t) col], t.spectrumDb[k]);
    }
    // Fill columns no bin reached (the low end) by interpolating from their neighbours.
    int last = -1;
    for (int col = 0; col < plotW; ++col) {
      if (column[(size_t) col] < -1e8) continue;
      if (last >= 0) {
        for (int j = last + 1; j < col; ++j) {
          const double a = (double) (j - last) / (col - last);
          column[(size_t) j] = column[(size_t) last] * (1 - a) + column[(size_t) col] * a;
        }
      }
      last = col;
    }
    std::vector<double> smooth = column;
    for (int col = 2; col + 2 < plotW; ++col) {
      double sum = 0.0;
      for (int j = -2; j <= 2; ++j) sum += column[(size_t) (col + j)];
      smooth[(size_t) col] = sum / 5.0;
    }
    c.EndStroke();
    bool have = false;
    double px = 0, py = 0;
    for (int col = 0; col < plotW; ++col) {
      if (smooth[(size_t) col] < -1e8) {
        have = false;
        continue;
      }
      const double xx = margin + col, yy = yOf(smooth[(size_t) col]);
      if (have) c.Line(px, py, xx, yy, color, 2.0);
      px = xx;
      py = yy;
      have = true;
    }
    // Legend.
    const int ly = legendY + 10 + (int) i * 22;
    c.Fill(legendX + 10, ly + 5, 24, 4, color);
    c.Text(legendX + 44, ly, t.label, kText, 2);
  }

  if (!c.WritePng(outPath)) {
    std::fprintf(stderr, "torvo-compare-plot: cannot write %s\n", outPath.c_str());
    return 1;
  }
  return 0;
}
