#include "check/template_check.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/vb_text.h"
#include "fields/extra_details.h"
#include "fields/fill_fields.h"
#include "fields/images.h"
#include "fields/placeholder_call.h"
#include "fields/qr_code.h"
#include "hostlib/host_library.h"
#include "nerolin/automation_error.h"
#include "nerolin/recordset.h"
#include "platform/files.h"
#include "render/template_reader.h"
#include "template/template_split.h"

namespace nerolin::check {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
// Past this many findings a template is not worth reading finding by
// finding, and a file of nothing but stray brackets would otherwise hold
// a hundred times its size in messages.
constexpr std::size_t kMaxFindings = 1000;

// The functions FillFields knows; a call of any other name goes to the host
// as a column name, which no column has.
constexpr std::string_view kFunctions[] = {
    "FORMAT", "TRANSLATE", "SUM", "HTML", "BASE64", "QR", "IMPORTECONLETRA"};

enum class TagKind { kHeader, kFooter, kDetail };

struct TagWords {
  std::string_view word;  // "GROUPH"
  std::string_view what;  // for messages
};

constexpr TagWords kTagWords[] = {{"GROUPH", "group header"},
                                  {"GROUPF", "group footer"},
                                  {"DETAIL", "detail"}};

const TagWords& WordsOf(TagKind kind) {
  return kTagWords[static_cast<int>(kind)];
}

// A block tag as written: "<GROUPH", "</groupf", "<DETAIL" in any case.
struct Tag {
  TagKind kind;
  bool closing;
  std::size_t offset;  // of "<"
  std::size_t end;     // after its ">", or kNone
  bool upper_case;     // written as the engine finds it
};

// A block the split takes: its opening tag and the text it fills.
struct Block {
  TagKind kind;
  std::string name;  // the group's name; "DETAIL" for the detail block
  std::string field;
  std::size_t offset;      // of the opening tag's "<"
  std::size_t body_begin;  // after the opening tag
  std::size_t body_end;    // at the closing tag
  std::size_t end;         // after the closing tag
};

// What a stretch of template text is filled as.
enum class Region { kReport, kGroup, kDetail };

struct RawFinding {
  std::size_t offset;
  Severity severity;
  std::string_view code;
  std::string message;
};

// Template text quoted in a message, as valid UTF-8 even where the
// engine's own rule cut a character in two.
std::string Quoted(std::string_view text) {
  return platform::DecodeUtf8Text("\"" + std::string(text) + "\"");
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= '0' && c <= '9') || c == '_';
}

class Checker {
 public:
  Checker(std::string_view text, const std::string& path,
          const CheckOptions& options)
      : text_(text),
        upper_(UCase(text)),
        path_(path),
        folder_(platform::ParentFolder(path)),
        options_(options) {
    if (options_.columns) {
      for (const std::string& column : *options_.columns) {
        columns_.insert(UCase(column));
      }
    }
  }

  std::vector<RawFinding> Run() {
    FindTags();
    ReadBlocks();
    CheckRegions();
    CheckExtraDetails();
    CheckPictures();
    CheckWithSplit();
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const RawFinding& a, const RawFinding& b) {
                       return a.offset < b.offset;
                     });
    if (unshown_ > 0) {
      // An error among those left out must still fail the check.
      findings_.push_back(
          {text_.size(),
           unshown_errors_ > 0 ? Severity::kError : Severity::kWarning,
           "too-many-findings",
           std::to_string(unshown_) + " more findings (" +
               std::to_string(unshown_errors_) + " errors) are not shown"});
    }
    return std::move(findings_);
  }

 private:
  void Add(std::size_t offset, Severity severity, std::string_view code,
           std::string message) {
    if (severity == Severity::kError) ++errors_;
    if (findings_.size() >= kMaxFindings) {
      ++unshown_;
      if (severity == Severity::kError) ++unshown_errors_;
      return;
    }
    findings_.push_back({offset, severity, code, std::move(message)});
  }
  void Error(std::size_t offset, std::string_view code, std::string message) {
    Add(offset, Severity::kError, code, std::move(message));
  }
  void Warning(std::size_t offset, std::string_view code, std::string message) {
    Add(offset, Severity::kWarning, code, std::move(message));
  }

  void FindTags();
  void CheckTagCase(const Tag& tag);
  std::optional<Block> ReadGroupTag(const Tag& tag);
  void ReadBlocks();
  void CheckRegions();
  void CheckRegion(std::size_t begin, std::size_t end, Region region);
  void CheckPlaceholder(std::string_view placeholder, std::size_t offset,
                        Region region);
  void CheckFormat(std::string_view placeholder, const std::string& upper,
                   std::size_t offset, Region region);
  void CheckNamedCall(std::string_view placeholder, std::string_view function,
                      std::size_t offset);
  void CheckColumn(std::string_view name, std::size_t offset,
                   std::string_view what);
  void CheckExtraDetails();
  void CheckPictures();
  void CheckWithSplit();

  std::string_view text_;
  std::string upper_;
  const std::string& path_;
  std::string folder_;
  const CheckOptions& options_;
  std::set<std::string> columns_;
  std::vector<Tag> tags_;
  std::vector<Block> blocks_;
  std::vector<RawFinding> findings_;
  std::size_t errors_ = 0;
  std::size_t unshown_ = 0;
  std::size_t unshown_errors_ = 0;
};

