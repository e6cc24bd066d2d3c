#include "effect/StompSwitch.h"

#include "editor/IGraphics.h"

StompSwitch::StompSwitch(IPlugBase* plug, IGraphics* graphics, int x, int y, const IBitmap& bitmap,
                         IControl* targetControl)
  : target(targetControl), contact(new IContactControlNoDblClick(plug, x, y, -1, bitmap))
{
  contactIndex = graphics->AddControl(contact);
  contact->AddObserver(this);
}

StompSwitch::~StompSwitch() {}

void StompSwitch::OnSubjectChanged()
{
  const double a = contact->GetValue();
  if (a == 1.0 && lastValue == 0.0 && target) target->SetValueFromUser(1.0 - target->GetValue());
  lastValue = a;
}
