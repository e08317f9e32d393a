#include "fields/fill_fields.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fields/amount_in_words.h"
#include "fields/images.h"
#include "fields/placeholder_call.h"
#include "fields/qr_code.h"
#include "fiscal/resolve_addenda.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/registry.h"
#include "nerolin/sum_fields.h"
#include "platform/files.h"
#include "platform/text_search.h"
#include "template/sections.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "FillFields";
constexpr std::string_view kEngineProgId = "NerolinHTMLReport.clsMain";
constexpr std::string_view kItemsInfo = "rep_documentosrelacionados_itemsinfo";
constexpr std::string_view kPictureSourceDocument = "[PictureSourceDocument]";
constexpr std::string_view kMissingBracket = "Missing '[' !";

// Values that bring in brackets are worked out again, so a value that
// names its own placeholder, or two that name each other, would be worked
// out for ever and may double the text each time. Past either bound such a
// value counts as a failed evaluation.
constexpr int kMaxValuesBringingBrackets = 10'000;
constexpr std::size_t kMaxGrowthFromBrackets = std::size_t{16} << 20;

[[noreturn]] void Fail(std::string what) {
  throw AutomationError(errors::kInvalidArgument,
                        "Invalid procedure call or argument: " + what,
                        std::string(kSource));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The text of `placeholder` after position `start` up to the first `until`
// in the whole placeholder.
std::string_view TextUpTo(std::string_view placeholder, std::size_t start,
                          std::string_view until) {
  const std::size_t end = placeholder.find(until);
  if (start == std::string_view::npos || end == std::string_view::npos ||
      end < start) {
    Fail("no text between the markers of " + std::string(placeholder));
  }
  return placeholder.substr(start, end - start);
}

// The characters after the first `after` up to the first `until`.
std::string_view Between(std::string_view placeholder, std::string_view after,
                         std::string_view until) {
  const std::size_t at = placeholder.find(after);
  return TextUpTo(placeholder,
                  at == std::string_view::npos ? at : at + after.size(), until);
}

const std::shared_ptr<ado::Recordset>& RequireRecordset(
    const std::shared_ptr<ado::Recordset>& recordset) {
  if (!recordset) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the block has no recordset",
                          std::string(kSource));
  }
  return recordset;
}

Variant RowValue(const std::shared_ptr<ado::Recordset>& recordset,
                 std::string_view field) {
  return RequireRecordset(recordset)->Value(Variant(field));
}

std::string GroupTotal(const tmpl::Section* section, std::string_view field) {
  if (section == nullptr) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: no group section holds "
                          "the total of " +
                              std::string(field),
                          std::string(kSource));
  }
  const std::shared_ptr<SumField> total = section->SumFields()->Item(field);
  if (!total) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the group keeps no total "
                          "of " +
                              std::string(field),
                          std::string(kSource));
  }
  return total->TotalText();
}

class Evaluator {
 public:
  Evaluator(const std::shared_ptr<ComponentState>& state,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state), recordset_(recordset), section_(section) {}

  // The value of `placeholder` ("[...]", named `name`); raises when it
  // cannot be worked out.
  std::string Evaluate(std::string_view placeholder, std::string_view name) {
    // Every function form holds "(", which upper-casing leaves alone.
    if (placeholder.find('(') == std::string_view::npos) {
      return PlainValue(placeholder, name);
    }
    const std::string upper = UCase(placeholder);
    // Only the whole placeholder, with no other function inside, makes these
    // forms, so they take nothing away from the forms below.
    if (const auto arguments = CallArguments(placeholder, "QR")) {
      return QrCodePlaceholder(*arguments, PlainLookup());
    }
    if (const auto arguments = CallArguments(placeholder, "IMPORTECONLETRA")) {
      return AmountInWordsPlaceholder(*arguments, PlainLookup());
    }
    if (Contains(upper, "FORMAT(")) return FormatValue(placeholder, upper);
    if (Contains(upper, "TRANSLATE(")) {
      const std::int32_t number =
          CLng(Variant(Trim(Between(placeholder, "(", ")"))));
      std::string text = GetTranslation(number);
      LineBreaksToBr(text);
      return text;
    }
    if (Contains(upper, "SUM(")) {
      std::string total =
          GroupTotal(section_, Trim(Between(placeholder, "(", ")")));
      LineBreaksToBr(total);
      return total;
    }
    if (Contains(upper, "HTML(")) return NestedReport(placeholder);
    if (Contains(upper, "BASE64(")) return Picture(placeholder);
    return PlainValue(placeholder, name);
  }

