#pragma once
// The pedal's editor composed with the real drawing code, without a screen: a PlugExample is
// built, its editor opened on the headless window system and drawn by its first timer tick; the
// drawing surface is then read back. Used by torvo-editor-snapshot and by the golden-image test.

#include <cstdint>
#include <string>
#include <vector>

struct EditorSnapshotImage
{
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom
};

// The first paint with the default parameter values; with showAbout, a click on the logo and one
// more tick then show the about panel. False when no editor could be composed.
bool ComposeEditorSnapshot(bool showAbout, EditorSnapshotImage* out);

// 8-bit RGBA PNG files.
bool WriteSnapshotPNG(const std::string& path, const EditorSnapshotImage& image);
bool ReadSnapshotPNG(const std::string& path, EditorSnapshotImage* image);
