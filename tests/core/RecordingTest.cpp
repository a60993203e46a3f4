// SPDX-License-Identifier: MIT
// The recorded-game format: what is written reads back the same; what is damaged is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale>
#include <random>
#include <sstream>

#include "form/QuotedRecords.h"
#include "replay/Recording.h"

namespace {

using replay::Event;
using Kind = replay::Event::Kind;

replay::Recording sample() {
  replay::Recording r;
  r.seed = 18446744073709551615u;
  r.outerWidth = 28815.5f;  // a window resized wide, frame and all
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

// Read both ways, from memory and as a stream: the two never differ.
replay::ReadResult parse(const std::string& s) {
  std::istringstream in(s);
  const replay::ReadResult streamed = replay::read(in);
  replay::ReadResult inPlace = replay::read(std::string_view(s));
  EXPECT_EQ(inPlace.error, streamed.error);
  EXPECT_EQ(inPlace.recording, streamed.recording);
  return inPlace;
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
  static const char garbage[] = "cavewing-replay 2\n\x01\x02\xff\xfe garbage\0\n";
  const struct {
    std::string file, says;
  } cases[] = {
      {"", "not a Cavewing recording"},
      {good.substr(0, good.find("30 menu")), "without 'end'"},
      {good.substr(0, good.find("30 menu") + 4), "unknown event 'm'"},
      {replaced("cavewing-replay 2", "cavewing-replay 3"), "version 3 cannot be replayed"},
      {replaced("outer-width 28815.5", "outer-width -1"), "outer-width"},
      {replaced("outer-width 28815.5", "wide 1"), "outer-width"},
      {replaced("generator splitmix64", "generator mt19937"), "generator"},
      {replaced("system-tick-us 15625", "system-tick-us 0"), "system-tick-us"},
      {replaced("20 keypress", "2 keypress"), "out of order"},
      {replaced("10 down", "99999999999999999999999 down"), "GRID KIND"},
      {replaced("form 1 0 1234.5", "form 1 0 1e39"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 nan"), "bad event"},
      // Numbers that one platform's library reads and another's refuses are refused everywhere.
      {replaced("form 1 0 1234.5", "form 1 0 1e-50"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 1e-40"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 0x10"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 +5"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 1e"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 ."), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 1.5.2"), "bad event"},
      {replaced("form 1 0 1234.5", "form 1 0 inf"), "bad event"},
      {replaced("keypress 27", "keypress 2700"), "bad event"},
      {replaced("menu mnuScores", "menu mnuSelfDestruct"), "bad event"},
      {replaced("label lblName 15", "label lblName 16"), "bad event"},
      {replaced("label lblName 15", "label lblNames 15"), "bad event"},
      {replaced("99 close", "99 teleport"), "unknown event 'teleport'"},
      {replaced("player \"JANE \\\"JJ\\\" DOE\\\\\"", "player \"JANE"), "quote"},
      {good + "99 start\n", "after 'end'"},
      {replaced("end 120", "end"), "expected 'end GRID'"},
      {replaced("end 120", "end 98"), "ends before its last event"},
      {replaced("end 120", "end 5529601"), "longer than a day"},
      {std::string(garbage, sizeof garbage - 1), "control character"},
      {"cavewing-replay 2\n" + std::string(100000, 'x') + "\n", "line too long"},
  };
  ASSERT_NE(good.find("player \"JANE \\\"JJ\\\" DOE\\\\\""), std::string::npos) << good;
  for (const auto& c : cases) {
    const auto result = parse(c.file);
    EXPECT_FALSE(result.recording) << c.says;
    EXPECT_NE(result.error.find(c.says), std::string::npos) << result.error;
    EXPECT_EQ(result.error.rfind("line ", 0), 0u) << result.error;
  }
}

// Each header value is read up to its bound and refused just past it. Keeps out: a window of no
// width replayed, and a recording ending before grid point 0 was read.
TEST(Recording, HeaderValuesAreReadToTheirBoundsAndRefusedPastThem) {
  const std::string good = text(sample());
  auto with = [&](std::vector<std::pair<std::string, std::string>> changes) {
    std::string s = good;
    for (const auto& [from, to] : changes) s.replace(s.find(from), from.size(), to);
    return s;
  };
  const auto noEvents = [&](const std::string& end) {
    return good.substr(0, good.find("events\n") + 7) + end + "\n";
  };
  const struct {
    std::string file;
    bool read;
  } cases[] = {
      {with({{"cavewing-replay 2", "cavewing-replay 0"}}), false},
      {with({{"system-tick-us 15625", "system-tick-us 1000"}}), true},
      {with({{"system-tick-us 15625", "system-tick-us 999"}}), false},
      {with({{"system-tick-us 15625", "system-tick-us 1000000"}, {"end 120", "end 86400"}}), true},
      {with({{"system-tick-us 15625", "system-tick-us 1000000"}, {"end 120", "end 86401"}}), false},
      {with({{"system-tick-us 15625", "system-tick-us 1000001"}}), false},
      {with({{"outer-width 28815.5", "outer-width 1"}}), true},
      {with({{"outer-width 28815.5", "outer-width 0"}}), false},
      {with({{"outer-width 28815.5", "outer-width -0"}}), false},
      {with({{"outer-width 28815.5", "outer-width 10000000"}}), true},
      {with({{"outer-width 28815.5", "outer-width 10000001"}}), false},
      {with({{"end 120", "end 99"}}), true},
      {with({{"end 120", "end 5529600"}}), true},
      {noEvents("end 0"), true},
      {noEvents("end -1"), false},
  };
  for (const auto& c : cases) {
    const auto result = parse(c.file);
    EXPECT_EQ(result.recording.has_value(), c.read) << c.file << result.error;
  }
}

// Keeps out: recordings made before the outer width was stored stopped playing.
TEST(Recording, VersionOneStillReadsWithTheNormalOrTheWideWidth) {
  for (const bool wide : {false, true}) {
    const auto back = parse(std::string("cavewing-replay 1\nsystem-tick-us 15625\n") +
                            "generator splitmix64 7\nwide " + (wide ? "1" : "0") +
                            "\nplayer \"PILOT\"\nevents\n2 start\nend 9\n");
    ASSERT_TRUE(back.recording) << back.error;
    EXPECT_EQ(back.recording->outerWidth, wide ? 19290 : 15360);
    EXPECT_EQ(back.recording->wide(), wide);
  }
  EXPECT_FALSE(parse("cavewing-replay 1\nsystem-tick-us 15625\ngenerator splitmix64 7\n"
                     "outer-width 15360\nplayer \"P\"\nevents\nend 9\n")
                   .recording);
}

// A decimal comma where the program's locale has one.
struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(Recording, ReadsTwipsInEveryWayTheyAreWrittenWhateverTheLocale) {
  const std::string s = text(sample());
  struct CommaLocale {
    std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    ~CommaLocale() { std::locale::global(before); }
  } commaLocale;
  const std::pair<const char*, float> numbers[] = {
      {"1234.5", 1234.5f},
      {"-0", 0.0f},
      {".5", 0.5f},
      {"5.", 5.0f},
      {"1e3", 1000.0f},
      {"2.5E-3", 0.0025f},
      {"0.000", 0.0f},
      {"1.00000001e-05", 1.00000001e-05f},
      // The smallest float every platform's library reads alike (1e-40 is refused).
      {"1.17549435e-38", std::numeric_limits<float>::min()}};
  for (const auto& [written, value] : numbers) {
    std::string file = s;
    file.replace(file.find("1234.5"), 6, written);
    const auto back = parse(file);
    ASSERT_TRUE(back.recording) << written << ": " << back.error;
    EXPECT_EQ(back.recording->events[1].x, value) << written;
  }
}

// The bounds on a line and on the whole text hold to the byte, whichever a line breaks first.
TEST(Recording, LineAndSizeBoundsHoldToTheByte) {
  const std::string good = text(sample());
  const std::size_t longest = 2 * form::records::maxFieldBytes + 64;
  const std::string head = good.substr(0, good.find("events\n") + 7);
  // Comment lines of `bytes` in all, newlines included.
  const auto comments = [&](std::size_t bytes) {
    std::string out;
    for (std::size_t line; bytes > 0; bytes -= line) {
      line = std::min(bytes, longest + 1);
      out += line == 1 ? "\n" : "#" + std::string(line - 2, 'x') + "\n";
    }
    return out;
  };
  const auto comment = [&](std::size_t length) {
    return parse(head + "#" + std::string(length - 1, 'x') + "\nend 0\n");
  };
  EXPECT_TRUE(comment(longest).recording);
  EXPECT_NE(comment(longest + 1).error.find("line too long"), std::string::npos);

  const std::size_t size = replay::Recording::maxBytes;
  const std::string fits = head + comments(size - head.size() - 6) + "end 0\n";
  ASSERT_EQ(fits.size(), size);
  EXPECT_TRUE(parse(fits).recording);
  EXPECT_NE(parse(fits + "\n").error.find("larger than"), std::string::npos);
  // A line too long that also reaches past the size: the bound it breaks at its first byte wins,
  // the size at a tie.
  const auto lastLine = [&](std::size_t room, std::size_t length) {
    return parse(head + comments(size - head.size() - room) + std::string(length, 'x')).error;
  };
  EXPECT_NE(lastLine(longest + 1, longest + 9).find("line too long"), std::string::npos);
  EXPECT_NE(lastLine(longest, longest + 9).find("larger than"), std::string::npos);
}

// Twips read exactly as the C library rounds them, short or long, in every written form.
TEST(Recording, ReadsEveryDecimalAsTheLibraryRoundsIt) {
  std::mt19937_64 random(20261209);
  std::vector<std::string> numbers = {
      "16777216", "16777217", "16777218", "1677721.7", "0.1",     "9999999",    "0.0000000001",
      "1e-10",    "1e-11",    "123e4",    "5E-1",      "-7620.5", "99999.99e2", "0.30000001"};
  for (int i = 0; i < 20000; ++i) {
    std::ostringstream written;
    written.imbue(std::locale::classic());
    written.precision(9);
    const std::uint64_t bits = random();
    if (i % 2 == 0) {
      // As the writer writes a float.
      written << std::ldexp(static_cast<float>(bits % 20'000'000) - 1e7f,
                            -static_cast<int>((bits >> 32) % 40));
    } else {
      // As a person might: a few digits, a point anywhere, an exponent now and then.
      std::string digits = std::to_string(bits % 1'000'000'000 >> (bits >> 40) % 30);
      digits.insert((bits >> 50) % (digits.size() + 1), ".");
      written << (bits >> 63 ? "-" : "") << digits;
      if ((bits >> 56) % 4 == 0) written << "e" << static_cast<int>((bits >> 58) % 24) - 14;
    }
    numbers.push_back(written.str());
  }
  // Only what the reader takes: a width within ten million twips.
  std::erase_if(numbers, [](const std::string& n) {
    return std::fabs(std::strtof(n.c_str(), nullptr)) > 1e7f;
  });
  std::string file = text(sample()), events;
  file.erase(file.find("events\n") + 7);
  for (const auto& n : numbers) events += "1 down form 1 0 " + n + " 0\n";
  ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  const auto back = parse(file + events + "end 1\n");
  ASSERT_TRUE(back.recording) << back.error;
  for (std::size_t i = 0; i < numbers.size(); ++i)
    EXPECT_EQ(back.recording->events[i].x, std::strtof(numbers[i].c_str(), nullptr)) << numbers[i];
}

}  // namespace
