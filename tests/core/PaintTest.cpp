// SPDX-License-Identifier: MIT
// What a front end paints, and in which order: rectangles under pictures under labels, and
// nothing hidden.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "cabinet/Paint.h"

namespace {

struct Recorder : cabinet::Painter {
  std::string kinds;  // 'r', 'p', 'l' in the order painted
  std::vector<const void*> controls;
  void rectangle(const form::Shape& s) override { add('r', &s); }
  void picture(const form::Image& i) override { add('p', &i); }
  void label(const form::Label& l) override { add('l', &l); }
  void add(char kind, const void* control) {
    kinds += kind;
    controls.push_back(control);
  }
  bool painted(const void* control) const {
    return std::find(controls.begin(), controls.end(), control) != controls.end();
  }
};

TEST(Paint, RectanglesThenPicturesThenLabelsAndNothingHidden) {
  Game g;
  g.start();
  frmCavewing& f = g.form;
  f.lblScores[4].Visible = true;
  f.lblName[2].Visible = false;
  f.imgExplosion.Visible = true;
  f.imgExplosion.Picture = form::Picture::None;  // shown, but with no picture to draw
  Recorder r;
  cabinet::paint(f, r);
  EXPECT_TRUE(std::is_sorted(r.kinds.begin(), r.kinds.end(), [](char a, char b) {
    return std::string("rpl").find(a) < std::string("rpl").find(b);
  })) << r.kinds;
  EXPECT_TRUE(r.painted(&f.imgCopter));
  EXPECT_TRUE(r.painted(&f.lblScores[4]));
  EXPECT_FALSE(r.painted(&f.lblName[2]));
  EXPECT_FALSE(r.painted(&f.imgExplosion));
  EXPECT_FALSE(r.painted(&f.lblCRASH));  // hidden in flight
}

}  // namespace
