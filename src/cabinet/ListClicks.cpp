// SPDX-License-Identifier: MIT
// Which label of the high-score list lies under a point of the playfield.
#include "cabinet/ListClicks.h"

#include "replay/ControlNames.h"

namespace cabinet {

namespace {

bool hits(const form::Label& label, float x, float y) {
  return label.Visible && x >= label.Left && x <= label.Left + label.Width && y >= label.Top &&
         y <= label.Top + label.Height;
}

replay::Event click(replay::ListLabel label, int index) {
  return replay::Event{
      .kind = replay::Event::Kind::Label, .code = index, .name = std::string(nameOf(label))};
}

}  // namespace

std::optional<replay::Event> listLabelClickAt(const frmCavewing& form, float x, float y) {
  for (int i = form.lblScores.first; i <= form.lblScores.last; ++i) {
    if (hits(form.lblScores[i], x, y)) return click(replay::ListLabel::lblScores, i);
    if (hits(form.lblNumber[i], x, y)) return click(replay::ListLabel::lblNumber, i);
  }
  if (hits(form.lblTitle, x, y)) return click(replay::ListLabel::lblTitle, 0);
  for (int i = form.lblName.first; i <= form.lblName.last; ++i)
    if (hits(form.lblName[i], x, y)) return click(replay::ListLabel::lblName, i);
  return std::nullopt;
}

}  // namespace cabinet
