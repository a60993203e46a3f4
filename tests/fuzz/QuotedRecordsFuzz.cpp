// SPDX-License-Identifier: MIT
// Fuzz target for the quoted-field records reader: any bytes at all must parse within the
// bounds, into fields that hold no line break, and what is written back must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "form/QuotedRecords.h"

namespace {

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "quoted records: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace records = form::records;
  constexpr std::size_t maxFields = 30;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto fields = records::parse(text, maxFields);
  require(fields.size() <= maxFields, "more fields than asked for");
  for (const auto& field : fields) {
    require(field.size() <= records::maxFieldBytes, "field longer than its bound");
    require(field.find_first_of("\r\n") == std::string::npos, "line break inside a field");
  }
  const auto again = records::parse(records::format(fields), maxFields);
  require(again.size() == fields.size(), "round trip changed the number of fields");
  for (std::size_t i = 0; i < fields.size(); ++i)
    require(again[i] == records::plainField(fields[i]), "round trip changed a field");
  return 0;
}