void Checker::FindTags() {
  for (std::size_t at = text_.find('<'); at != kNone;
       at = text_.find('<', at + 1)) {
    const bool closing = at + 1 < text_.size() && text_[at + 1] == '/';
    const std::size_t word_at = at + (closing ? 2 : 1);
    for (int kind = 0; kind < 3; ++kind) {
      const std::string_view word = kTagWords[kind].word;
      if (upper_.compare(word_at, word.size(), word) != 0) continue;
      const std::size_t gt = text_.find('>', word_at);
      tags_.push_back({static_cast<TagKind>(kind), closing, at,
                       gt == kNone ? kNone : gt + 1,
                       text_.compare(word_at, word.size(), word) == 0});
      if (!tags_.back().upper_case) CheckTagCase(tags_.back());
    }
  }
}

// The split finds block positions, the report header's end and the report
// footer's start only in upper case.
void Checker::CheckTagCase(const Tag& tag) {
  const std::string_view word = WordsOf(tag.kind).word;
  const std::string written(
      text_.substr(tag.offset, word.size() + 1 + (tag.closing ? 1 : 0)));
  Error(tag.offset, "tag-case",
        "the " + std::string(WordsOf(tag.kind).what) + " tag " +
            Quoted(written) + " must be written in upper case (\"" +
            (tag.closing ? "</" : "<") + std::string(word) +
            "\"); the engine does not take it as a block tag");
}

// An opening group tag read as the split reads it, checked for the one form
// that the split finds again: "<GROUPH", one space, the name, one space,
// the field, ">".
std::optional<Block> Checker::ReadGroupTag(const Tag& tag) {
  const TagWords& words = WordsOf(tag.kind);
  const std::string what(words.what);
  const std::size_t after_word = tag.offset + 1 + words.word.size();
  if (tag.end == kNone) {
    Error(tag.offset, "tag-spacing",
          "the " + what + " tag has no closing \">\"");
    return std::nullopt;
  }
  const std::string_view inside =
      text_.substr(after_word, tag.end - 1 - after_word);
  if (inside.empty() || inside[0] != ' ') {
    Error(tag.offset, "tag-spacing",
          "the " + what + " tag needs one space after \"<" +
              std::string(words.word) + "\", then the group name");
    return std::nullopt;
  }
  if (inside.size() > 1 && IsBlank(inside[1])) {
    Error(tag.offset, "tag-spacing",
          "the " + what +
              " tag has more than one space before the group name; the "
              "engine finds no text for the group");
    return std::nullopt;
  }
  std::size_t name_end = 1;
  while (name_end < inside.size() && !IsBlank(inside[name_end])) ++name_end;
  const std::string_view name = inside.substr(1, name_end - 1);
  if (name_end == inside.size() || inside[name_end] != ' ') {
    Error(tag.offset, "tag-spacing",
          "the " + what + " tag " +
              Quoted(text_.substr(tag.offset, tag.end - tag.offset)) +
              " needs one space between the group name and the field");
    return std::nullopt;
  }
  const std::string_view field = inside.substr(name_end + 1);
  if (field.empty() || IsBlank(field.front()) || IsBlank(field.back())) {
    Error(tag.offset, "tag-spacing",
          "the " + what + " tag of group " + Quoted(name) +
              (field.empty() ? " names no field"
                             : " has more than one space between the name "
                               "and the field, or a space before \">\"") +
              "; the engine finds no text for the group");
    return std::nullopt;
  }
  Block block{tag.kind,   std::string(name), std::string(field),
              tag.offset, tag.end,           kNone,
              kNone};
  // The closing tag is looked for in any case from the opening tag on, as
  // ExtractBetween looks for it.
  const std::string closing =
      UCase("</" + std::string(words.word) + " " + block.name + ">");
  const std::size_t close = upper_.find(closing, tag.offset);
  if (close == kNone) {
    Error(tag.offset, "block-unclosed",
          "the " + what + " " + Quoted(block.name) + " has no closing tag " +
              Quoted("</" + std::string(words.word) + " " + block.name + ">") +
              "; the engine finds no text for it");
    return std::nullopt;
  }
  block.body_end = close;
  block.end = close + closing.size();
  if (EqualsIgnoreCase(block.name, "Report") ||
      EqualsIgnoreCase(block.name, "DETAIL")) {
    Error(tag.offset, "group-reserved-name",
          "the group name " + Quoted(block.name) +
              " is taken by the engine's own " +
              (EqualsIgnoreCase(block.name, "Report") ? "report" : "detail") +
              " section; give the group another name");
  }
  return block;
}

