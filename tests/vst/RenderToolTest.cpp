// The command-line renderer run as a user runs it: a whole render of generated files, the state
// files, --info, and one clear error with a non-zero exit for every kind of bad input.

#include <gtest/gtest.h>

#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

struct RunResult
{
  int exitCode;
  std::string out, err;
};

std::string ReadAll(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class RenderTool : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/torvo-render-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override
  {
    const std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  RunResult Render(const std::string& args) const
  {
    const std::string out = Path("stdout.txt"), err = Path("stderr.txt");
    const std::string command = std::string("'") + TORVO_RENDER_PATH + "' " + args + " > '" + out + "' 2> '" + err +
                                "' < /dev/null";
    const int status = std::system(command.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
  }

  // A test signal: two sines, a different one per channel, at the given level.
  void WriteWav(const std::string& path, int channels, int format, int rate, int frames, double level) const
  {
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<double> data((size_t) frames * channels);
    for (int n = 0; n < frames; ++n) {
      for (int c = 0; c < channels; ++c) {
        data[(size_t) (n * channels + c)] = level * std::sin(2.0 * 3.14159265358979 * (110.0 * (c + 1)) * n / rate);
      }
    }
    ASSERT_EQ(sf_writef_double(f, data.data(), frames), frames);
    sf_close(f);
  }

  struct Audio
  {
    SF_INFO info = {};
    std::vector<double> samples;  // interleaved
  };
  static Audio ReadWav(const std::string& path)
  {
    Audio a;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &a.info);
    if (!f) return a;
    a.samples.resize((size_t) a.info.frames * a.info.channels);
    sf_readf_double(f, a.samples.data(), a.info.frames);
    sf_close(f);
    return a;
  }

  std::string plugin = TORVO_PLUGIN_PATH;
  std::string dir;
};

std::string Q(const std::string& s)
{
  return "'" + s + "'";
}

}  // namespace

