#include "raster/ModuleResources.h"

#ifdef _WIN32

bool FindModuleResource(HMODULE module, int id, const char* type, ModuleResourceData* out)
{
  if (!out || !type)
    return false;
  HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id & 0xFFFF), type);
  if (!res)
    return false;
  HGLOBAL handle = LoadResource(module, res);
  if (!handle)
    return false;
  const void* data = LockResource(handle);
  if (!data)
    return false;
  out->data = (const unsigned char*)data;
  out->size = (int)SizeofResource(module, res);
  return true;
}

#else

#include <mutex>
#include <strings.h>
#include <vector>

namespace
{
struct Registry
{
  std::mutex mutex;
  std::vector<EmbeddedResource> entries;
};

// Function-local, so registrations from any static initialiser find it constructed.
Registry& TheRegistry()
{
  static Registry registry;
  return registry;
}

bool SameKey(const EmbeddedResource& e, const char* type, int id)
{
  return (e.id & 0xFFFF) == (id & 0xFFFF) && e.type && strcasecmp(e.type, type) == 0;
}
} // namespace

void RegisterEmbeddedResources(const EmbeddedResource* table, int count)
{
  if (!table || count <= 0)
    return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (int i = 0; i < count; ++i)
  {
    const EmbeddedResource& e = table[i];
    if (!e.type)
      continue;
    bool replaced = false;
    for (EmbeddedResource& old : r.entries)
      if (SameKey(old, e.type, e.id))
      {
        old = e;
        replaced = true;
        break;
      }
    if (!replaced)
      r.entries.push_back(e);
  }
}

bool FindModuleResource(HMODULE module, int id, const char* type, ModuleResourceData* out)
{
  (void)module;
  if (!out || !type)
    return false;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const EmbeddedResource& e : r.entries)
    if (SameKey(e, type, id))
    {
      if (!e.data)
        return false;
      out->data = e.data;
      out->size = e.size;
      return true;
    }
  return false;
}

#endif
