#include "fields/extra_details.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "fiscal/statement_text.h"
#include "hostlib/host_library.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "platform/files.h"
#include "platform/text_search.h"

namespace nerolin::fields {
namespace {

constexpr std::size_t kNone = std::string::npos;

constexpr std::string_view kAttribute = kExtraDetailAttribute;
// Goods of a transfer voucher all belong to the same row: while such an
// element waits, the main recordset stays where it is.
constexpr std::string_view kTransportAttribute =
    "name=\"extradetail\" title=\"vwVADTransportMercancia\"";
constexpr std::string_view kSpanEnd = kExtraDetailSpanEnd;
constexpr std::string_view kRemoveOpen = "<Remove>";
constexpr std::string_view kRemoveClose = "</Remove>";
constexpr std::string_view kEmptyClosingTag = "</>";
constexpr std::string_view kEmptyTag = "<>";
constexpr std::string_view kOldWordBreak = "-ms-word-break: break-all;";
constexpr std::string_view kWordBreak = "word-break: break-all";

// Tidying markers are at most this long; a marker can start that many bytes
// minus one before a place where the text changed.
constexpr std::size_t kLongestMarker = kRemoveOpen.size();

// `pos - n`, or 0 when that would go below the start of the text.
std::size_t Before(std::size_t pos, std::size_t n) {
  return pos > n ? pos - n : 0;
}

// Bytes of the character that starts at `at`: a whole UTF-8 sequence, so
// that taking "one character" never splits a letter; 1 for a stray byte, 0
// at the end of the text.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  if (at >= text.size()) return 0;
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead < 0xC0   ? 1
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF8 ? 4
                                           : 1;
  if (at + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Cuts removal blocks: while the text holds a "<Remove>" and a "</Remove>"
// after it, the first "<Remove>" through the first "</Remove>" after it and
// the one character that follows go. Done in one pass over the text: the
// kept text is compacted in place, and after each cut the search looks
// across the joint, where the cut may have put a new "<Remove>" together.
// REQUIRES: no "<Remove>" starts before `from`.
// Returns where the first cut was (kNone when none); `*unpaired` is where a
// "<Remove>" without a later "</Remove>" stays (kNone when none).
std::size_t CutRemovalBlocks(std::string& text, std::size_t from,
                             std::size_t* unpaired) {
  *unpaired = kNone;
  std::size_t first_cut = kNone;
  // text[0, kept) is the result so far, text[next, size) is still to read.
  std::size_t kept = from;
  std::size_t next = from;
  auto keep_up_to = [&](std::size_t end) {
    std::memmove(text.data() + kept, text.data() + next, end - next);
    kept += end - next;
    next = end;
  };
  // Every cut moves `next` forward, so the loop ends by the end of the text.
  for (;;) {
    std::size_t open = kNone;        // in the result
    std::size_t after_open = kNone;  // in the text still to read
    if (kept < next) {
      const std::size_t tail = std::min(kept, kRemoveOpen.size() - 1);
      std::string joint = text.substr(kept - tail, tail);
      joint.append(text, next, kRemoveOpen.size() - 1);
      const std::size_t hit = joint.find(kRemoveOpen);
      if (hit != kNone && hit < tail) {
        open = kept - tail + hit;
        after_open = next + (hit + kRemoveOpen.size() - tail);
      }
    }
    if (open == kNone) {
      const std::size_t found = platform::FindText(text, kRemoveOpen, next);
      if (found == kNone) break;
      keep_up_to(found);
      open = kept;
      after_open = found + kRemoveOpen.size();
    }
    const std::size_t close =
        platform::FindText(text, kRemoveClose, after_open);
    if (close == kNone) {
      *unpaired = open;
      break;
    }
    const std::size_t after_close = close + kRemoveClose.size();
    first_cut = std::min(first_cut, open);
    kept = open;
    next = after_close + CharacterLength(text, after_close);
  }
  keep_up_to(text.size());
  text.resize(kept);
  return first_cut;
}

// The text between the first double quote after the first `key` and the
// next double quote; "" when the key or either quote is missing.
std::string QuotedValue(std::string_view element, std::string_view key) {
  const std::size_t at = element.find(key);
  if (at == kNone) return {};
  const std::size_t open = element.find('"', at + key.size());
  if (open == kNone) return {};
  const std::size_t close = element.find('"', open + 1);
  if (close == kNone) return {};
  return std::string(element.substr(open + 1, close - open - 1));
}

struct Element {
  std::string text;
  std::string id;
  std::string name;
  std::string title;
  std::string template_name;
};

Element ReadElement(std::string text) {
  Element element;
  element.id = QuotedValue(text, "id=");
  element.name = QuotedValue(text, "name=");
  element.title = QuotedValue(text, "title=");
  element.template_name = ExtraDetailTemplateName(text);
  element.text = std::move(text);
  return element;
}

// One run over one report text. Every member raises on failure; the caller
// turns a failure into "the text reached".
class ExtraDetailRun {
 public:
  ExtraDetailRun(ReportEngine& engine, std::string& text,
                 std::string_view model_path,
                 const std::shared_ptr<ado::Recordset>& rst,
                 ExtraDetailMode mode, ExtraDetailBudget& budget)
      : engine_(engine),
        text_(text),
        model_path_(model_path),
        rst_(rst),
        mode_(mode),
        budget_(budget) {}

  // Replaces the elements in document order until none is left or a guard
  // stops the work (the remaining elements then stay in the text).
  void ReplaceElements();

  // The word-break rewrite and the report file.
  void Finish(const Variant& html_source_file);

 private:
  ado::Recordset& Main() const;
  std::size_t ElementStart(std::size_t attribute) const;
  std::string Render(const std::shared_ptr<ado::Recordset>& rst,
                     const Element& element, bool is_extra_detail,
                     std::string extra_detail_id);
  std::string TableSubReport(const Element& element);
  std::string RowSubReport(const Element& element);
  std::size_t Tidy();

  ReportEngine& engine_;
  std::string& text_;
  std::string_view model_path_;
  const std::shared_ptr<ado::Recordset>& rst_;
  ExtraDetailMode mode_;
  // Bounds all sub-report text put into the report: sub-reports that bring
  // elements back need not grow the text to make the work endless.
  ExtraDetailBudget& budget_;
  // No tidying marker starts before this position.
  std::size_t markers_from_ = 0;
};

void ExtraDetailRun::ReplaceElements() {
  std::size_t attribute = platform::FindText(text_, kAttribute, 0);
  while (attribute != kNone) {
    const std::size_t start = ElementStart(attribute);
    const std::size_t span = platform::FindText(text_, kSpanEnd, start);
    // Without its end the element cannot be replaced; leave it and finish.
    if (span == kNone) return;
    const std::size_t after_span = span + kSpanEnd.size();
    const std::size_t end = after_span + CharacterLength(text_, after_span);
    const Element element = ReadElement(text_.substr(start, end - start));

    const std::string sub_report =
        element.title.empty() ? RowSubReport(element) : TableSubReport(element);
    // Past the budget the remaining elements stay as they are.
    const std::size_t occurrences =
        platform::CountText(text_, element.text, start);
    if (!budget_.Take(occurrences * sub_report.size())) return;
    // No element text starts before `start`: it would hold an earlier
    // attribute. So the replacement of every occurrence begins there.
    const std::size_t replaced =
        platform::ReplaceAll(text_, element.text, sub_report, start);
    markers_from_ = std::min(markers_from_, Before(start, kLongestMarker));
    std::size_t changed = start;
    if (!element.title.empty()) changed = std::min(changed, Tidy());

    // A sub-report that brings its own element back would be replaced
    // again and again at the same place.
    if (replaced == 0 ||
        (start <= text_.size() &&
         text_.compare(start, element.text.size(), element.text) == 0)) {
      return;
    }

    // Nothing before the first change can have become an attribute.
    attribute = platform::FindText(text_, kAttribute,
                                   Before(changed, kAttribute.size()));
    if (attribute == kNone || mode_ == ExtraDetailMode::kSdk) continue;
    if (platform::FindText(text_, kTransportAttribute, attribute) != kNone)
      continue;
    ado::Recordset& main = Main();
    if (!main.Eof()) main.MoveNext();
  }
}

void ExtraDetailRun::Finish(const Variant& html_source_file) {
  platform::ReplaceAll(text_, kOldWordBreak, kWordBreak, 0);
  const std::string path = CStr(html_source_file);
  // No file to write: the write would only fail (bad file name), which
  // leaves the text as it is and writes nothing. GetHTML without a
  // destination comes here for every row.
  if (path.empty()) return;
  WriteReportFile(*engine_.state(), path, text_);
}

ado::Recordset& ExtraDetailRun::Main() const {
  if (!rst_) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the extra details have no "
                          "main recordset",
                          std::string(kComponentName));
  }
  return *rst_;
}

std::size_t ExtraDetailRun::ElementStart(std::size_t attribute) const {
  const std::size_t start =
      attribute == 0 ? kNone : text_.rfind('<', attribute - 1);
  if (start == kNone) {
    throw AutomationError(errors::kInvalidArgument,
                          "Invalid procedure call or argument: no \"<\" "
                          "before the extra-detail attribute at byte " +
                              std::to_string(attribute),
                          std::string(kComponentName));
  }
  return start;
}

std::string ExtraDetailRun::Render(const std::shared_ptr<ado::Recordset>& rst,
                                   const Element& element, bool is_extra_detail,
                                   std::string extra_detail_id) {
  const std::string template_path =
      platform::JoinPath(model_path_, element.template_name);
  const NestedReportScope nesting(*engine_.state(), template_path);
  const Variant source(template_path);
  const Variant destination{std::string()};
  const Variant result =
      mode_ == ExtraDetailMode::kSdk
          ? engine_.SDKGetHTMLBasedOnRecordset(rst, source, destination,
                                               is_extra_detail, extra_detail_id)
          : engine_.GetHTMLBasedOnRecordset(rst, source, destination,
                                            is_extra_detail, extra_detail_id);
  return CStr(result);
}

std::string ExtraDetailRun::TableSubReport(const Element& element) {
  ado::Recordset& main = Main();
  std::string sql = "SELECT * FROM [" + element.title + "] WHERE ID=" +
                    fiscal::SqlLiteral(TextOf(main.Value("ID")));
  hostlib::HostLibrary library = engine_.state()->Library();
  if (mode_ == ExtraDetailMode::kStandard) {
    // Related documents of a payment are narrowed to the paid invoice.
    const bool has_document =
        library.FieldExists("DR_IdDocumento", rst_).value_or(false);
    const bool has_folio =
        library.FieldExistsInTable("CFDIFolioFiscal", element.title)
            .value_or(false);
    if (has_document && has_folio) {
      const Variant document = main.Value("DR_IdDocumento");
      if (!document.IsNull()) {
        sql += " AND CFDIFolioFiscal = '" +
               fiscal::QuotedText(TextOf(document)) + "'";
      }
    }
  }
  const std::shared_ptr<ado::Recordset> rows = library.GetRecordset(sql);
  return Render(rows, element, false, {});
}

std::string ExtraDetailRun::RowSubReport(const Element& element) {
  return Render(rst_, element, element.name == "extradetail", element.id);
}

// Removal blocks, then every "</>", then every "<>", each pass starting
// where the text may hold a marker at all. Returns the first position that
// changed (kNone when none).
std::size_t ExtraDetailRun::Tidy() {
  markers_from_ = std::min(markers_from_, text_.size());
  std::size_t unpaired = kNone;
  const std::size_t cut = CutRemovalBlocks(text_, markers_from_, &unpaired);
  const std::size_t closing_from =
      Before(std::min(markers_from_, cut), kLongestMarker);
  const std::size_t closing =
      platform::RemoveAll(text_, kEmptyClosingTag, closing_from);
  const std::size_t empty = platform::RemoveAll(
      text_, kEmptyTag,
      Before(std::min(closing_from, closing), kLongestMarker));
  // What is left: an unpaired "<Remove>", and markers that a removal put
  // together across its joint.
  markers_from_ = unpaired;
  if (closing != kNone) {
    markers_from_ = std::min(markers_from_, Before(closing, kLongestMarker));
  }
  if (empty != kNone) {
    markers_from_ = std::min(markers_from_, Before(empty, kLongestMarker));
  }
  if (markers_from_ == kNone) markers_from_ = text_.size();
  return std::min({cut, closing, empty});
}

}  // namespace