 private:
  // Names looked up as a plain placeholder shows them; a name no one knows
  // gives nothing.
  NameLookup PlainLookup() {
    return [this](std::string_view name) -> std::optional<std::string> {
      std::string value = WithoutBrackets(
          fiscal::ResolveAddenda(*state_, name, recordset_, section_));
      if (value == "??" + WithoutBrackets(name) + "??") return std::nullopt;
      return value;
    };
  }

  // A name's value loses its brackets, so it is never worked out again.
  std::string PlainValue(std::string_view placeholder, std::string_view name) {
    if (placeholder == kPictureSourceDocument &&
        !state_->image_base_url().empty()) {
      return PictureUrl();
    }
    std::string value =
        fiscal::ResolveAddenda(*state_, name, recordset_, section_);
    if (value.find('[') == std::string::npos &&
        value.find(']') == std::string::npos) {
      return value;
    }
    return WithoutBrackets(value);
  }

  std::string FormatValue(std::string_view placeholder,
                          const std::string& upper) {
    std::string value;
    const std::size_t sum = upper.find("SUM(");
    if (sum != std::string::npos) {
      value = GroupTotal(section_, Trim(TextUpTo(placeholder, sum + 4, ")")));
    } else {
      value = fiscal::ResolveAddenda(
          *state_, WithoutBrackets(Between(placeholder, "(", ",")), recordset_,
          section_);
    }
    if (value.empty()) return value;

    const std::string_view argument = Between(placeholder, ",", ")]");
    std::string formatted;
    if (UCase(Trim(argument)) == "SYMBOL") {
      const std::string symbol = TextOf(RowValue(recordset_, "Symbol"));
      const bool after =
          Equals(RowValue(recordset_, "Alignment"), Variant("R"));
      formatted = Format(Variant(value), "Standard");
      formatted = after ? formatted + symbol : symbol + formatted;
    } else if (LCase(argument) == "currency") {
      hostlib::HostLibrary library = state_->Library();
      if (library.FieldExists("CurrencyID", recordset_).value_or(false)) {
        const Variant currency = library.GetValue(Variant(ObjectRef(
            RequireRecordset(recordset_)->GetField(Variant("CurrencyID")))));
        formatted = library.FormatCurrency(CDbl(Variant(value)), currency);
      } else {
        formatted = Format(Variant(value), "Currency");
      }
    } else {
      formatted = Format(Variant(value), argument);
    }
    LineBreaksToBr(formatted);
    return formatted;
  }

  std::string NestedReport(std::string_view placeholder) {
    const NestedReportCall call = HtmlPlaceholderCall(
        placeholder, RowValue(recordset_, "ID"), state_->template_folder());
    const NestedReportScope nesting(*state_, call.template_path);
    const ObjectRef engine = CreateObject(kEngineProgId, state_);
    engine->PutRef("NerolinLib", Variant(state_->host_library()));
    return TextOf(engine->Call(
        "GetHTML", {Variant(call.statement), Variant(call.template_path),
                    Variant(call.destination)}));
  }

  std::string Picture(std::string_view placeholder) {
    const std::string field(Trim(Between(placeholder, "(", ")")));
    if (!ado::RecordsetHasField(recordset_.get(), field)) return {};
    const std::string path = TextOf(RowValue(recordset_, field));
    if (!platform::IsVisibleOrdinaryFile(path)) return {};
    // A URI without text would show no picture either.
    const std::string base64 = ImageToBase64(*state_, path);
    if (base64.empty()) return {};
    return "data:image/" + RightChars(path, 3) + ";base64," + base64;
  }

