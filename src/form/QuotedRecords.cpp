// Quoted-field text records: parsing and formatting of the fields, and the file side: bounded
// reading that never blocks on a strange file, and saving by write-beside-and-rename so that a
// failed save never costs the old file.
#include "form/QuotedRecords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace form::records {

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Appends text[from, to) to `field`, up to the field's bound.
void appendBounded(std::string& field, std::string_view text, std::size_t from, std::size_t to) {
  if (field.size() >= maxFieldBytes) return;
  field.append(text.substr(from, std::min(to - from, maxFieldBytes - field.size())));
}

// Writes all of `data` to `fd`; false (with errno set) when the disk refuses part of it.
bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced is no reason to fail.
void syncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A field written as a plain decimal number (an optional sign, digits, an optional fraction) in
// its decimal form: no plus sign, no leading zeros, no trailing zeros in the fraction. Any other
// text stays as it is.
std::string decimalForm(std::string field) {
  std::string_view t = field;
  const bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  const std::size_t point = t.find('.');
  std::string_view whole = t.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : t.substr(point + 1);
  const auto allDigits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), isDigit);
  };
  if (whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
    return field;
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  std::string number = whole.empty() ? "0" : std::string(whole);
  if (!fraction.empty()) number += "." + std::string(fraction);
  return negative && number != "0" ? "-" + number : number;
}

}  // namespace

std::vector<std::string> parse(std::string_view text, std::size_t maxFields) {
  std::vector<std::string> fields;
  // Some editors start a file with a byte order mark: it is not part of the first name.
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
    text.remove_prefix(byteOrderMark.size());
  std::size_t p = 0;
  const std::size_t n = text.size();
  while (p < n && fields.size() < maxFields) {
    while (p < n && isBlank(text[p])) ++p;
    std::string field;
    if (p < n && text[p] == '"') {
      const std::size_t start = ++p;
      while (p < n && text[p] != '"' && !isLineEnd(text[p])) ++p;
      appendBounded(field, text, start, p);
      if (p < n && text[p] == '"') ++p;
      while (p < n && text[p] != ',' && !isLineEnd(text[p])) ++p;
    } else {
      const std::size_t start = p;
      while (p < n && text[p] != ',' && !isLineEnd(text[p])) ++p;
      std::size_t end = p;
      while (end > start && isBlank(text[end - 1])) --end;
      appendBounded(field, text, start, end);
      field = decimalForm(std::move(field));
      field.resize(std::min(field.size(), maxFieldBytes));  // ".5" grows by its leading zero
    }
    fields.push_back(std::move(field));
    if (p < n && text[p] == ',') {
      ++p;
    } else if (p < n && text[p] == '\r') {
      ++p;
      if (p < n && text[p] == '\n') ++p;
    } else if (p < n) {
      ++p;  // '\n'
    }
  }
  return fields;
}

std::string plainField(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"')
      plain += '\'';
    else if (byte >= 0x20 && byte != 0x7f)
      plain += c;
  }
  return plain;
}

std::string format(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) {
    text += '"';
    text += plainField(field);
    text += "\"\r\n";
  }
  return text;
}

std::optional<std::vector<std::string>> readFile(const std::string& path, std::size_t maxFields,
                                                 std::string& error) {
  // Non-blocking, so that a pipe in the file's place cannot hang the game.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = systemError("cannot open " + path);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  text.resize(maxFileBytes);
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = systemError("cannot read " + path);
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(got);
  return parse(text, maxFields);
}

bool touchFile(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = systemError("cannot create " + path);
    return false;
  }
  ::close(fd);
  return true;
}

bool writeFile(const std::string& path, const std::vector<std::string>& fields,
               std::string& error) {
  return replaceFile(path, format(fields), error);
}

bool replaceFile(const std::string& path, const std::string& contents, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path);
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    error = systemError(target.string() + " is not writable");
    return false;
  }

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = systemError("cannot write in " + folder.string());
    return false;
  }
  const auto fail = [&](const std::string& what) {
    error = systemError(what);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  };
  // The new file keeps the old one's permissions; a first one is readable by all.
  if (::fchmod(fd, exists ? (old.st_mode & 07777) : 0644) != 0)
    return fail("cannot set permissions of " + temp);
  if (!writeAll(fd, contents)) return fail("cannot write " + temp);
  if (::fsync(fd) != 0) return fail("cannot flush " + temp);
  if (::close(fd) != 0) {
    error = systemError("cannot close " + temp);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    error = systemError("cannot replace " + target.string());
    ::unlink(temp.c_str());
    return false;
  }
  syncFolder(folder);
  return true;
}

}  // namespace form::records
