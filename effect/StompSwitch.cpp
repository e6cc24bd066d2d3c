#include "effect/StompSwitch.h"

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

StompSwitch::StompSwitch(IPlugBase* plugIn, IGraphics* graphics, int x, int y, const IBitmap& bitmap,
                         IControl* targetControl)
  : plug(plugIn), target(targetControl), contact(new IContactControlNoDblClick(plugIn, x, y, -1, bitmap))
{
  contactIndex = graphics->AddControl(contact);
  contact->AddObserver(this);
}

StompSwitch::~StompSwitch() {}

void StompSwitch::OnSubjectChanged()
{
  const double a = contact->GetValue();
  if (a == 1.0 && lastValue == 0.0 && target)
  {
    if (!plug)
    {
      target->SetValueFromUser(1.0 - target->GetValue());
    }
    else
    {
      // Flip what the effect does: Off to On, On to Off. For the whole values 0 and 1 this is
      // 1 - value. A state chunk may leave "Effect" between them (0.5 is Off), where 1 - value
      // would keep it Off, or a host may have automated the control to 0.7 (On): the plain value
      // decides, read under the plug-in mutex so no host change slips in between.
      IMutexLock lock(plug);
      const IParam* param = plug->GetParam(target->ParamIdx());
      const bool on = param ? param->Value() >= param->Max() : target->GetValue() >= 1.0;
      target->SetValueFromUser(on ? 0.0 : 1.0);
    }
  }
  lastValue = a;
}
