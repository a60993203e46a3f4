// SPDX-License-Identifier: MIT
// Files of kept games: their text, each change read, made and written under the file's lock, and
// a file this reader does not know set aside rather than written over.
#include "cabinet/kit/ScoreServerKept.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "form/KeptFile.h"

namespace cabinet::kit {

namespace {

// A file that turns out unknown again and again (written by a newer game as fast as it is set
// aside) is given up after this many.
constexpr int SetAsideAtMost = 3;

// A whole number, nothing else.
template <typename T>
bool number(std::string_view text, T& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

struct Parsed {
  std::vector<KeptGame> games;
  std::string doubt;  // why the file is set aside; empty when it is known and whole
};

// Each game: "SITTING SHOWN BYTES[ WHY]\n", then its recording's bytes and a line end.
bool parseGame(std::string_view& text, KeptGame& game) {
  const auto eol = text.find('\n');
  if (eol == std::string_view::npos) return false;
  const std::string_view line = text.substr(0, eol);
  const auto first = line.find(' '), second = line.find(' ', first + 1);
  const auto third = second == std::string_view::npos ? second : line.find(' ', second + 1);
  std::size_t bytes = 0;
  game.sitting = line.substr(0, first);
  if (first == std::string_view::npos || second == std::string_view::npos ||
      !number(line.substr(first + 1, second - first - 1), game.shown) ||
      !number(line.substr(second + 1, third - second - 1), bytes) || !sittingId(game.sitting) ||
      game.shown < 0 || bytes >= text.size() - eol - 1 || text[eol + 1 + bytes] != '\n')
    return false;
  game.why = third == std::string_view::npos ? std::string() : std::string(line.substr(third + 1));
  game.recording = text.substr(eol + 1, bytes);
  text.remove_prefix(eol + 1 + bytes + 1);
  return true;
}

Parsed parse(std::string_view text, std::string_view header) {
  Parsed parsed;
  if (text.empty()) return parsed;  // a file just made
  if (text.substr(0, header.size()) != header) {
    parsed.doubt = "of a version this game does not read";
    return parsed;
  }
  text.remove_prefix(header.size());
  while (!text.empty()) {
    KeptGame game;
    if (!parseGame(text, game)) {
      parsed.doubt = "damaged (the games after the damage are not sent)";
      break;
    }
    parsed.games.push_back(std::move(game));
  }
  return parsed;
}

std::string format(const std::vector<KeptGame>& games, std::string_view header) {
  std::string text(header);
  for (const KeptGame& game : games)
    text += game.sitting + " " + std::to_string(game.shown) + " " +
            std::to_string(game.recording.size()) + (game.why.empty() ? "" : " " + game.why) +
            "\n" + game.recording + "\n";
  return text;
}

// A name beside `target` that nothing has: NAME.set-aside, NAME.set-aside-2, ...
std::optional<std::string> freeName(const std::string& target) {
  for (int n = 1; n <= 100; ++n) {
    const std::string name = target + ".set-aside" + (n > 1 ? "-" + std::to_string(n) : "");
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) return name;
  }
  return std::nullopt;
}

// Moves the file at `target` (whose lock is held) to a free name beside it, kept by the host
// there before anything is written in its place; false with `error` when it stays where it is.
bool setAside(const std::string& target, form::Host& host, std::string& aside, std::string& error) {
  const auto name = freeName(target);
  if (!name || ::rename(target.c_str(), name->c_str()) != 0) {
    error =
        "cannot set " + target + " aside" + (name ? ": " + std::string(std::strerror(errno)) : "");
    return false;
  }
  if (!host.Persist(*name, error)) {
    ::rename(name->c_str(), target.c_str());  // where it was, as the host still keeps it
    return false;
  }
  aside = *name;
  return true;
}

}  // namespace

bool sittingId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  for (const char c : id)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

GamesFile::Outcome GamesFile::update(form::Host& host, const std::vector<KeptGame>& fallback,
                                     GamesChange change) const {
  Outcome out;
  // Nothing to keep them in: the games go on in memory.
  const auto unkept = [&] {
    out.games = fallback;
    change(out.games);
    return out;
  };
  if (path_.empty()) return unkept();
  host.Refresh(path_);
  std::vector<KeptGame> salvaged;  // the games before a damage, from a file set aside
  for (int setAsideSoFar = 0;; ++setAsideSoFar) {
    form::KeptFile file(path_, maxBytes_);
    if (file.state() != form::KeptFile::State::Read) {
      out.games = fallback;
      const bool changed = change(out.games);
      return keep(host, file, std::move(out), changed);
    }
    Parsed parsed = parse(file.text(), header_);
    if (parsed.doubt.empty()) {
      out.read = std::move(salvaged);
      out.read->insert(out.read->end(), parsed.games.begin(), parsed.games.end());
      out.games = *out.read;
      // A new file in place of one set aside is written, whether or not anything changed.
      const bool changed = change(out.games) || setAsideSoFar > 0;
      return keep(host, file, std::move(out), changed);
    }
    std::string aside;
    if (setAsideSoFar == SetAsideAtMost) out.error = file.target() + " is " + parsed.doubt;
    if (!out.error.empty() || !setAside(file.target(), host, aside, out.error)) return unkept();
    out.notice += (out.notice.empty() ? "" : "; ") + file.target() + " is " + parsed.doubt +
                  ": it is set aside as " + aside + ", never written over";
    salvaged.insert(salvaged.end(), parsed.games.begin(), parsed.games.end());
  }
}

GamesFile::Outcome GamesFile::keep(form::Host& host, form::KeptFile& file, Outcome out,
                                   bool changed) const {
  if (!changed) {
    out.kept = out.read.has_value();
    return out;
  }
  if (!file.save(format(out.games, header_)))
    out.error = file.error();
  else
    out.kept = host.Persist(file.target(), out.error);
  return out;
}

}  // namespace cabinet::kit
