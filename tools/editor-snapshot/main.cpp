// torvo-editor-snapshot OUTDIR: writes OUTDIR/editor.png (the editor's first paint with the
// default values) and OUTDIR/editor-about.png (the same with the about panel shown), composed with
// the real drawing code on the headless window system.

#include <cstdio>
#include <string>

#include "EditorSnapshot.h"

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  struct Shot
  {
    bool about;
    const char* file;
  } shots[] = {{false, "editor.png"}, {true, "editor-about.png"}};
  for (const Shot& shot : shots)
  {
    EditorSnapshotImage image;
    const std::string path = dir + "/" + shot.file;
    if (!ComposeEditorSnapshot(shot.about, &image))
    {
      std::fprintf(stderr, "%s: the editor could not be composed\n", argv[0]);
      return 1;
    }
    if (!WriteSnapshotPNG(path, image))
    {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
      return 1;
    }
    std::printf("%s (%d x %d)\n", path.c_str(), image.width, image.height);
  }
  return 0;
}
