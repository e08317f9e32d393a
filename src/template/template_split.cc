#include "template/template_split.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "automation/vb_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/sum_fields.h"
#include "template/keyed_items.h"

namespace nerolin::tmpl {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

constexpr std::string_view kReportName = "Report";
constexpr std::string_view kDetailName = "DETAIL";
constexpr std::string_view kDetailPresence = "<DETAIL";
constexpr std::string_view kDetailOpen = "<DETAIL>";
constexpr std::string_view kDetailClose = "</DETAIL>";
constexpr std::string_view kSumMarker = "[SUM(";
constexpr std::string_view kFormatSumMarker = "[FORMAT(SUM(";

// Where a group tag's name starts, counted from the "<" of "<GROUPH": the
// tag word and the space after it.
constexpr std::int64_t kNameOffset = 8;

// How much of the template an error message quotes.
constexpr std::size_t kQuoteLength = 40;

// The two kinds of group block, which the split walks with the same loop.
struct BlockKind {
  std::string_view open;   // the tag word, "<GROUPH"
  std::string_view close;  // the closing tag up to the name, "</GROUPH "
  std::string_view what;   // for messages
  bool header;
};

constexpr BlockKind kHeaders{"<GROUPH", "</GROUPH ", "group header", true};
constexpr BlockKind kFooters{"<GROUPF", "</GROUPF ", "group footer", false};

std::string Quote(std::string_view text) {
  std::size_t length = std::min(text.size(), kQuoteLength);
  // Never cut a UTF-8 sequence in two.
  while (length < text.size() && length > 0 &&
         (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    --length;
  }
  std::string quoted = "\"";
  quoted += text.substr(0, length);
  if (length < text.size()) quoted += "...";
  quoted += "\"";
  return quoted;
}

std::string EmptyTextDescription(const BlockKind& kind, std::string_view name,
                                 std::string_view opening,
                                 std::string_view closing) {
  std::string description(StandardDescription(errors::kInvalidArgument));
  description += ": the ";
  description += kind.what;
  description += " \"";
  description += name;
  description += "\" (tag \"";
  description += opening;
  description += "\") has an empty text, so the next ";
  description += kind.what;
  description +=
      " cannot be looked for; check the tag for a doubled space or a space "
      "before \">\", and its closing tag \"";
  description += closing;
  description += "\"";
  return description;
}

[[noreturn]] void RaiseInvalidArgument(std::string_view detail) {
  RaiseWithDetail(errors::kInvalidArgument, detail);
}

// A text and its upper-cased twin. Upper-casing never changes a length, so
// an offset means the same place in both, and the template is folded once
// for the whole split instead of once per search.
struct Folded {
  std::string_view text;
  std::string_view upper;

  Folded Sub(std::size_t offset, std::size_t length = kNotFound) const {
    offset = std::min(offset, text.size());
    return {text.substr(offset, length), upper.substr(offset, length)};
  }
};

// The first `needle` at or after `from`, as InStr finds it: never in an
// empty text.
std::size_t FindFrom(std::string_view text, std::string_view needle,
                     std::size_t from) {
  if (text.empty()) return kNotFound;
  return text.find(needle, from);
}

// Repeated searches for one needle from positions that mostly grow: the
// last answer is reused while it is still the first at or after the new
// position, so a walk over the text scans it once however many times it
// asks.
class ForwardFinder {
 public:
  ForwardFinder(std::string_view text, std::string_view needle)
      : text_(text), needle_(needle) {}

  std::size_t Next(std::size_t from) {
    if (!searched_ || from < searched_from_ || from > found_) {
      searched_ = true;
      searched_from_ = from;
      found_ = FindFrom(text_, needle_, from);
    }
    return found_;
  }

 private:
  std::string_view text_;
  std::string_view needle_;
  bool searched_ = false;
  std::size_t searched_from_ = 0;
  std::size_t found_ = kNotFound;
};

struct Slice {
  std::size_t offset = 0;
  std::size_t length = 0;
};

// ExtractBetween over an already folded text.
Slice ExtractSlice(const Folded& text, std::string_view start,
                   std::string_view end) {
  const std::string upper_start = UCase(start);
  const std::string upper_end = UCase(end);
  const std::size_t s = FindFrom(text.upper, upper_start, 0);
  const std::size_t e = FindFrom(text.upper, upper_end, 0);
  if (s == kNotFound || e == kNotFound) return {};
  if (e < s + upper_start.size()) {
    RaiseInvalidArgument("the end marker \"" + std::string(end) +
                         "\" begins before the start marker \"" +
                         std::string(start) + "\" ends");
  }
  return {s + upper_start.size(), e - s - upper_start.size()};
}

class Splitter {
 public:
  Splitter(std::string_view text, OnEmptyGroupText policy)
      : upper_(UCase(text)), template_{text, upper_}, policy_(policy) {}

  SplitResult Run();

 private:
  void SplitGroups(const BlockKind& kind, std::size_t from);
  void RegisterSums(const Folded& block, const Section& section);
  std::shared_ptr<Section> SectionNamed(const std::string& name);

  std::string upper_;
  Folded template_;
  OnEmptyGroupText policy_;
  SplitResult result_;
  // The closing tag of the last block read; the report footer starts after
  // its first occurrence.
  std::string last_closing_tag_;
  bool has_closing_tag_ = false;
};

std::shared_ptr<Section> Splitter::SectionNamed(const std::string& name) {
  std::shared_ptr<Section> section = result_.sections.Item(name);
  return section ? section : result_.sections.Add(name, name);
}

SplitResult Splitter::Run() {
  const std::string_view text = template_.text;
  const std::string_view upper = template_.upper;

  // The report header ends where the first block starts. Only upper-case
  // tags count here; a template whose first block is written otherwise
  // gets the whole text as its header.
  const bool has_group_headers = upper.find(kHeaders.open) != kNotFound;
  std::size_t header_end = kNotFound;
  if (has_group_headers) {
    header_end = text.find(kHeaders.open);
  } else if (upper.find(kDetailPresence) != kNotFound) {
    header_end = text.find(kDetailPresence);
  }
  if (header_end == kNotFound) header_end = text.size();

  std::shared_ptr<Section> report =
      result_.sections.Add(std::string(kReportName), kReportName);
  report->SetName(std::string(kReportName));
  report->SetGroupType(kReportSection);
  report->SetTextHeader(std::string(text.substr(0, header_end)));

  if (has_group_headers) SplitGroups(kHeaders, header_end);

  if (std::size_t detail = upper.find(kDetailOpen); detail != kNotFound) {
    if (std::shared_ptr<Section> taken = result_.sections.Item(kDetailName)) {
      RaiseWithDetail(
          errors::kDuplicateKey,
          "the template has a group named \"" + taken->Name() +
              "\" and a detail block, whose section is called DETAIL");
    }
    std::shared_ptr<Section> section =
        result_.sections.Add(std::string(kDetailName), kDetailName);
    section->SetName(std::string(kDetailName));
    section->SetFieldGroup({});
    section->SetGroupType(kDetailSection);
    const Folded rest = template_.Sub(detail);
    const Slice body = ExtractSlice(rest, kDetailOpen, kDetailClose);
    section->SetTextHeader(
        std::string(rest.text.substr(body.offset, body.length)));
    last_closing_tag_ = kDetailClose;
    has_closing_tag_ = true;
  }

  if (upper.find(kFooters.open) != kNotFound) {
    const std::size_t first = text.find(kFooters.open);
    if (first == kNotFound) {
      RaiseInvalidArgument(
          "the template's group footer tags are not written \"<GROUPF\" in "
          "upper case");
    }
    SplitGroups(kFooters, first);
  }

  if (has_closing_tag_) {
    // The first occurrence counts, so that text after a repeated closing
    // tag stays in the footer. A closing tag that only appears in another
    // case is not found and the footer starts at its length.
    const std::size_t found = text.find(last_closing_tag_);
    const std::size_t footer_start = found == kNotFound
                                         ? last_closing_tag_.size() - 1
                                         : found + last_closing_tag_.size();
    std::shared_ptr<Section> footer_section =
        SectionNamed(std::string(kReportName));
    footer_section->SetName(std::string(kReportName));
    footer_section->SetFieldGroup({});
    footer_section->SetGroupType(kReportSection);
    footer_section->SetTextFooter(footer_start < text.size()
                                      ? std::string(text.substr(footer_start))
                                      : std::string());
  }
  return std::move(result_);
}

// Walks the group blocks of one kind from `from`, where the first tag of
// that kind starts. R (`rest`) is always the template from the tag being
// read on; positions inside it are counted from 1, as the tag rules are.
void Splitter::SplitGroups(const BlockKind& kind, std::size_t from) {
  ForwardFinder exact_tag(template_.text, kind.open);
  std::size_t rest_start = from;
  for (;;) {
    const Folded rest = template_.Sub(rest_start);

    // The tag as written in upper case; a tag in another case is missed
    // here and what follows fails or reads a tag further on.
    const std::size_t tag_found = exact_tag.Next(rest_start);
    const std::int64_t a =
        tag_found == kNotFound
            ? 0
            : static_cast<std::int64_t>(tag_found - rest_start + 1);
    const std::int64_t name_start = a + kNameOffset;
    const std::int64_t b = InStr(name_start, rest.text, " ");
    if (b == 0) {
      RaiseInvalidArgument(
          a == 0
              ? "the " + std::string(kind.what) + " tag " + Quote(rest.text) +
                    " is not written \"" + std::string(kind.open) +
                    "\" in upper case"
              : "the " + std::string(kind.what) + " tag " +
                    Quote(rest.text.substr(static_cast<std::size_t>(a - 1))) +
                    " has no space after the group name");
    }
    const std::string name(Trim(Mid(rest.text, name_start, b - name_start)));
    const std::int64_t c = InStr(b + 1, rest.text, ">");
    if (c == 0) {
      RaiseInvalidArgument("the " + std::string(kind.what) + " tag " +
                           Quote(rest.text) + " has no closing \">\"");
    }
    const std::string field(Trim(Mid(rest.text, b, c - b)));

    std::shared_ptr<Section> section = SectionNamed(name);
    section->SetName(name);
    section->SetFieldGroup(field);
    // The tag is looked up again in its rebuilt form: one space on each
    // side of the name, none before ">".
    std::string opening(kind.open);
    opening += ' ';
    opening += name;
    opening += ' ';
    opening += field;
    opening += '>';
    std::string closing(kind.close);
    closing += name;
    closing += '>';
    const Slice body = ExtractSlice(rest, opening, closing);
    const Folded block = rest.Sub(body.offset, body.length);
    if (kind.header) {
      section->SetTextHeader(std::string(block.text));
    } else {
      section->SetTextFooter(std::string(block.text));
    }
    section->SetGroupType(kGroupSection);
    RegisterSums(block, *section);

    // The next tag is looked for from the position equal to the block's
    // length. That start is never 1, where the tag just read would be found
    // again, and an empty block gives no start at all.
    std::size_t next = kNotFound;
    if (!block.text.empty()) {
      const std::size_t start = std::max<std::size_t>(block.text.size(), 2);
      next = FindFrom(rest.upper, kind.open, start - 1);
    } else if (policy_ == OnEmptyGroupText::kFail) {
      throw EmptyGroupTextError(
          EmptyTextDescription(kind, name, opening, closing));
    } else {
      const std::string upper_closing = UCase(closing);
      const std::size_t closed = FindFrom(rest.upper, upper_closing, 0);
      if (closed != kNotFound) {
        next = FindFrom(rest.upper, kind.open, closed + upper_closing.size());
      }
    }
    if (next == kNotFound) {
      last_closing_tag_ = closing;
      has_closing_tag_ = true;
      return;
    }
    // Each round starts further on, so the walk ends; this holds by the
    // starts chosen above and is checked because the loop has no other
    // bound.
    if (next == 0) {
      RaiseInvalidArgument("the " + std::string(kind.what) +
                           " walk did not move on at " + Quote(rest.text));
    }
    rest_start += next;
  }
}

// Registers a total for every "[SUM(" and "[FORMAT(SUM(" placeholder of a
// group text, named by the trimmed text up to the next ")".
void Splitter::RegisterSums(const Folded& block, const Section& section) {
  ForwardFinder sums(block.upper, kSumMarker);
  ForwardFinder formatted_sums(block.upper, kFormatSumMarker);
  ForwardFinder closes(block.text, ")");
  // The 1-based position just after the last marker; the next marker is
  // looked for after it, so every round moves on.
  std::size_t after_marker = 0;
  for (;;) {
    const std::size_t sum = sums.Next(after_marker);
    const std::size_t formatted = formatted_sums.Next(after_marker);
    if (sum == kNotFound && formatted == kNotFound) return;
    const std::size_t marker_at = std::min(sum, formatted);
    const std::size_t marker_length =
        sum < formatted ? kSumMarker.size() : kFormatSumMarker.size();
    after_marker = marker_at + 1 + marker_length;
    result_.sums_present = true;

    const std::size_t name_at = after_marker - 1;
    const std::size_t close = closes.Next(name_at);
    if (close == kNotFound) {
      RaiseInvalidArgument("the sum placeholder " +
                           Quote(block.text.substr(marker_at)) +
                           " has no closing \")\"");
    }
    // Trimmed, as the placeholder's own evaluation trims it: "[SUM( Total )]"
    // must find the total it registered.
    const std::string name(Trim(block.text.substr(name_at, close - name_at)));
    const std::shared_ptr<SumFields>& totals = section.SumFields();
    std::shared_ptr<SumField> total = totals->Item(std::string_view(name));
    if (!total) total = totals->Add(name, name);
    total->SetName(name);
  }
}

}  // namespace

EmptyGroupTextError::EmptyGroupTextError(std::string description)
    : AutomationError(errors::kInvalidArgument, std::move(description),
                      std::string(kComponentSource)) {}

std::string ExtractBetween(std::string_view text, std::string_view start,
                           std::string_view end) {
  const std::string upper = UCase(text);
  const Slice slice = ExtractSlice(Folded{text, upper}, start, end);
  return std::string(text.substr(slice.offset, slice.length));
}

SplitResult SplitTemplate(std::string_view text, OnEmptyGroupText policy) {
  return Splitter(text, policy).Run();
}

}  // namespace nerolin::tmpl
