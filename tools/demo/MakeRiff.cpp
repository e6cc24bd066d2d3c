// torvo-make-riff: synthesises a short riff of plucked-string power chords, a clean "DI" guitar
// track to feed the pedal with. Plucked-string synthesis: each string is a delay line one period
// long, excited with filtered noise and fed back through a two-point average that loses a little
// energy on each pass.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const char kUsage[] =
  "usage: torvo-make-riff OUT.wav [--stereo] [--bits 16|24] [--rate HZ]\n"
  "Writes a guitar-like riff of about five seconds as a WAV file (mono 16-bit 44100 Hz by default).\n";

// A deterministic generator, so that every run writes the same file.
class Random
{
public:
  explicit Random(uint32_t seed) : mState(seed) {}
  double Next()  // -1 .. 1
  {
    mState = mState * 1664525u + 1013904223u;
    return (double) (mState >> 8) / (double) (1u << 23) - 1.0;
  }

private:
  uint32_t mState;
};

class PluckedString
{
public:
  explicit PluckedString(double rate) : mRate(rate) {}

  void Pluck(double frequency, double brightness, double sustain, double amplitude, Random& random)
  {
    const double period = mRate / frequency;
    const int length = (int) period;
    mFraction = period - length;
    mLine.assign((size_t) length + 2, 0.0);
    mPos = 0;
    // Noise, smoothed more for a darker pick attack.
    double smooth = 0.0;
    for (double& v : mLine) {
      smooth += brightness * (random.Next() - smooth);
      v = amplitude * smooth;
    }
    mSustain = sustain;
    mLast = 0.0;
  }

  // Palm muting: the string keeps ringing but loses energy fast.
  void Damp(double sustain) { mSustain = sustain; }

  double Tick()
  {
    if (mLine.empty()) return 0.0;
    const size_t n = mLine.size() - 1;  // delay of length + the fractional tap below
    const double a = mLine[mPos];
    const double b = mLine[(mPos + 1) % n];
    // Two-point average (the loss filter) with a linear tap for the fractional part of the period.
    const double out = (1.0 - mFraction) * a + mFraction * b;
    const double fed = mSustain * 0.5 * (out + mLast);
    mLast = out;
    mLine[mPos] = fed;
    mPos = (mPos + 1) % n;
    return out;
  }

private:
  double mRate;
  std::vector<double> mLine;
  size_t mPos = 0;
  double mFraction = 0.0;
  double mSustain = 0.996;
  double mLast = 0.0;
};

struct Hit
{
  double time;     // seconds
  int root;        // MIDI note of the chord's root; 0 = damp only
  bool palmMuted;
  double length;   // seconds until the chord is damped
};

double NoteFrequency(int midi)
{
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

bool ParseArgs(int argc, char** argv, std::string* path, bool* stereo, int* bits, int* rate)
{
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--stereo") {
      *stereo = true;
    } else if (arg == "--bits" && i + 1 < argc) {
      const std::string v = argv[++i];
      if (v != "16" && v != "24") return false;
      *bits = std::atoi(v.c_str());
    } else if (arg == "--rate" && i + 1 < argc) {
      char* end = nullptr;
      const long v = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || v < 8000 || v > 192000) return false;
      *rate = (int) v;
    } else if (!arg.empty() && arg[0] != '-' && path->empty()) {
      *path = arg;
    } else {
      return false;
    }
  }
  return !path->empty();
}

}  // namespace

