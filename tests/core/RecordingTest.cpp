// The recorded-game format: what is written reads back the same; what is damaged is refused.
#include <gtest/gtest.h>

#include <sstream>

#include "replay/Recording.h"

namespace {

using cabinet::Event;
using Kind = cabinet::Event::Kind;

replay::Recording sample() {
  replay::Recording r;
  r.seed = 18446744073709551615u;
  r.wide = true;
  r.player = "JANE \"JJ\" DOE\\";
  auto ev = [&](std::int64_t grid, Kind kind) -> Event& {
    r.events.push_back(Event{});
    r.events.back().grid = grid;
    r.events.back().kind = kind;
    return r.events.back();
  };
  ev(3, Kind::Start);
  auto& down = ev(10, Kind::Down);
  down.button = 1;
  down.x = 1234.5f;
  down.y = 0.1f;  // needs all its digits to come back the same
  auto& up = ev(10, Kind::Up);
  up.onCopter = true;
  up.button = 1;
  up.shift = 2;
  up.x = -60;
  up.y = 10829;
  ev(11, Kind::Release);
  ev(12, Kind::DblClick);
  auto& keyDown = ev(20, Kind::KeyDown);
  keyDown.code = 115;
  keyDown.shift = 4;
  ev(20, Kind::KeyPress).code = 27;
  ev(30, Kind::Menu).name = "mnuScores";
  auto& label = ev(31, Kind::Label);
  label.name = "lblName";
  label.code = 15;
  ev(99, Kind::Close);
  r.endGrid = 120;
  return r;
}

std::string text(const replay::Recording& r) {
  std::ostringstream out;
  replay::write(out, r);
  return out.str();
}

replay::ReadResult parse(const std::string& s) {
  std::istringstream in(s);
  return replay::read(in);
}

TEST(Recording, RoundTripsEveryKindOfEvent) {
  const auto r = sample();
  const auto back = parse(text(r));
  ASSERT_TRUE(back.recording) << back.error;
  EXPECT_EQ(*back.recording, r);
}

TEST(Recording, ReadsCrLfLinesAndComments) {
  std::string s = text(sample());
  std::string crlf;
  for (char c : s) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.insert(crlf.find("events"), "# a note from a bug report\r\n");
  const auto back = parse(crlf);
  ASSERT_TRUE(back.recording) << back.error;
  EXPECT_EQ(*back.recording, sample());
}

TEST(Recording, RefusesWhatItCannotReplayWithAClearMessage) {
  const std::string good = text(sample());
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  static const char garbage[] = "cavewing-replay 1\n\x01\x02\xff\xfe garbage\0\n";
  const struct {
    std::string file, says;
  } cases[] = {
      {"", "not a Cavewing recording"},
      {good.substr(0, good.find("30 menu")), "without 'end'"},
      {good.substr(0, good.find("30 menu") + 4), "unknown event 'm'"},
      {replaced("cavewing-replay 1", "cavewing-replay 2"), "version 2 cannot be replayed"},
      {replaced("generator splitmix64", "generator mt19937"), "generator"},
      {replaced("system-tick-us 15625", "system-tick-us 0"), "system-tick-us"},
      {replaced("20 keypress", "2 keypress"), "out of order"},
      {replaced("10 down", "99999999999999999999999 down"), "GRID KIND"},
      {replaced("form 1 0 1234.5", "form 1 0 1e39"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 nan"), "bad event"},
      {replaced("keypress 27", "keypress 2700"), "bad event"},
      {replaced("menu mnuScores", "menu mnuSelfDestruct"), "bad event"},
      {replaced("label lblName 15", "label lblName 16"), "bad event"},
      {replaced("99 close", "99 teleport"), "unknown event 'teleport'"},
      {replaced("player \"JANE \\\"JJ\\\" DOE\\\\\"", "player \"JANE"), "quote"},
      {good + "99 start\n", "after 'end'"},
      {replaced("end 120", "end"), "expected 'end GRID'"},
      {replaced("end 120", "end 98"), "ends before its last event"},
      {replaced("end 120", "end 5529601"), "longer than a day"},
      {std::string(garbage, sizeof garbage - 1), "control character"},
      {"cavewing-replay 1\n" + std::string(100000, 'x') + "\n", "line too long"},
  };
  ASSERT_NE(good.find("player \"JANE \\\"JJ\\\" DOE\\\\\""), std::string::npos) << good;
  for (const auto& c : cases) {
    const auto result = parse(c.file);
    EXPECT_FALSE(result.recording) << c.says;
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(result.error.rfind("line ", 0), 0u) << result.error;
  }
}

}  // namespace