TEST_F(RenderTool, RendersInTheInputFormat)
{
  struct Case { const char* what; int channels; int format; int rate; };
  const Case cases[] = {
    {"stereo 16-bit 44100", 2, SF_FORMAT_PCM_16, 44100},
    {"mono 24-bit 48000", 1, SF_FORMAT_PCM_24, 48000},
    {"stereo float 22050", 2, SF_FORMAT_FLOAT, 22050},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string in = Path("in.wav"), out = Path("out.wav");
    WriteWav(in, c.channels, c.format, c.rate, 3000, 0.3);
    const RunResult r = Render(Q(plugin) + " " + Q(in) + " " + Q(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress bar for short files or when stderr is not a terminal";
    const Audio dry = ReadWav(in), wet = ReadWav(out);
    EXPECT_EQ(wet.info.channels, c.channels);
    EXPECT_EQ(wet.info.samplerate, c.rate);
    EXPECT_EQ(wet.info.format, dry.info.format);
    ASSERT_EQ(wet.info.frames, 3000);
    double energy = 0.0, difference = 0.0;
    for (size_t i = 0; i < wet.samples.size(); ++i) {
      ASSERT_TRUE(std::isfinite(wet.samples[i]));
      energy += wet.samples[i] * wet.samples[i];
      difference += std::fabs(wet.samples[i] - dry.samples[i]);
    }
    EXPECT_GT(energy, 0.0);
    EXPECT_GT(difference, 0.0) << "the effect changed the sound";
  }
}

// With "Effect" Off the plug-in passes the sum of its inputs: a mono file feeds both inputs, so
// the result is twice the input; a stereo file gives left + right on both channels.
TEST_F(RenderTool, BypassShowsHowChannelsAreFed)
{
  const double lsb = 1.0 / 32768.0;
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const std::string in = Path("in.wav"), out = Path("out.wav");
    WriteWav(in, channels, SF_FORMAT_PCM_16, 44100, 2000, 0.2);
    const RunResult r = Render(Q(plugin) + " " + Q(in) + " " + Q(out) + " --param 2=0 --block 100");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio dry = ReadWav(in), wet = ReadWav(out);
    ASSERT_EQ(wet.info.frames, 2000);
    for (int n = 0; n < 2000; ++n) {
      double sum = 0.0;
      for (int c = 0; c < channels; ++c) sum += dry.samples[(size_t) (n * channels + c)];
      if (channels == 1) sum *= 2.0;
      for (int c = 0; c < channels; ++c) {
        ASSERT_NEAR(wet.samples[(size_t) (n * channels + c)], sum, 1.5 * lsb) << "frame " << n << " channel " << c;
      }
    }
  }
}

TEST_F(RenderTool, BlockSizeDoesNotChangeTheResult)
{
  const std::string in = Path("in.wav");
  WriteWav(in, 2, SF_FORMAT_FLOAT, 44100, 5000, 0.4);
  ASSERT_EQ(Render(Q(plugin) + " " + Q(in) + " " + Q(Path("a.wav")) + " --block 512").exitCode, 0);
  ASSERT_EQ(Render(Q(plugin) + " " + Q(in) + " " + Q(Path("b.wav")) + " --block=37").exitCode, 0);
  const Audio a = ReadWav(Path("a.wav")), b = ReadWav(Path("b.wav"));
  ASSERT_EQ(a.samples.size(), b.samples.size());
  for (size_t i = 0; i < a.samples.size(); ++i) ASSERT_EQ(a.samples[i], b.samples[i]) << i;
}

TEST_F(RenderTool, StateFilesRoundTrip)
{
  const std::string in = Path("in.wav");
  WriteWav(in, 1, SF_FORMAT_PCM_16, 44100, 1000, 0.3);
  RunResult r = Render(Q(plugin) + " " + Q(in) + " " + Q(Path("a.wav")) + " --program 3 --param 0=0.25 --param 3=0" +
                 " --state-out " + Q(Path("state1.bin")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string state1 = ReadAll(Path("state1.bin"));
  ASSERT_EQ(state1.size(), 40u);
  EXPECT_EQ(state1.substr(0, 4), "tffp");
  double level = 0.0, cabinet = -1.0;
  std::memcpy(&level, state1.data() + 8, 8);
  std::memcpy(&cabinet, state1.data() + 32, 8);
  EXPECT_EQ(level, 0.25);
  EXPECT_EQ(cabinet, 0.0);

  r = Render(Q(plugin) + " " + Q(in) + " " + Q(Path("b.wav")) + " --state-in " + Q(Path("state1.bin")) +
             " --state-out " + Q(Path("state2.bin")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadAll(Path("state2.bin")), state1);
  EXPECT_EQ(ReadAll(Path("a.wav")), ReadAll(Path("b.wav"))) << "the same state renders the same sound";
}

TEST_F(RenderTool, InfoDescribesThePlugin)
{
  const RunResult r = Render("--info " + Q(plugin));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* expect : {"Torvo-Mell", "quillbarrow", "'kv9e'", "0x6B763965", "20300", "inputs:        2",
                             "outputs:       2", "parameters:    4", "programs:      16", "Level", "Attack",
                             "Effect", "Cabinet", "0.500", "On", "Init", "replacing", "double replacing"}) {
    EXPECT_NE(r.out.find(expect), std::string::npos) << expect << "\n" << r.out;
  }
  EXPECT_TRUE(r.out.find("flags:         0x1018") != std::string::npos ||
              r.out.find("flags:         0x1019") != std::string::npos)
    << r.out;
}

TEST_F(RenderTool, ErrorsAreOneClearLine)
{
  const std::string in = Path("in.wav");
  WriteWav(in, 2, SF_FORMAT_PCM_16, 44100, 500, 0.3);
  {
    std::ofstream text(Path("notes.txt"));
    text << "not audio at all\n";
    std::ofstream garbage(Path("garbage.bin"), std::ios::binary);
    garbage << "abc";
  }
  const std::string out = Path("out.wav");
  const std::string io = " " + Q(in) + " " + Q(out);
  struct Case { const char* what; std::string args; int exitCode; const char* message; };
  const std::vector<Case> cases = {
    {"no arguments", "", 2, "usage: torvo-render"},
    {"too few arguments", Q(plugin) + " " + Q(in), 2, "usage: torvo-render"},
    {"missing input", Q(plugin) + " " + Q(Path("none.wav")) + " " + Q(out), 1, "cannot read"},
    {"input not audio", Q(plugin) + " " + Q(Path("notes.txt")) + " " + Q(out), 1, "cannot read"},
    {"missing plug-in", Q(Path("none.so")) + io, 1, "cannot load plug-in"},
    {"plug-in not a library", Q(in) + io, 1, "cannot load plug-in"},
    {"unknown option", Q(plugin) + io + " --frobnicate 1", 2, "unknown option --frobnicate"},
    {"parameter out of range", Q(plugin) + io + " --param 9=0.5", 2, "out of range"},
    {"parameter value above 1", Q(plugin) + io + " --param 1=2", 2, "0..1"},
    {"parameter value NaN", Q(plugin) + io + " --param 1=nan", 2, "bad --param"},
    {"parameter without value", Q(plugin) + io + " --param 1", 2, "bad --param"},
    {"parameter garbage", Q(plugin) + io + " --param x=0.5", 2, "bad --param"},
    {"option without value", Q(plugin) + io + " --param", 2, "needs a value"},
    {"program out of range", Q(plugin) + io + " --program 16", 2, "out of range"},
    {"negative program", Q(plugin) + io + " --program -1", 2, "bad --program"},
    {"block zero", Q(plugin) + io + " --block 0", 2, "bad --block"},
    {"block not a number", Q(plugin) + io + " --block 12x", 2, "bad --block"},
    {"block too large", Q(plugin) + io + " --block 10000000", 2, "bad --block"},
    {"missing state file", Q(plugin) + io + " --state-in " + Q(Path("none.bin")), 1, "cannot read state file"},
    {"state refused", Q(plugin) + io + " --state-in " + Q(Path("garbage.bin")), 1, "refused the state"},
    {"unwritable output", Q(plugin) + " " + Q(in) + " " + Q(Path("no/such/dir/out.wav")), 1, "cannot write"},
    {"unwritable state", Q(plugin) + io + " --state-out " + Q(Path("no/such/dir/s.bin")), 1, "cannot write state"},
    {"output is the input", Q(plugin) + " " + Q(in) + " " + Q(dir + "/./in.wav"), 2, "is the input file"},
    {"info without plug-in", "--info", 2, "needs a value"},
    {"info with extra arguments", "--info " + Q(plugin) + " " + Q(in), 2, "only the plug-in"},
    {"info on a missing plug-in", "--info " + Q(Path("none.so")), 1, "cannot load plug-in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.args);
    std::remove(out.c_str());
    const RunResult r = Render(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    if (c.message != std::string("usage: torvo-render")) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    }
    if (std::string(c.what) != "unwritable state") {
      EXPECT_NE(access(out.c_str(), F_OK), 0) << "no output file after a failure";
    }
  }

  const RunResult same = Render(Q(plugin) + " " + Q(in) + " " + Q(in));
  EXPECT_EQ(same.exitCode, 2);
  EXPECT_EQ(ReadWav(in).info.frames, 500) << "the input survives";

  // A library without an entry point.
  for (const char* library : {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6"}) {
    if (access(library, R_OK) != 0) continue;
    const RunResult r = Render(Q(library) + io);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no VST 2 entry point"), std::string::npos) << r.err;
    break;
  }
}
