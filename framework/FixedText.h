#pragma once
// Copying into the framework's fixed-size text fields.

namespace torvo
{
// Copies text into a field of capacity bytes: cut to fit and always zero-terminated (when
// capacity > 0). A null text reads as "".
inline void CopyFixedText(char* dest, int capacity, const char* text)
{
  if (!dest || capacity <= 0)
    return;
  int n = 0;
  if (text)
  {
    while (n < capacity - 1 && text[n] != '\0')
    {
      dest[n] = text[n];
      ++n;
    }
  }
  dest[n] = '\0';
}
}  // namespace torvo
