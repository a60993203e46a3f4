#include "replay/Deliver.h"

#include "app/frmCavewing.h"

namespace replay {

namespace {

// The menu item of that name that a player could click now: it and its menu are enabled.
form::MenuItem* clickableMenuItem(frmCavewing& f, const std::string& name) {
  for (form::MenuItem* entry : f.menuBar) {
    if (entry->Name == name) return entry->Enabled ? entry : nullptr;
    for (form::MenuItem* item : entry->Items)
      if (item->Name == name) return entry->Enabled && item->Enabled ? item : nullptr;
  }
  return nullptr;
}

void clickLabel(frmCavewing& f, const std::string& name, int index) {
  auto visible = [&](const form::Label& l) { return l.Visible; };
  if (name == "lblTitle") {
    if (visible(f.lblTitle)) f.lblTitle_Click();
    return;
  }
  if (index < 1 || index > 15) return;
  if (name == "lblName" && visible(f.lblName[index])) f.lblName_Click(index);
  if (name == "lblNumber" && visible(f.lblNumber[index])) f.lblNumber_Click(index);
  if (name == "lblScores" && visible(f.lblScores[index])) f.lblScores_Click(index);
}

}  // namespace

void deliver(frmCavewing& f, const Event& e) {
  using Kind = Event::Kind;
  switch (e.kind) {
    case Kind::Start:
      if (f.cmdStart.Visible && f.cmdStart.Enabled) f.cmdStart_Click();
      return;
    case Kind::Down:
      // A press goes to the helicopter while an earlier press on it is held, even once it is
      // hidden; the helicopter answers it exactly as the window would.
      if (e.onCopter)
        f.imgCopter_MouseDown(e.button, e.shift, e.x, e.y);
      else
        f.Form_MouseDown(e.button, e.shift, e.x, e.y);
      return;
    case Kind::Up:
      if (e.onCopter)
        f.imgCopter_MouseUp(e.button, e.shift, e.x, e.y);
      else
        f.Form_MouseUp(e.button, e.shift, e.x, e.y);
      return;
    case Kind::Release:
      f.ReleaseButton();
      return;
    case Kind::DblClick:
      f.Form_DblClick();
      return;
    case Kind::KeyDown:
      f.Form_KeyDown(e.code, e.shift);
      return;
    case Kind::KeyPress:
      f.Form_KeyPress(e.code);
      return;
    case Kind::Menu:
      if (form::MenuItem* item = clickableMenuItem(f, e.name); item && item->onClick)
        item->onClick();
      return;
    case Kind::Label:
      clickLabel(f, e.name, e.code);
      return;
    case Kind::Close:
      f.Form_Unload();
      return;
  }
}

}  // namespace replay
