#pragma once
// What the plug-in base and the host adapter need of the editor's graphics object. The editor's
// IGraphics implements it; the framework and the adapter never see the editor's own headers, so a
// build without the editor links and runs unchanged.

#include "framework/Platform.h"

class IGraphicsLink
{
public:
  virtual ~IGraphicsLink() {}

  // Sets every control bound to the parameter; a plain value is converted through the parameter.
  virtual void OnParamFromPlugin(int paramIdx, double value, bool normalized) = 0;
  // Sets one control by its index as from the plug-in side; an index outside the list is ignored.
  virtual void SetControlValue(int controlIdx, double normalizedValue) = 0;
  // Makes the drawing surface; called once by ConnectGraphics.
  virtual void CreateSurface() = 0;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // Opens the editor as a child of the host's window; null when no window results.
  virtual HWND OpenWindow(HWND parent) = 0;
  virtual void CloseWindow() = 0;
};