void Checker::ReadBlocks() {
  std::set<std::string> headers;
  std::set<std::string> footers;
  std::vector<std::pair<std::size_t, std::string>> header_tags;
  std::vector<std::pair<std::size_t, std::string>> footer_tags;
  bool detail_seen = false;
  for (const Tag& tag : tags_) {
    if (tag.closing) continue;
    // A tag in another case has its finding; the split does not see it.
    if (tag.kind == TagKind::kDetail) {
      if (!tag.upper_case) continue;
      if (upper_.compare(tag.offset, 8, "<DETAIL>") != 0) {
        Error(tag.offset, "tag-spacing",
              "the detail tag must be written exactly \"<DETAIL>\"");
        continue;
      }
      if (detail_seen) {
        Error(tag.offset, "detail-repeated",
              "only the first <DETAIL> block is rendered; this one is "
              "part of the text around it");
        continue;
      }
      detail_seen = true;
      const std::size_t close = upper_.find("</DETAIL>", tag.offset);
      if (close == kNone) {
        Error(tag.offset, "block-unclosed",
              "the detail block has no closing tag \"</DETAIL>\"; the "
              "engine finds no text for it");
        continue;
      }
      blocks_.push_back({TagKind::kDetail, "DETAIL", "", tag.offset,
                         tag.offset + 8, close, close + 9});
      continue;
    }
    // A tag written wrongly still names its group, which has its finding
    // already; its other half is not reported as missing.
    std::size_t name_at = tag.offset + 1 + WordsOf(tag.kind).word.size();
    while (name_at < text_.size() && IsBlank(text_[name_at])) ++name_at;
    std::size_t name_end = name_at;
    while (name_end < text_.size() && !IsBlank(text_[name_end]) &&
           text_[name_end] != '>' && text_[name_end] != '[') {
      ++name_end;
    }
    const std::string key = UCase(text_.substr(name_at, name_end - name_at));
    (tag.kind == TagKind::kHeader ? headers : footers).insert(key);
    if (!tag.upper_case) continue;
    std::optional<Block> block = ReadGroupTag(tag);
    if (!block) continue;
    (tag.kind == TagKind::kHeader ? header_tags : footer_tags)
        .emplace_back(tag.offset, block->name);
    // The renderer reads the group's value from the row under the field's
    // text without its brackets, whatever FindMatchIfFieldDoesntExists says.
    const std::string column = WithoutBrackets(block->field);
    if (options_.columns && columns_.count(UCase(column)) == 0) {
      Error(tag.offset, "group-field-unknown",
            "the group " + Quoted(block->name) + " is keyed by " +
                Quoted(column) +
                ", which is no column of the statement's "
                "result");
    }
    blocks_.push_back(*std::move(block));
  }
  for (const auto& [offset, name] : header_tags) {
    if (footers.count(UCase(name)) == 0) {
      Warning(offset, "group-no-footer",
              "the group " + Quoted(name) + " has a header but no <GROUPF " +
                  name + " ...> footer");
    }
  }
  for (const auto& [offset, name] : footer_tags) {
    if (headers.count(UCase(name)) == 0) {
      Warning(offset, "group-no-header",
              "the group " + Quoted(name) + " has a footer but no <GROUPH " +
                  name +
                  " ...> header, so it never starts a new group instance");
    }
  }
  std::sort(blocks_.begin(), blocks_.end(),
            [](const Block& a, const Block& b) { return a.offset < b.offset; });
}

