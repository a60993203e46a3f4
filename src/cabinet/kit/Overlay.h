// SPDX-License-Identifier: MIT
// What a front end paints over the form, and where, one geometry for every front end: the badge
// in the corner with its hint (or, on the player's start screen, its note), the ring where a
// replay's recorded player holds a button down, the stand-still's dark band with "PAUSED" and how
// to go on, and how the ghost's helicopter is seen. In logical pixels of the field, where a pixel
// is `TwipsPerPixel` twips; text sits at the top of its box.
#pragma once

namespace cabinet::kit {

// Twips to logical pixels: the field at 96 dots an inch.
inline constexpr float TwipsPerPixel = 15;

struct Box {
  float left, top, width, height;
};

// A row across the whole field, its top counted from the field's middle row.
struct Row {
  float top, height;
};

// A text of the kit's in its box: a Box on the field, or a Row across it.
template <class Where>
struct TextAt {
  const char* text;  // nullptr: the text of the moment (the badge's)
  Where box;
  const char* font;
  float points;
  bool bold;
  int rgb;  // 0xRRGGBB
};
using TextLook = TextAt<Box>;

inline constexpr int Yellow = 0xffff00, White = 0xffffff, Black = 0x000000;

inline constexpr const char* ReplayBadge = "REPLAY";
inline constexpr const char* DemoBadge = "DEMO";
inline constexpr const char* DemoHint = "click or press a key to play";
// The hints' words on a touch screen, where a tap is all there is.
inline constexpr const char* DemoHintTouch = "tap to play";
inline constexpr const char* StandStillHintTouch = "tap to go on";

// Black on the green ceiling the badge stands on: 15:1.
inline constexpr TextLook Badge{nullptr, {8, 4, 200, 24}, "Arial", 12, true, Black};
inline constexpr TextLook BadgeHint{nullptr, {8, 26, 400, 20}, "Arial", 9, false, Black};
// The start screen's note stands where a badge would: no badge is up on the player's start screen.
inline constexpr TextLook StartNote{nullptr, {8, 4, 600, 24}, "Arial", 12, true, Black};

struct RingLook {
  float radius, pen;
  int rgb;
};
inline constexpr RingLook ReplayRing{14, 3, Yellow};

// The ghost's helicopter: its picture, at its own size, seen through, over the cave and under the
// badge; one translucent picture a frame.
inline constexpr float GhostOpacity = 0.4f;

// The stand-still's band across the whole field, then "PAUSED", then how to go on, on it.
struct StandStillLook {
  Row band;
  int bandAlpha;  // of black over the field, out of 255
  TextAt<Row> title, hint;
};
inline constexpr StandStillLook StandStillBand{
    {-60, 120},
    190,
    {"PAUSED", {-50, 64}, "Arial", 36, true, Yellow},
    {"click or press a key", {14, 30}, "Arial", 14, false, White}};

// Where the stand-still's band and its texts are on a field `fieldWidthTwips` wide and
// `fieldHeightTwips` high: both front ends paint them there.
struct StandStillBoxes {
  Box band, title, hint;
};
constexpr StandStillBoxes standStillAcross(float fieldWidthTwips, float fieldHeightTwips) {
  const float middle = fieldHeightTwips / 2 / TwipsPerPixel;
  const auto across = [&](const Row& fromMiddle) {
    return Box{0, middle + fromMiddle.top, fieldWidthTwips / TwipsPerPixel, fromMiddle.height};
  };
  const StandStillLook& s = StandStillBand;
  return {across(s.band), across(s.title.box), across(s.hint.box)};
}

}  // namespace cabinet::kit
