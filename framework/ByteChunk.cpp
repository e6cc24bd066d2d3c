#include "framework/ByteChunk.h"

#include <cstring>

int ByteChunk::Append(const void* bytes, int count)
{
  if (bytes && count > 0)
  {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    mBytes.insert(mBytes.end(), p, p + count);
  }
  return Size();
}

int ByteChunk::ReadAt(void* out, int count, int position) const
{
  if (position < 0 || count < 0)
    return -1;
  // Compared in 64 bits so that position + count cannot wrap.
  if ((long long) position + (long long) count > (long long) mBytes.size())
    return -1;
  if (count > 0)
  {
    if (!out)
      return -1;
    std::memcpy(out, mBytes.data() + position, (size_t) count);
  }
  return position + count;
}

void ByteChunk::SetSize(int size)
{
  mBytes.resize(size > 0 ? (size_t) size : 0, 0);
}