// The report header runs up to the first block, the report footer from the
// end of the last; text between two blocks is never emitted.
void Checker::CheckRegions() {
  std::size_t covered = 0;
  bool first = true;
  for (const Block& block : blocks_) {
    // A block written inside another block's text is no block of its own.
    if (!first && block.offset < covered) continue;
    if (first) {
      CheckRegion(0, block.offset, Region::kReport);
    } else {
      const std::size_t text = text_.find_first_not_of(" \t\r\n\f", covered);
      if (text < block.offset) {
        Warning(text, "text-dropped",
                "this text stands between two blocks and is never part of "
                "the report; move it into a block or before the first one");
      }
    }
    CheckRegion(
        block.body_begin, block.body_end,
        block.kind == TagKind::kDetail ? Region::kDetail : Region::kGroup);
    covered = block.end;
    first = false;
  }
  CheckRegion(covered, text_.size(), Region::kReport);
}

// Placeholders as FillFields takes them: from a "[" to the first "]" after
// it; a "[" without one stops the whole block.
void Checker::CheckRegion(std::size_t begin, std::size_t end, Region region) {
  std::size_t at = begin;
  while (at < end) {
    std::size_t open = text_.find('[', at);
    if (open >= end) open = end;
    for (std::size_t stray = text_.find(']', at); stray < open;
         stray = text_.find(']', stray + 1)) {
      Warning(stray, "bracket-stray",
              "this \"]\" closes no placeholder and stays as text");
    }
    if (open == end) return;
    const std::size_t close = text_.find(']', open);
    if (close >= end) {
      Error(open, "bracket-unclosed",
            "this \"[\" has no \"]\" after it in its block: the render stops "
            "with \"Missing '[' !\" and the block comes out empty");
      return;
    }
    CheckPlaceholder(text_.substr(open, close - open + 1), open, region);
    at = close + 1;
  }
}

void Checker::CheckColumn(std::string_view name, std::size_t offset,
                          std::string_view what) {
  if (!options_.columns || columns_.count(UCase(name)) != 0) return;
  std::string message = std::string(what) + " " + Quoted(name) +
                        " is no column of the statement's result";
  if (options_.find_match) {
    Warning(offset, "column-unknown",
            message + "; the engine looks for it in the host tables");
  } else {
    Error(offset, "column-unknown",
          message + "; it renders as ??" + std::string(name) + "??");
  }
}

void Checker::CheckPlaceholder(std::string_view placeholder, std::size_t offset,
                               Region region) {
  const std::string name = WithoutBrackets(placeholder);
  if (placeholder.find('(') == kNone) {
    if (placeholder == "[PictureSourceDocument]") {
      CheckColumn("PictureSourceDocument", offset, "the picture field");
      return;
    }
    CheckColumn(name, offset, "the placeholder");
    return;
  }
  const std::string upper = UCase(placeholder);
  if (upper.starts_with("[QR(")) {
    CheckNamedCall(placeholder, "QR", offset);
    return;
  }
  if (upper.starts_with("[IMPORTECONLETRA(")) {
    CheckNamedCall(placeholder, "IMPORTECONLETRA", offset);
    return;
  }
  auto argument = [&](std::string_view after) -> std::optional<std::string> {
    const std::size_t open = placeholder.find(after);
    const std::size_t close = placeholder.find(')');
    if (open == kNone || close == kNone || close < open + after.size()) {
      return std::nullopt;
    }
    return std::string(Trim(
        placeholder.substr(open + after.size(), close - open - after.size())));
  };
  if (upper.find("FORMAT(") != kNone) {
    CheckFormat(placeholder, upper, offset, region);
    return;
  }
  if (upper.find("TRANSLATE(") != kNone) {
    const std::optional<std::string> number = argument("(");
    if (!number || !IsNumeric(Variant(*number))) {
      Error(offset, "function-arguments",
            "TRANSLATE takes one whole number: [TRANSLATE(7)]");
    }
    return;
  }
  if (upper.find("SUM(") != kNone) {
    const std::optional<std::string> field = argument("(");
    if (!field || field->empty()) {
      Error(offset, "function-arguments", "SUM takes one column: [SUM(Total)]");
    } else if (region != Region::kGroup) {
      Warning(offset, "sum-outside-group",
              "SUM totals only in a group header or footer; here it renders "
              "as ??" +
                  name + "??");
    }
    return;
  }
  if (upper.find("HTML(") != kNone) {
    fields::NestedReportCall call;
    try {
      call = fields::HtmlPlaceholderCall(placeholder, Variant(std::string()),
                                         platform::JoinPath(folder_, ""));
    } catch (const std::exception&) {
      Error(offset, "function-arguments",
            "HTML takes a template and a table: [HTML(lines.html,docLines)]");
      return;
    }
    if (!platform::IsOrdinaryFile(call.template_path)) {
      Error(offset, "html-template-missing",
            "the nested template " + Quoted(call.template_path) +
                " does not exist");
    }
    return;
  }
  if (upper.find("BASE64(") != kNone) {
    const std::optional<std::string> field = argument("(");
    if (!field || field->empty()) {
      Error(offset, "function-arguments",
            "BASE64 takes one column that holds a picture's path: "
            "[BASE64(Logo)]");
    } else {
      CheckColumn(*field, offset, "the picture column");
    }
    return;
  }
  // A name followed by "(" that is none of the functions: the host is asked
  // for a column of that whole text.
  std::size_t end = 1;
  while (end < placeholder.size() && IsNameCharacter(placeholder[end])) ++end;
  std::size_t paren = end;
  while (paren < placeholder.size() && placeholder[paren] == ' ') ++paren;
  if (end > 1 && paren < placeholder.size() && placeholder[paren] == '(') {
    const std::string function = UCase(placeholder.substr(1, end - 1));
    const bool known = std::find(std::begin(kFunctions), std::end(kFunctions),
                                 function) != std::end(kFunctions);
    Error(offset, "function-unknown",
          known ? function + " must be followed by \"(\" directly"
                : "unknown function " + Quoted(placeholder.substr(1, end - 1)) +
                      " (known: FORMAT, SUM, TRANSLATE, HTML, BASE64, QR, "
                      "IMPORTECONLETRA); it renders as ??" +
                      name + "??");
    return;
  }
  CheckColumn(name, offset, "the placeholder");
}

