#pragma once
// A minimal VST 2 host for the command line: loads a plug-in library, creates its effect and
// talks to it through the effect record.

#include <string>
#include <vector>

#include "vst/VstAbi.h"

class VstHost
{
public:
  VstHost() = default;
  ~VstHost();
  VstHost(const VstHost&) = delete;
  VstHost& operator=(const VstHost&) = delete;

  // Loads the library and creates the effect; false with a one-line reason on failure.
  bool Load(const std::string& path, std::string* error);

  AEffect* Effect() const { return mEffect; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // A text opcode's answer, read from a zeroed buffer far larger than any answer.
  std::string Text(VstInt32 opcode, VstInt32 index = 0);

  // The host's clock, reported to the plug-in on request.
  static void SetTime(double samplePos, double sampleRate);

  // Closes the effect (effClose) and unloads the library.
  void Close();

private:
  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;
};