  std::string PictureUrl() {
    const std::string stored =
        TextOf(RowValue(recordset_, "PictureSourceDocument"));
    if (stored.empty()) return {};
    // Stored paths come from Windows: only "\" separates the file name.
    const std::size_t slash = stored.rfind('\\');
    const std::string_view file =
        slash == std::string::npos ? std::string_view(stored)
                                   : std::string_view(stored).substr(slash + 1);
    std::string url = state_->image_base_url() + std::string(file);
    LineBreaksToBr(url);
    return url;
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::shared_ptr<ado::Recordset>& recordset_;
  const tmpl::Section* section_;
};

// Replaces every occurrence of `placeholder` in `text` at or after `from`
// by `value`; the text before `from` is neither searched nor copied.
void ReplaceFrom(std::string& text, std::size_t from,
                 std::string_view placeholder, std::string_view value) {
  std::size_t next =
      platform::FindText(text, placeholder, from + placeholder.size());
  if (next == std::string::npos) {
    text.replace(from, placeholder.size(), value);
    return;
  }
  std::string tail;
  std::size_t copied = from;
  for (std::size_t at = from; at != std::string::npos;
       at = platform::FindText(text, placeholder, at + placeholder.size())) {
    tail.append(text, copied, at - copied);
    tail.append(value);
    copied = at + placeholder.size();
  }
  tail.append(text, copied, std::string::npos);
  text.replace(from, std::string::npos, tail);
}

// Names the related-documents table of a detail block after the row's line.
void NumberItemsInfoTables(std::string& block,
                           const std::shared_ptr<ado::Recordset>& recordset) {
  if (!ado::RecordsetHasField(recordset.get(), "LineNumber")) return;
  try {
    const std::string line = TextOf(recordset->Value(Variant("LineNumber")));
    block = Replace(block, kItemsInfo, std::string(kItemsInfo) + line);
  } catch (const std::exception&) {
    // A row without a readable line number leaves the names as written.
  }
}

// One fill of a block onto the end of a text. The rule works on the block
// in place: the first "[" left, the first "]" after it (a "]" before that
// "[" is plain text), the placeholder's value in place of every occurrence
// from there on, and again from the same place, where the text before it
// holds no "[" any more.
class BlockFill {
 public:
  // REQUIRES: `block` does not lie within `out`; both outlive the fill.
  BlockFill(const std::shared_ptr<ComponentState>& state,
            std::string_view block, std::string& out,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state),
        block_(block),
        out_(out),
        base_(out.size()),
        evaluator_(state, recordset, section),
        diagnose_(state->diagnostics_wanted()) {}

  // Adds the filled block to the text. False, with the block as the rule
  // left it added, after the "Missing '[' !" stop.
  bool Run() { return LeftToRight() || ByTheRule(); }

 private:
  struct Known {
    std::string_view placeholder;  // in `block_`
    std::string value;
  };

  // While no placeholder holds a "[" of its own and no value brings one
  // in, the rule is one pass from left to right: each placeholder is worked
  // out where it first stands, in the rule's order, and where it stands
  // again it has the same value, as the rule put it there at once. False,
  // with nothing added, at the first place where that does not hold; the
  // values worked out by then are the rule's first ones (see ByTheRule).
  bool LeftToRight() {
    std::size_t copied = 0;
    for (std::size_t open = block_.find('['); open != std::string_view::npos;
         open = block_.find('[', copied)) {
      const std::size_t close = block_.find(']', open);
      if (close == std::string_view::npos) return HandOver();
      const std::string_view placeholder =
          block_.substr(open, close - open + 1);
      if (placeholder.find('[', 1) != std::string_view::npos) {
        return HandOver();
      }
      const Known* known = Find(placeholder);
      if (known == nullptr) {
        known_.push_back(
            {placeholder,
             Evaluate(placeholder,
                      placeholder.substr(1, placeholder.size() - 2))});
        known = &known_.back();
      }
      if (known->value.find('[') != std::string::npos) return HandOver();
      out_.append(block_, copied, open - copied);
      out_.append(known->value);
      copied = close + 1;
    }
    out_.append(block_, copied);
    return true;
  }

  bool HandOver() {
    out_.resize(base_);
    return false;
  }