void Checker::CheckFormat(std::string_view placeholder,
                          const std::string& upper, std::size_t offset,
                          Region region) {
  const std::size_t sum = upper.find("SUM(");
  const std::size_t comma = placeholder.find(',');
  const std::size_t pattern_end = placeholder.find(")]");
  const std::size_t open = placeholder.find('(');
  const std::size_t close = placeholder.find(')');
  const bool shaped =
      comma != kNone && pattern_end != kNone && comma < pattern_end &&
      (sum != kNone ? close != kNone && close > sum + 4 : comma > open);
  if (!shaped) {
    Error(offset, "function-arguments",
          "FORMAT takes a field and a pattern: [FORMAT(Total,#,##0.00)] or "
          "[FORMAT(SUM(Total),#,##0.00)]");
    return;
  }
  const std::string_view pattern =
      placeholder.substr(comma + 1, pattern_end - comma - 1);
  if (UCase(Trim(pattern)) != "SYMBOL" && LCase(pattern) != "currency") {
    if (const std::optional<std::string> problem =
            FormatPatternProblem(pattern)) {
      Error(offset + comma + 1, "format-pattern",
            "the FORMAT pattern " + Quoted(pattern) +
                " does not read as "
                "written: " +
                *problem);
    }
  }
  if (sum != kNone) {
    if (region != Region::kGroup) {
      Warning(offset, "sum-outside-group",
              "SUM totals only in a group header or footer; here it renders "
              "as ??" +
                  WithoutBrackets(placeholder) + "??");
    }
    return;
  }
  CheckColumn(WithoutBrackets(placeholder.substr(open + 1, comma - open - 1)),
              offset, "the field");
}

// QR and IMPORTECONLETRA: the whole placeholder is the call, with a name
// and an optional second argument.
void Checker::CheckNamedCall(std::string_view placeholder,
                             std::string_view function, std::size_t offset) {
  const std::string usage = function == "QR"
                                ? "[QR(name)] or [QR(name,L|M|Q|H)]"
                                : "[IMPORTECONLETRA(amount)] or "
                                  "[IMPORTECONLETRA(amount,currency)]";
  const auto arguments = fields::CallArguments(placeholder, function);
  if (!arguments || arguments->size() > 2 || (*arguments)[0].empty()) {
    Error(offset, "function-arguments",
          std::string(function) +
              " takes a name and an optional second "
              "argument, without parentheses: " +
              usage);
    return;
  }
  if (function == "QR" && arguments->size() == 2) {
    try {
      (void)fields::QrLevelNamed((*arguments)[1]);
    } catch (const std::exception&) {
      Error(offset, "function-arguments",
            "the QR level " + Quoted((*arguments)[1]) +
                " is none of L, M, Q and H");
    }
  }
  CheckColumn((*arguments)[0], offset, "the field");
}

