#pragma once

#include <memory>
#include <string>

#include "component/component_state.h"
#include "nerolin/recordset.h"

namespace nerolin::engine {

// Keeps in a rendered report only the retention-complement blocks (elements
// named "complementretention", whose id is a retention complement type) of
// the current row's RetentionComplementTypeID, writes the result to the
// report file `destination_file` and returns it. The text comes back as the
// markup of its root element (a document type line and whatever else stands
// outside it goes) with the legacy "-ms-word-break: break-all;" style
// written as "word-break: break-all". A Null type removes no block. A report
// without blocks keeps its root as written when it is written whole (see
// platform::RootElementAsWritten); otherwise the markup is the HTML
// document's serialisation.
//
// Returns `html` unchanged, without touching the file, when `rst` is at its
// end, and when anything fails: an id that is no number, a recordset that
// is missing or closed, a report with blocks over rows without a
// RetentionComplementTypeID field, a file that cannot be written whole (the
// earlier report there then stays whole, see platform::WriteReportFile, and
// `state`, the process-wide one unless given, is told). A failure is
// reported to the diagnostics channel of `state` as a skipped step. Never
// raises.
std::string FilterRetentionComplements(
    const std::string& html, const std::shared_ptr<ado::Recordset>& rst,
    const std::string& destination_file,
    const ComponentState& state = *ComponentState::Process());

}  // namespace nerolin::engine
