#pragma once
// Binary resources carried inside a module (the plug-in library or a test program).
//
// Windows: the module's own resource section (FindResourceA with the id's low 16 bits, LoadResource,
// LockResource, SizeofResource). Native: a registry of resources compiled into this binary, filled by
// static initialisers of embedded-resource objects; the module handle is accepted but not needed, as
// every binary has one registry. Types compare case-insensitively and ids by their low 16 bits, as
// Windows resource lookups do.

#include "framework/Platform.h"

struct ModuleResourceData
{
  const unsigned char* data;
  int size;
};

// True and *out filled when the module holds a resource of this type and id.
bool FindModuleResource(HMODULE module, int id, const char* type, ModuleResourceData* out);

#ifndef _WIN32
struct EmbeddedResource
{
  const char* type;
  int id;
  const unsigned char* data;
  int size;
};

// Called from static initialisers of embedded-resource objects (and by tests). The table's texts and
// data must outlive every lookup; the table itself is copied. Later registrations of the same
// (type, id) replace earlier ones.
void RegisterEmbeddedResources(const EmbeddedResource* table, int count);
#endif