void Checker::CheckExtraDetails() {
  const std::string_view attribute = fields::kExtraDetailAttribute;
  for (std::size_t at = text_.find(attribute); at != kNone;
       at = text_.find(attribute, at + attribute.size())) {
    const std::size_t start = at == 0 ? kNone : text_.rfind('<', at - 1);
    const std::size_t span =
        start == kNone ? kNone : text_.find(fields::kExtraDetailSpanEnd, start);
    if (span == kNone) {
      Warning(at, "extra-detail-unclosed",
              "this extra-detail element has no \"/span>\" after it and is "
              "left in the report as it is");
      continue;
    }
    const std::string name = fields::ExtraDetailTemplateName(text_.substr(
        start, span + fields::kExtraDetailSpanEnd.size() + 1 - start));
    const std::string sub_template = platform::JoinPath(folder_, name);
    if (name.empty() || !platform::IsOrdinaryFile(sub_template)) {
      Warning(start, "extra-detail-template-missing",
              "the extra detail's sub-template " + Quoted(sub_template) +
                  " does not exist next to the template");
    }
  }
}

void Checker::CheckPictures() {
  for (std::size_t tag = upper_.find("<IMG "); tag != kNone;
       tag = upper_.find("<IMG ", tag + 1)) {
    const std::size_t tag_end = upper_.find('>', tag);
    const std::size_t src = upper_.find("SRC=\"", tag);
    if (src == kNone || src > tag_end) continue;
    const std::size_t quote = text_.find('"', src + 5);
    if (quote == kNone) continue;
    const std::string value(Trim(text_.substr(src + 5, quote - src - 5)));
    std::string path = Replace(value, "file:", "", CompareMode::kText);
    const std::string lower = LCase(path);
    if (path.empty() || lower.find("http://") != kNone ||
        lower.find("https://") != kNone || lower.starts_with("data:") ||
        path.find('[') != kNone) {
      continue;
    }
    if (fields::LocatePicture(path, path_).empty()) {
      Warning(src + 5, "picture-missing",
              "the picture " + Quoted(path) +
                  " is no file, here or next to the template; the report "
                  "keeps the path");
    }
  }
}

// The split itself has the last word: what it rejects and nothing above
// explained is reported as it says it.
void Checker::CheckWithSplit() {
  try {
    (void)tmpl::SplitTemplate(text_,
                              tmpl::OnEmptyGroupText::kContinueAfterClosingTag);
  } catch (const std::exception&) {
    if (errors_ > 0) return;
    Error(
        0, "split-failed",
        "the engine cannot split this template into blocks: " +
            AsAutomationError(std::current_exception(), "check").description());
  }
}

}  // namespace

std::string_view SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

std::vector<Finding> CheckTemplateBytes(std::string_view bytes,
                                        const std::string& path,
                                        const CheckOptions& options) {
  const SourceMap source(bytes);
  std::vector<Finding> findings;
  for (RawFinding& raw : Checker(source.text(), path, options).Run()) {
    findings.push_back({source.PositionOf(raw.offset), raw.severity,
                        std::string(raw.code), std::move(raw.message)});
  }
  return findings;
}

std::vector<Finding> CheckTemplateFile(const std::string& path,
                                       const CheckOptions& options) {
  std::string bytes;
  try {
    bytes = platform::ReadBytes(path, render::kMaxTemplateSize);
  } catch (const std::exception&) {
    return {
        {{1, 1},
         Severity::kError,
         "template-unreadable",
         AsAutomationError(std::current_exception(), "check").description()}};
  }
  return CheckTemplateBytes(bytes, path, options);
}

std::vector<std::string> StatementColumns(hostlib::HostLibrary& library,
                                          std::string_view sql) {
  std::shared_ptr<ado::Recordset> rows;
  try {
    rows = library.GetRecordset("SELECT * FROM (" + std::string(sql) +
                                ") AS q WHERE 1=0");
  } catch (const AutomationError&) {
    rows = library.GetRecordset(sql);
  }
  std::vector<std::string> columns;
  const std::shared_ptr<ado::Fields> fields = rows->GetFields();
  for (std::int32_t i = 0; i < fields->Count(); ++i) {
    columns.push_back(fields->Item(Variant(i))->Name());
  }
  return columns;
}

}  // namespace nerolin::check
