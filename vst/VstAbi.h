#pragma once
// Our declarations of the VST 2.4 binary interface: the effect record, the structures passed
// between host and plug-in, the function-pointer types and the opcode numbers. Layouts are checked
// at compile time for both pointer widths.

#include <cstddef>
#include <cstdint>

// Every function pointer of the interface uses the C calling convention on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

typedef int16_t VstInt16;
typedef int32_t VstInt32;
typedef intptr_t VstIntPtr;

struct AEffect;

typedef VstIntPtr(VSTCALLBACK* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                     VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                       VstIntPtr value, void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, VstInt32 index);

// Four-character codes, first character in the most significant byte.
constexpr VstInt32 VstFourCC(char a, char b, char c, char d)
{
  return (VstInt32) (((uint32_t) (unsigned char) a << 24) | ((uint32_t) (unsigned char) b << 16) |
                     ((uint32_t) (unsigned char) c << 8) | (uint32_t) (unsigned char) d);
}

constexpr VstInt32 kEffectMagic = VstFourCC('V', 's', 't', 'P');  // 0x56737450

struct AEffect
{
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;  // accumulating
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr reserved1;
  VstIntPtr reserved2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;  // the plug-in's own object
  void* user;    // the host's; never touched by the plug-in
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

enum VstAEffectFlags
{
  effFlagsHasEditor = 1,
  effFlagsMonoCapable = 8,
  effFlagsCanReplacing = 0x10,
  effFlagsProgramChunks = 0x20,
  effFlagsIsSynth = 0x100,
  effFlagsCanDoubleReplacing = 0x1000,
};

struct ERect
{
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};

struct VstTimeInfo
{
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

enum VstTimeInfoFlags
{
  kVstTempoValid = 0x400,
  kVstTimeSigValid = 0x2000,
};

struct VstEvent
{
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};

enum VstEventTypes
{
  kVstMidiType = 1,
};

struct VstMidiEvent
{
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstEvents
{
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];  // really numEvents entries
};

struct VstPinProperties
{
  char label[64];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};

enum VstPinPropertiesFlags
{
  kVstPinIsActive = 1,
  kVstPinIsStereo = 2,
};

struct VstSpeakerProperties
{
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};

struct VstSpeakerArrangement
{
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

struct MidiKeyName
{
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[64];
  VstInt32 reserved;
  VstInt32 flags;
};

enum VstPlugCategory
{
  kPlugCategEffect = 1,
};

// Sizes of the text buffers the host provides, terminating zero included.
enum VstStringSizes
{
  kVstMaxParamStrLen = 8,  // parameter label, display and name: the guaranteed minimum
  kVstMaxProgNameLen = 24,
  kVstMaxEffectNameLen = 32,
  kVstMaxVendorStrLen = 64,
  kVstMaxProductStrLen = 64,
  kVstMaxHostProductStrLen = 256,  // the plug-in's own buffer for the host's product name
  kVstMaxLabelLen = 64,
  kVstMaxShortLabelLen = 8,
};

// Dispatcher opcodes (host to plug-in).
enum AEffectOpcodes
{
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetParameterProperties = 56,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effGetSpeakerArrangement = 69,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetProcessPrecision = 77,
};

// Host callback opcodes (plug-in to host) that this plug-in uses.
enum AudioMasterOpcodes
{
  audioMasterAutomate = 0,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

// ---- Layout checks ----
static_assert(sizeof(VstInt32) == 4 && sizeof(VstInt16) == 2, "integer widths");
static_assert(sizeof(VstIntPtr) == sizeof(void*), "intptr is pointer-sized");
static_assert(sizeof(ERect) == 8, "ERect");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo");
static_assert(sizeof(VstEvent) == 32, "VstEvent");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties");
static_assert(offsetof(VstPinProperties, flags) == 64, "VstPinProperties");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "VstPinProperties");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties");
static_assert(sizeof(VstSpeakerArrangement) == 904, "VstSpeakerArrangement");
static_assert(sizeof(MidiKeyName) == 80, "MidiKeyName");
static_assert(offsetof(MidiKeyName, keyName) == 8, "MidiKeyName");

#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(void*) == 8, "64-bit layout");
static_assert(sizeof(AEffect) == 192, "AEffect");
static_assert(offsetof(AEffect, dispatcher) == 8, "AEffect");
static_assert(offsetof(AEffect, numPrograms) == 40, "AEffect");
static_assert(offsetof(AEffect, flags) == 56, "AEffect");
static_assert(offsetof(AEffect, initialDelay) == 80, "AEffect");
static_assert(offsetof(AEffect, ioRatio) == 92, "AEffect");
static_assert(offsetof(AEffect, object) == 96, "AEffect");
static_assert(offsetof(AEffect, uniqueID) == 112, "AEffect");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "AEffect");
static_assert(offsetof(AEffect, future) == 136, "AEffect");
static_assert(sizeof(VstEvents) == 32, "VstEvents");
static_assert(offsetof(VstEvents, events) == 16, "VstEvents");
#else
static_assert(sizeof(void*) == 4, "32-bit layout");
static_assert(sizeof(AEffect) == 144, "AEffect");
static_assert(offsetof(AEffect, dispatcher) == 4, "AEffect");
static_assert(offsetof(AEffect, numPrograms) == 20, "AEffect");
static_assert(offsetof(AEffect, flags) == 36, "AEffect");
static_assert(offsetof(AEffect, initialDelay) == 48, "AEffect");
static_assert(offsetof(AEffect, ioRatio) == 60, "AEffect");
static_assert(offsetof(AEffect, object) == 64, "AEffect");
static_assert(offsetof(AEffect, uniqueID) == 72, "AEffect");
static_assert(offsetof(AEffect, processReplacing) == 80, "AEffect");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "AEffect");
static_assert(offsetof(AEffect, future) == 88, "AEffect");
static_assert(sizeof(VstEvents) == 16, "VstEvents");
static_assert(offsetof(VstEvents, events) == 8, "VstEvents");
#endif
