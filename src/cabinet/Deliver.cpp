// SPDX-License-Identifier: MIT
// The event vocabulary mapped onto the form's handlers, with the window's own rules of what can
// be clicked now.
#include "cabinet/Deliver.h"

#include "app/frmCavewing.h"
#include "cabinet/MenuCommands.h"

namespace cabinet {

namespace {

// The menu command of that name, if a player could click it now: it and its menu are enabled.
form::MenuItem* clickableMenuItem(frmCavewing& f, const std::string& name) {
  const MenuCommand* command = menuCommandNamed(name);
  if (!command) return nullptr;
  form::MenuItem* wanted = &(f.*command->item);
  for (form::MenuItem* entry : f.menuBar) {
    if (entry == wanted) return entry->Enabled ? entry : nullptr;
    for (form::MenuItem* item : entry->Items)
      if (item == wanted) return entry->Enabled && item->Enabled ? item : nullptr;
  }
  return nullptr;
}

void clickLabel(frmCavewing& f, const std::string& name, int index) {
  const std::optional<replay::ListLabel> label = replay::listLabelNamed(name);
  if (label == replay::ListLabel::lblTitle) {
    if (f.lblTitle.Visible) f.lblTitle_Click();
    return;
  }
  if (!label || index < f.lblName.first || index > f.lblName.last) return;
  switch (*label) {
    case replay::ListLabel::lblName:
      if (f.lblName[index].Visible) f.lblName_Click(index);
      return;
    case replay::ListLabel::lblNumber:
      if (f.lblNumber[index].Visible) f.lblNumber_Click(index);
      return;
    case replay::ListLabel::lblScores:
      if (f.lblScores[index].Visible) f.lblScores_Click(index);
      return;
    case replay::ListLabel::lblTitle:
      return;
  }
}

}  // namespace

void deliver(frmCavewing& f, const replay::Event& e) {
  using Kind = replay::Event::Kind;
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

}  // namespace cabinet
