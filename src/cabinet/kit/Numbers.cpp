// SPDX-License-Identifier: MIT
// The numbers the page's script takes from the game, as one JSON object.
#include "cabinet/kit/Numbers.h"

#include <sstream>
#include <type_traits>

#include "app/Phase.h"
#include "app/frmCavewing.h"
#include "cabinet/kit/Ghost.h"
#include "cabinet/kit/Overlay.h"

namespace cabinet::kit {

namespace {

void box(std::ostream& out, const Box& b) {
  out << "{\"left\":" << b.left << ",\"top\":" << b.top << ",\"width\":" << b.width
      << ",\"height\":" << b.height << "}";
}

// Texts of the kit's own: plain words, nothing to escape. A row's place on the field goes with
// the field's size (below).
template <class Where>
void text(std::ostream& out, const TextAt<Where>& t) {
  out << "{\"text\":\"" << (t.text ? t.text : "") << "\"";
  if constexpr (std::is_same_v<Where, Box>) {
    out << ",\"box\":";
    box(out, t.box);
  }
  out << ",\"font\":\"" << t.font << "\",\"points\":" << t.points
      << ",\"bold\":" << (t.bold ? "true" : "false") << ",\"rgb\":" << t.rgb << "}";
}

}  // namespace

std::string numbersAsJson() {
  std::ostringstream out;
  out << "{\"twipsPerPixel\":" << TwipsPerPixel;
  out << ",\"field\":{\"width\":" << frmCavewing::ScaleWidth
      << ",\"wideWidth\":" << frmCavewing::WideOuterWidth
      << ",\"height\":" << frmCavewing::ScaleHeight << "}";
  out << ",\"buttons\":{\"left\":" << frmCavewing::LeftButton
      << ",\"right\":" << frmCavewing::RightButton << ",\"middle\":" << frmCavewing::MiddleButton
      << "}";
  out << ",\"shift\":{\"shift\":" << frmCavewing::ShiftMask << ",\"ctrl\":" << frmCavewing::CtrlMask
      << ",\"alt\":" << frmCavewing::AltMask << "}";
  out << ",\"phases\":{";
  for (Phase p : {Phase::Ready, Phase::Flying, Phase::Paused, Phase::Crashed})
    out << (p == Phase::Ready ? "" : ",") << "\"" << nameOf(p) << "\":" << int(p);
  out << "}";
  // The page's own menu of the player's files is off whenever the game's File menu is.
  out << ",\"filesMenu\":\"mnuFile\"";
  // The help, which a touch screen's note goes beside.
  out << ",\"helpMenu\":\"mnuHow\"";
  out << ",\"touch\":{\"badgeHint\":\"" << DemoHintTouch << "\",\"standStillHint\":\""
      << StandStillHintTouch << "\"}";
  out << ",\"badge\":";
  text(out, Badge);
  out << ",\"badgeHint\":";
  text(out, BadgeHint);
  out << ",\"startNote\":";
  text(out, StartNote);
  out << ",\"ring\":{\"radius\":" << ReplayRing.radius << ",\"pen\":" << ReplayRing.pen
      << ",\"rgb\":" << ReplayRing.rgb << "}";
  out << ",\"ghost\":{\"opacity\":" << GhostOpacity << ",\"hiddenSetting\":\"" << GhostHiddenSetting
      << "\"}";
  const StandStillLook& s = StandStillBand;
  out << ",\"standStill\":{\"bandAlpha\":" << s.bandAlpha << ",\"title\":";
  text(out, s.title);
  out << ",\"hint\":";
  text(out, s.hint);
  // Its boxes placed on each field the page may have, by the field's width in twips.
  out << ",\"across\":{";
  for (const float width : {frmCavewing::ScaleWidth, frmCavewing::WideOuterWidth}) {
    const StandStillBoxes at = standStillAcross(width, frmCavewing::ScaleHeight);
    out << (width == frmCavewing::ScaleWidth ? "" : ",") << "\"" << width << "\":{\"band\":";
    box(out, at.band);
    out << ",\"title\":";
    box(out, at.title);
    out << ",\"hint\":";
    box(out, at.hint);
    out << "}";
  }
  out << "}}}";
  return out.str();
}

}  // namespace cabinet::kit
