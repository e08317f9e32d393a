// The Jet SQL rewrite over any text, for each dialect: the options byte
// picks the dialect (its two low bits: 0 or 3 SQLite, 1 PostgreSQL, 2 SQL
// Server) and whether the catalog's name spellings are at hand (bit 2). It
// never raises; a text that is no statement comes back as it is.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "hostlib/jet/jet_sql.h"

namespace {

using nerolin::jet::Dialect;

const nerolin::jet::NameSpellings& Catalog() {
  static const nerolin::jet::NameSpellings catalog = {
      {"a", "A"}, {"key", "Key"}, {"value", "Value"}, {"t", "docDocument"}};
  return catalog;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const nerolin::fuzz::Input input = nerolin::fuzz::SplitInput(data, size);
  const Dialect dialect = static_cast<Dialect>((input.options & 3) % 3);
  const bool with_catalog = (input.options & 4) != 0;
  const std::string rewritten = nerolin::jet::RewriteJetSql(
      input.text, dialect, with_catalog ? &Catalog() : nullptr);
  // Each rewrite grows the text by a bounded amount per byte at most. For
  // SQLite: "&" becomes "||", a TOP n moves to " LIMIT n", a date literal
  // takes at most the room of its text plus a time. For a server, a call
  // of Jet's Val in six bytes takes the most, about 130; every argument
  // is written once.
  const std::size_t per_byte = dialect == Dialect::kSqlite ? 4 : 32;
  if (rewritten.size() > per_byte * input.text.size() + 64) std::abort();
  return 0;
}
