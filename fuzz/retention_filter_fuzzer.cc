// The retention filter over a rendered report, for a row of each kind the
// filter tells apart: a retention complement type, a Null type, and rows at
// their end. The report file goes to the scratch folder. The filter never
// raises.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/retention_filter.h"
#include "fuzz/fuzz_support.h"
#include "nerolin/recordset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const nerolin::fuzz::Input input = nerolin::fuzz::SplitInput(data, size);
  static const std::string destination =
      nerolin::fuzz::ScratchFolder() + "/pago.html";

  auto rows = nerolin::ado::Recordset::Create(nerolin::fuzz::DocumentRows());
  // The first row's type is 1, the second's Null.
  if (input.options & 0x01) rows->MoveNext();
  if (input.options & 0x02) rows->MoveLast(), rows->MoveNext();
  nerolin::engine::FilterRetentionComplements(std::string(input.text), rows,
                                              destination);
  return 0;
}