  bool ByTheRule() {
    out_.append(block_);
    int values_bringing_brackets = 0;
    std::size_t replayed = 0;
    for (std::size_t open = out_.find('[', base_); open != std::string::npos;
         open = out_.find('[', open)) {
      const std::size_t close = out_.find(']', open);
      if (close == std::string::npos) {
        state_->ShowMessage(kMissingBracket, {}, MessageIcon::kInformation);
        return false;
      }
      const std::string placeholder = out_.substr(open, close - open + 1);
      // The placeholders LeftToRight worked out come first, in its order.
      std::string value;
      if (replayed < known_.size() &&
          known_[replayed].placeholder == placeholder) {
        value = known_[replayed++].value;
      } else {
        replayed = known_.size();
        value = Evaluate(placeholder, WithoutBrackets(placeholder));
      }
      if (value.find('[') != std::string::npos) {
        // A value that names its own placeholder, or two that name each
        // other, would be worked out for ever.
        const std::size_t count = platform::CountText(out_, placeholder, open);
        const std::size_t grown = out_.size() - base_ -
                                  placeholder.size() * count +
                                  value.size() * count;
        if (++values_bringing_brackets > kMaxValuesBringingBrackets ||
            grown > block_.size() + kMaxGrowthFromBrackets) {
          value = Failed(WithoutBrackets(placeholder),
                         "its value brings in placeholders without end");
        }
      }
      ReplaceFrom(out_, open, placeholder, value);
    }
    return true;
  }

  const Known* Find(std::string_view placeholder) const {
    for (const Known& known : known_) {
      if (known.placeholder == placeholder) return &known;
    }
    return nullptr;
  }

  // The value of `placeholder` (named `name`), "??name??" when it cannot
  // be worked out.
  std::string Evaluate(std::string_view placeholder, std::string_view name) {
    try {
      return evaluator_.Evaluate(placeholder, name);
    } catch (const std::exception&) {
      return Failed(
          name, diagnose_ ? AsAutomationError(std::current_exception(), kSource)
                                .description()
                          : std::string());
    }
  }

  std::string Failed(std::string_view name, std::string_view reason) const {
    if (diagnose_) {
      state_->Diagnose(DiagnosticKind::kPlaceholderFailed, name, reason,
                       block_);
    }
    return "??" + std::string(name) + "??";
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::string_view block_;
  std::string& out_;
  const std::size_t base_;  // where the block starts in `out_`
  Evaluator evaluator_;
  const bool diagnose_;
  std::vector<Known> known_;
};

// Fills `block` (numbered for the row) onto the end of `out`.
bool FillOnto(std::string& out, const std::shared_ptr<ComponentState>& state,
              std::string_view block,
              const std::shared_ptr<ado::Recordset>& recordset,
              const tmpl::Section* section) {
  std::string numbered;
  if (block.find(kItemsInfo) != std::string_view::npos) {
    numbered.assign(block);
    NumberItemsInfoTables(numbered, recordset);
    block = numbered;
  }
  return BlockFill(state, block, out, recordset, section).Run();
}

}  // namespace

std::string GetTranslation(std::int32_t) { return "No transtlation available"; }

NestedReportCall HtmlPlaceholderCall(std::string_view placeholder,
                                     const Variant& row_id,
                                     std::string_view template_folder) {
  const std::string_view arguments = Trim(Between(placeholder, "(", ")"));
  const std::size_t comma = arguments.find(',');
  if (comma == std::string_view::npos) {
    Fail("the nested report " + std::string(placeholder) +
         " names no table after a comma");
  }
  const std::string_view template_name = arguments.substr(0, comma);
  const std::string_view table = Trim(arguments.substr(comma + 1));
  NestedReportCall call;
  call.statement = "SELECT * FROM [" + std::string(table) +
                   "] WHERE ID=" + fiscal::SqlLiteral(TextOf(row_id)) +
                   " ORDER By LineNumber";
  call.template_path = platform::JoinPath(template_folder, template_name);
  call.destination = platform::JoinPath(template_folder, "tmpx.html");
  return call;
}

Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section) {
  const std::string source = std::move(block);
  block.clear();
  if (!FillOnto(block, state, source, recordset, section)) return Variant();
  return Variant(block);
}

void FillFields(std::string& out, const std::shared_ptr<ComponentState>& state,
                std::string_view block,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section) {
  const std::size_t base = out.size();
  try {
    if (!FillOnto(out, state, block, recordset, section)) out.resize(base);
  } catch (...) {
    out.resize(base);
    throw;
  }
}

}  // namespace nerolin::fields
