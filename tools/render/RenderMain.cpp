// torvo-render: runs a VST 2 plug-in for Linux over an audio file, the way a host would, and
// writes the result in the input's format. Also prints what a plug-in declares (--info).

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/render/VstHost.h"

namespace
{

const char kUsage[] =
  "usage: torvo-render PLUGIN IN.wav OUT.wav [options]\n"
  "       torvo-render --info PLUGIN\n"
  "\n"
  "Runs the VST 2 plug-in PLUGIN (a Linux .so) over IN.wav and writes OUT.wav in the input's\n"
  "format, sample rate and channel count. A mono input feeds every plug-in input.\n"
  "\n"
  "options (applied in this order):\n"
  "  --program N          select program N\n"
  "  --state-in FILE      load a state chunk saved with --state-out\n"
  "  --param INDEX=VALUE  set parameter INDEX to the normalised VALUE (0..1); repeatable\n"
  "  --block N            frames per block (default 512)\n"
  "  --state-out FILE     save the plug-in's state chunk after rendering\n"
  "  --info PLUGIN        print the plug-in's record, parameters and programs\n"
  "  --help               this text\n";

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxBlock = 65536;
constexpr long kMaxStateBytes = 64L << 20;

struct ParamSetting
{
  int index;
  double value;
};

struct Options
{
  bool info = false;
  std::string plugin, input, output;
  std::vector<ParamSetting> params;
  int program = -1;
  int block = 512;
  std::string stateIn, stateOut;
};

int Fail(const std::string& message, int code = kExitError)
{
  std::fprintf(stderr, "torvo-render: %s\n", message.c_str());
  return code;
}

bool ParseInt(const std::string& text, long low, long high, int* out)
{
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno || *end != '\0' || v < low || v > high) return false;
  *out = (int) v;
  return true;
}

bool ParseDouble(const std::string& text, double* out)
{
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno || *end != '\0' || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// Returns -1 when the arguments are good, else the exit code (after printing why).
int ParseArgs(int argc, char** argv, Options* o)
{
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
      positional.push_back(arg);
      continue;
    }
    // --name VALUE or --name=VALUE
    std::string name = arg, value;
    bool hasValue = false;
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    const bool known = name == "--info" || name == "--param" || name == "--program" || name == "--block" ||
                       name == "--state-in" || name == "--state-out";
    if (!known) return Fail("unknown option " + name + " (see --help)", kExitUsage);
    if (!hasValue) {
      if (i + 1 >= argc) return Fail("option " + name + " needs a value", kExitUsage);
      value = argv[++i];
    }
    if (name == "--info") {
      o->info = true;
      o->plugin = value;
    } else if (name == "--param") {
      const size_t sep = value.find('=');
      ParamSetting p = {};
      if (sep == std::string::npos || !ParseInt(value.substr(0, sep), 0, INT_MAX, &p.index) ||
          !ParseDouble(value.substr(sep + 1), &p.value)) {
        return Fail("bad --param '" + value + "': expected INDEX=VALUE, e.g. 1=0.5", kExitUsage);
      }
      if (p.value < 0.0 || p.value > 1.0) {
        return Fail("bad --param '" + value + "': the value must lie in 0..1", kExitUsage);
      }
      o->params.push_back(p);
    } else if (name == "--program") {
      if (!ParseInt(value, 0, INT_MAX, &o->program)) {
        return Fail("bad --program '" + value + "': expected a program number", kExitUsage);
      }
    } else if (name == "--block") {
      if (!ParseInt(value, 1, kMaxBlock, &o->block)) {
        return Fail("bad --block '" + value + "': expected 1.." + std::to_string(kMaxBlock), kExitUsage);
      }
    } else if (name == "--state-in") {
      o->stateIn = value;
    } else if (name == "--state-out") {
      o->stateOut = value;
    }
  }
  if (o->info) {
    if (!positional.empty()) return Fail("--info takes only the plug-in", kExitUsage);
    return -1;
  }
  if (positional.size() != 3) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  o->plugin = positional[0];
  o->input = positional[1];
  o->output = positional[2];
  return -1;
}

std::string FlagNames(int flags)
{
  static const struct { int bit; const char* name; } kFlags[] = {
    {effFlagsHasEditor, "editor"},           {effFlagsMonoCapable, "mono"},
    {effFlagsCanReplacing, "replacing"},     {effFlagsProgramChunks, "chunks"},
    {effFlagsIsSynth, "synth"},              {effFlagsCanDoubleReplacing, "double replacing"},
  };
  std::string names;
  for (const auto& f : kFlags) {
    if (flags & f.bit) names += (names.empty() ? "" : ", ") + std::string(f.name);
  }
  return names;
}

