#include "engine/retention_filter.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "automation/conversions.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "platform/html_document.h"
#include "platform/text_search.h"

namespace nerolin::engine {

namespace {

constexpr std::string_view kBlockName = "complementretention";
constexpr std::string_view kTypeField = "RetentionComplementTypeID";
constexpr std::string_view kLegacyWordBreak = "-ms-word-break: break-all;";
constexpr std::string_view kWordBreak = "word-break: break-all";

// The root's markup with the word-break style of today.
std::string WithTodaysWordBreak(std::string root) {
  platform::ReplaceAll(root, kLegacyWordBreak, kWordBreak);
  return root;
}

// The markup of the report's root element without the blocks of other
// types, with the word-break style of today.
std::string CleanedRoot(const std::string& html, ado::Recordset& rst) {
  // A report that holds no block and whose root is written whole keeps
  // that root as written: parsing it would only normalise its markup, and
  // the parse is most of the work on a long invoice.
  if (!platform::MayHoldElementNamed(html, kBlockName)) {
    if (const auto root = platform::RootElementAsWritten(html)) {
      return WithTodaysWordBreak(std::string(*root));
    }
  }
  platform::HtmlDocument document(html);
  // Each block is looked at, also those inside a block already removed.
  for (const auto block : document.ElementsByName(kBlockName)) {
    const std::int32_t id =
        CLng(Variant(document.Attribute(block, "id").value_or("")));
    bool has_null = false;
    const int order =
        Compare(rst.Value(Variant(kTypeField)), Variant(id), &has_null);
    if (!has_null && order != 0) document.Remove(block);
  }
  return WithTodaysWordBreak(document.RootOuterHtml());
}

std::string Filter(const std::string& html, ado::Recordset& rst,
                   const std::string& destination_file,
                   const ComponentState& state) {
  if (rst.Eof()) return html;
  std::string cleaned = CleanedRoot(html, rst);
  WriteReportFile(state, destination_file, cleaned);
  return cleaned;
}

}  // namespace

std::string FilterRetentionComplements(
    const std::string& html, const std::shared_ptr<ado::Recordset>& rst,
    const std::string& destination_file, const ComponentState& state) {
  if (!rst) return html;
  try {
    return Filter(html, *rst, destination_file, state);
  } catch (...) {
    // Whatever failed, the report stays as it was rendered.
    if (state.diagnostics_wanted()) {
      state.Diagnose(
          DiagnosticKind::kStepSkipped, "FilterRetentionComplements",
          AsAutomationError(std::current_exception(), kComponentName).what());
    }
    return html;
  }
}

}  // namespace nerolin::engine