std::string ExtraDetailTemplateName(std::string_view element) {
  const std::size_t first = element.find('>');
  if (first == kNone) return {};
  const std::size_t second = element.find('>', first + 1);
  constexpr std::size_t kClosingTag = 7;  // "</span>"
  if (second == kNone || second < first + 1 + kClosingTag) return {};
  return std::string(
      Trim(element.substr(first + 1, second - kClosingTag - first)));
}

void CreateExtraDetails(ReportEngine& engine, std::string& html_text,
                        std::string_view model_path,
                        const std::shared_ptr<ado::Recordset>& rst,
                        const Variant& html_source_file, ExtraDetailMode mode) {
  try {
    ExtraDetailBudget budget(*engine.state());
    // A sub-report's own extra details add to the budget of the report
    // they go into, not to its base.
    if (engine.state()->nesting_depth() == 0) {
      budget.AddReportText(html_text.size());
    }
    ExtraDetailRun run(engine, html_text, model_path, rst, mode, budget);
    run.ReplaceElements();
    run.Finish(html_source_file);
  } catch (...) {
    // Any failure ends the work where it stands: the text reached is the
    // result, and the report file is not written.
    const ComponentState& state = *engine.state();
    if (state.diagnostics_wanted()) {
      state.Diagnose(DiagnosticKind::kStepSkipped, "CreateExtraDetailsIfExists",
                     AsAutomationError(std::current_exception(), kComponentName)
                         .description());
    }
  }
}

}  // namespace nerolin::fields