std::string FourCC(VstInt32 id)
{
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = (char) ((id >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

int PrintInfo(VstHost& host, const std::string& path)
{
  AEffect* e = host.Effect();
  host.Dispatch(effOpen);
  std::printf("plug-in:       %s\n", path.c_str());
  std::printf("effect name:   %s\n", host.Text(effGetEffectName).c_str());
  std::printf("vendor:        %s\n", host.Text(effGetVendorString).c_str());
  std::printf("product:       %s\n", host.Text(effGetProductString).c_str());
  std::printf("unique id:     '%s' (0x%08X)\n", FourCC(e->uniqueID).c_str(), (unsigned) e->uniqueID);
  std::printf("version:       %d\n", (int) e->version);
  std::printf("inputs:        %d\n", (int) e->numInputs);
  std::printf("outputs:       %d\n", (int) e->numOutputs);
  std::printf("flags:         0x%X (%s)\n", (unsigned) e->flags, FlagNames(e->flags).c_str());
  std::printf("initial delay: %d\n", (int) e->initialDelay);
  std::printf("parameters:    %d\n", (int) e->numParams);
  for (int i = 0; i < e->numParams; ++i) {
    const std::string label = host.Text(effGetParamLabel, i);
    std::printf("  %2d  %-16s %s%s%s  (%.6f)\n", i, host.Text(effGetParamName, i).c_str(),
                host.Text(effGetParamDisplay, i).c_str(), label.empty() ? "" : " ", label.c_str(),
                e->getParameter ? (double) e->getParameter(e, i) : 0.0);
  }
  std::printf("programs:      %d\n", (int) e->numPrograms);
  for (int i = 0; i < e->numPrograms; ++i) {
    std::printf("  %2d  %s\n", i, host.Text(effGetProgramNameIndexed, i).c_str());
  }
  return 0;
}

bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* error)
{
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot read state file " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
    bytes->insert(bytes->end(), buffer, buffer + n);
    if ((long) bytes->size() > kMaxStateBytes) {
      std::fclose(f);
      *error = "state file " + path + " is too large";
      return false;
    }
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *error = "cannot read state file " + path;
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const void* data, size_t size, std::string* error)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write state file " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) {
    *error = "cannot write state file " + path;
    return false;
  }
  return true;
}

class Progress
{
public:
  Progress(sf_count_t total, int rate) : mTotal(total), mShow(total > 5L * rate && isatty(2)) {}
  void Update(sf_count_t done)
  {
    if (!mShow) return;
    const int percent = (int) (done * 100 / (mTotal > 0 ? mTotal : 1));
    if (percent == mLast) return;
    mLast = percent;
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string((size_t) filled, '#').c_str(),
                 std::string((size_t) (width - filled), ' ').c_str(), percent);
    std::fflush(stderr);
  }
  void Finish()
  {
    if (mShow && mLast >= 0) std::fputc('\n', stderr);
  }

private:
  sf_count_t mTotal;
  bool mShow;
  int mLast = -1;
};

