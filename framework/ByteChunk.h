#pragma once
// A growable byte buffer for serialized state: presets and the host's state chunks.

#include <vector>

class ByteChunk
{
public:
  // Adds count bytes at the end; returns the new size.
  int Append(const void* bytes, int count);
  template <class T> int Put(const T* value) { return Append(value, (int) sizeof(T)); }

  // Copies count bytes from position into out; returns the position after them, or -1 when
  // position + count exceeds the size or position is negative (nothing is read then).
  int ReadAt(void* out, int count, int position) const;
  template <class T> int Get(T* value, int position) const { return ReadAt(value, (int) sizeof(T), position); }

  // Contents up to the smaller of the old and new size survive; added bytes are zero.
  // A negative size is taken as 0.
  void SetSize(int size);
  void Clear() { mBytes.clear(); }
  int Size() const { return (int) mBytes.size(); }
  // The first byte, or null when the chunk is empty.
  unsigned char* Data() { return mBytes.empty() ? nullptr : mBytes.data(); }
  const unsigned char* Data() const { return mBytes.empty() ? nullptr : mBytes.data(); }

private:
  std::vector<unsigned char> mBytes;
};
