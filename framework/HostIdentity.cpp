// What is known of the host: its id from its product name, its version, and the one
// host-specific rule for the channel connections.

#include "framework/IPlugBase.h"

#include <string>

namespace
{
struct HostEntry
{
  const char* text;
  int id;
};

// Searched in this order; the first text found anywhere in the lower-cased name wins.
const HostEntry kHostTable[] = {
  {"cubase", 3},     {"reaper", 1},  {"nuendo", 4},    {"cakewalk", 5},   {"samplitude", 8}, {"fruity", 7},
  {"live", 9},       {"melodyne", 12}, {"vstmanlib", 13}, {"aulab", 14},  {"forte", 15},      {"chainer", 16},
  {"audition", 17},  {"orion", 18},  {"sawstudio", 20}, {"logic", 21},     {"digital", 22},
};
}  // namespace

int IPlugBase::HostIdFromName(const char* name)
{
  if (!name)
    return 0;
  std::string lower(name);
  for (char& c : lower)
  {
    if (c >= 'A' && c <= 'Z')
      c = (char) (c - 'A' + 'a');
  }
  for (const HostEntry& entry : kHostTable)
  {
    if (lower.find(entry.text) != std::string::npos)
      return entry.id;
  }
  return 0;
}

void IPlugBase::SetHost(const char* name, int packedVersion)
{
  mHost = HostIdFromName(name);
  mHostVersion = packedVersion;
}

void IPlugBase::ApplyHostChannelLimits()
{
  SetInputConnections(2, NInChannels() - 2, false);
  SetOutputConnections(2, NOutChannels() - 2, true);
}
