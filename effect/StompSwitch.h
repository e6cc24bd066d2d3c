#pragma once
// The footswitch link: turns a press of the momentary footswitch into a toggle of the "Effect"
// parameter. It creates the footswitch control, adds it to the graphics object and observes it;
// on each rising edge of the footswitch's value, as seen when the graphics object notifies the
// observers at a redraw tick, it flips the hidden "Effect" toggle as a user change, which reaches
// the plug-in as a change of that parameter from the editor.

#include "editor/IControl.h"

class IGraphics;
class IPlugBase;

class StompSwitch : public IObserverInterface
{
public:
  // Creates an IContactControlNoDblClick at (x, y) with the bitmap, no parameter, adds it to
  // graphics and observes it. target (the hidden "Effect" toggle) is not owned.
  StompSwitch(IPlugBase* plug, IGraphics* graphics, int x, int y, const IBitmap& bitmap,
              IControl* target);
  ~StompSwitch() override;

  // A rising edge (1.0 now, 0.0 at the previous notification) flips the target's parameter: to 0
  // when it is at its maximum (the effect On), else to 1.
  void OnSubjectChanged() override;

  IContactControlNoDblClick* Contact() const { return contact; }
  IControl* Target() const { return target; }
  double LastValue() const { return lastValue; }
  // The footswitch's index among the graphics object's controls.
  int ContactIndex() const { return contactIndex; }

private:
  IPlugBase* plug;  // not owned
  double lastValue = 0.0;
  IControl* target;
  IContactControlNoDblClick* contact;  // owned by the graphics object
  int contactIndex;
};