int Render(VstHost& host, const Options& o, SNDFILE* in, const SF_INFO& inInfo)
{
  AEffect* e = host.Effect();
  const int nIn = e->numInputs > 0 ? e->numInputs : 0;
  const int nOut = e->numOutputs > 0 ? e->numOutputs : 0;
  const int channels = inInfo.channels;
  const int block = o.block;
  if (!e->processReplacing && !e->process) return Fail("plug-in has no audio entry");

  // Validate the requests against what the plug-in declares before anything runs.
  if (o.program >= 0 && o.program >= e->numPrograms) {
    return Fail("--program " + std::to_string(o.program) + " is out of range: the plug-in has " +
                std::to_string(e->numPrograms) + " programs", kExitUsage);
  }
  for (const ParamSetting& p : o.params) {
    if (p.index >= e->numParams) {
      return Fail("--param " + std::to_string(p.index) + " is out of range: the plug-in has " +
                  std::to_string(e->numParams) + " parameters", kExitUsage);
    }
  }
  std::vector<unsigned char> state;
  std::string error;
  if (!o.stateIn.empty() && !ReadFile(o.stateIn, &state, &error)) return Fail(error);

  // The conversation a host has with an effect before audio flows.
  host.Dispatch(effOpen);
  host.Dispatch(effSetSampleRate, 0, 0, nullptr, (float) inInfo.samplerate);
  host.Dispatch(effSetBlockSize, 0, block);
  if (o.program >= 0) host.Dispatch(effSetProgram, 0, o.program);
  if (!o.stateIn.empty()) {
    if (state.empty() || host.Dispatch(effSetChunk, 0, (VstIntPtr) state.size(), state.data()) != 1) {
      return Fail("plug-in refused the state in " + o.stateIn);
    }
  }
  for (const ParamSetting& p : o.params) {
    if (e->setParameter) e->setParameter(e, p.index, (float) p.value);
  }

  SF_INFO outInfo = inInfo;
  outInfo.frames = 0;
  SNDFILE* out = sf_open(o.output.c_str(), SFM_WRITE, &outInfo);
  if (!out) return Fail("cannot write " + o.output + ": " + sf_strerror(nullptr));
  sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  host.Dispatch(effMainsChanged, 0, 1);
  host.Dispatch(effStartProcess);

  std::vector<float> interleaved((size_t) block * (size_t) channels);
  std::vector<float> outInterleaved((size_t) block * (size_t) channels);
  std::vector<std::vector<float>> inBuf((size_t) nIn, std::vector<float>((size_t) block));
  std::vector<std::vector<float>> outBuf((size_t) nOut, std::vector<float>((size_t) block));
  std::vector<float*> inPtr, outPtr;
  for (auto& v : inBuf) inPtr.push_back(v.data());
  for (auto& v : outBuf) outPtr.push_back(v.data());

  Progress progress(inInfo.frames, inInfo.samplerate);
  sf_count_t done = 0;
  int result = 0;
  for (;;) {
    const sf_count_t n = sf_readf_float(in, interleaved.data(), block);
    if (n <= 0) break;
    for (int i = 0; i < nIn; ++i) {
      const int src = channels == 1 ? 0 : i;
      for (sf_count_t s = 0; s < n; ++s) {
        inBuf[(size_t) i][(size_t) s] = src < channels ? interleaved[(size_t) (s * channels + src)] : 0.0f;
      }
    }
    for (auto& v : outBuf) std::fill(v.begin(), v.end(), 0.0f);
    VstHost::SetTime((double) done, inInfo.samplerate);
    if (e->processReplacing && (e->flags & effFlagsCanReplacing)) {
      e->processReplacing(e, inPtr.data(), outPtr.data(), (VstInt32) n);
    } else {
      e->process(e, inPtr.data(), outPtr.data(), (VstInt32) n);
    }
    for (sf_count_t s = 0; s < n; ++s) {
      for (int c = 0; c < channels; ++c) {
        outInterleaved[(size_t) (s * channels + c)] = c < nOut ? outBuf[(size_t) c][(size_t) s] : 0.0f;
      }
    }
    if (sf_writef_float(out, outInterleaved.data(), n) != n) {
      result = Fail("cannot write " + o.output + ": " + sf_strerror(out));
      break;
    }
    done += n;
    progress.Update(done);
  }
  progress.Finish();
  if (result == 0 && sf_error(in) != SF_ERR_NO_ERROR) {
    result = Fail("cannot read " + o.input + ": " + sf_strerror(in));
  }

  host.Dispatch(effStopProcess);
  host.Dispatch(effMainsChanged, 0, 0);
  if (sf_close(out) != 0 && result == 0) result = Fail("cannot finish " + o.output);

  if (result == 0 && !o.stateOut.empty()) {
    void* data = nullptr;
    const VstIntPtr size = host.Dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) {
      result = Fail("plug-in gave no state to save");
    } else if (!WriteFile(o.stateOut, data, (size_t) size, &error)) {
      result = Fail(error);
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv)
{
  Options o;
  const int parsed = ParseArgs(argc, argv, &o);
  if (parsed >= 0) return parsed;

  VstHost host;
  std::string error;
  if (o.info) {
    if (!host.Load(o.plugin, &error)) return Fail(error);
    return PrintInfo(host, o.plugin);
  }

  // Writing over the file being read would destroy it halfway through.
  struct stat inStat = {}, outStat = {};
  if (stat(o.input.c_str(), &inStat) == 0 && stat(o.output.c_str(), &outStat) == 0 &&
      inStat.st_dev == outStat.st_dev && inStat.st_ino == outStat.st_ino) {
    return Fail("the output " + o.output + " is the input file", kExitUsage);
  }

  SF_INFO inInfo = {};
  SNDFILE* in = sf_open(o.input.c_str(), SFM_READ, &inInfo);
  if (!in) return Fail("cannot read " + o.input + ": " + sf_strerror(nullptr));
  if (inInfo.channels <= 0 || inInfo.samplerate <= 0) {
    sf_close(in);
    return Fail("cannot read " + o.input + ": no audio in it");
  }
  if (!host.Load(o.plugin, &error)) {
    sf_close(in);
    return Fail(error);
  }
  const int result = Render(host, o, in, inInfo);
  sf_close(in);
  host.Close();
  return result;
}