int main(int argc, char** argv)
{
  std::string path;
  bool stereo = false;
  int bits = 16;
  int rate = 44100;
  if (!ParseArgs(argc, argv, &path, &stereo, &bits, &rate)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  // Three bars at 140 beats per minute in eighth notes, E minor, then a ringing chord.
  const double eighth = 60.0 / 140.0 / 2.0;
  const int E = 40, G = 43, A = 45, Bb = 46, D = 50;
  const struct { int root; bool mute; double eighths; } pattern[] = {
    {E, true, 1}, {E, true, 1}, {G, false, 1}, {E, true, 1}, {A, false, 1}, {E, true, 1}, {Bb, false, 1}, {A, false, 1},
    {E, true, 1}, {E, true, 1}, {G, false, 1}, {E, true, 1}, {D, false, 1}, {E, true, 1}, {A, false, 2},
    {E, true, 1}, {E, true, 1}, {G, false, 1}, {A, false, 1}, {E, false, 4},
  };
  std::vector<Hit> hits;
  double t = 0.1;
  for (const auto& p : pattern) {
    hits.push_back(Hit{t, p.root, p.mute, p.eighths * eighth * 0.92});
    t += p.eighths * eighth;
  }
  const double seconds = t + 0.35;
  const int frames = (int) (seconds * rate);

  // Three strings per power chord: root, fifth and octave, strummed down 9 ms apart.
  Random random(20300);
  std::vector<PluckedString> strings(3, PluckedString(rate));
  std::vector<double> left((size_t) frames, 0.0), right((size_t) frames, 0.0);
  size_t next = 0;
  const int strum = (int) (0.009 * rate);
  std::vector<int> pluckAt(3, -1);
  std::vector<int> dampAt(3, -1);
  std::vector<double> freqs(3), bright(3), sustain(3), amp(3);
  for (int n = 0; n < frames; ++n) {
    while (next < hits.size() && n >= (int) (hits[next].time * rate)) {
      const Hit& h = hits[next++];
      const int notes[3] = {h.root, h.root + 7, h.root + 12};
      for (int s = 0; s < 3; ++s) {
        pluckAt[(size_t) s] = n + s * strum;
        dampAt[(size_t) s] = n + (int) (h.length * rate);
        freqs[(size_t) s] = NoteFrequency(notes[s]) * (1.0 + 0.0015 * random.Next());
        bright[(size_t) s] = h.palmMuted ? 0.25 : 0.6;
        sustain[(size_t) s] = h.palmMuted ? 0.985 : 0.9965;
        amp[(size_t) s] = (h.palmMuted ? 0.55 : 0.8) * (s == 0 ? 1.0 : 0.8);
      }
    }
    double l = 0.0, r = 0.0;
    for (int s = 0; s < 3; ++s) {
      PluckedString& string = strings[(size_t) s];
      if (n == pluckAt[(size_t) s]) {
        string.Pluck(freqs[(size_t) s], bright[(size_t) s], sustain[(size_t) s], amp[(size_t) s], random);
      }
      if (n == dampAt[(size_t) s]) string.Damp(0.93);
      const double v = string.Tick();
      // A little spread between the strings in stereo.
      const double pan = 0.5 + 0.2 * (s - 1);
      l += v * (1.0 - pan) * 2.0;
      r += v * pan * 2.0;
    }
    left[(size_t) n] = l;
    right[(size_t) n] = r;
  }

  // Peak at -3 dBFS, with a short fade-out.
  if (!stereo) {
    for (int n = 0; n < frames; ++n) left[(size_t) n] = right[(size_t) n] = 0.5 * (left[(size_t) n] + right[(size_t) n]);
  }
  double peak = 1e-9;
  for (int n = 0; n < frames; ++n) {
    peak = std::max(peak, std::max(std::fabs(left[(size_t) n]), std::fabs(right[(size_t) n])));
  }
  const double gain = std::pow(10.0, -3.0 / 20.0) / peak;
  const int fade = (int) (0.05 * rate);

  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = stereo ? 2 : 1;
  info.format = SF_FORMAT_WAV | (bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16);
  SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!out) {
    std::fprintf(stderr, "torvo-make-riff: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return 1;
  }
  std::vector<double> interleaved;
  interleaved.reserve((size_t) frames * (size_t) info.channels);
  for (int n = 0; n < frames; ++n) {
    const double g = gain * (n >= frames - fade ? (double) (frames - n) / fade : 1.0);
    if (stereo) {
      interleaved.push_back(left[(size_t) n] * g);
      interleaved.push_back(right[(size_t) n] * g);
    } else {
      interleaved.push_back(left[(size_t) n] * g);
    }
  }
  const sf_count_t written = sf_writef_double(out, interleaved.data(), frames);
  if (sf_close(out) != 0 || written != frames) {
    std::fprintf(stderr, "torvo-make-riff: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
