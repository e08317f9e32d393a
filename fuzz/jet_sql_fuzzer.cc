// The Jet SQL rewrite over any text. It never raises; a text that is no
// statement comes back as it is.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hostlib/jet/jet_sql.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  const std::string rewritten = nerolin::jet::RewriteJetSql(sql);
  // Each rewrite grows the text by a bounded amount per byte at most
  // ("&" becomes "||", a TOP n moves to " LIMIT n", a date literal takes
  // at most the room of its text plus a time).
  if (rewritten.size() > 4 * size + 64) std::abort();
  return 0;
}
