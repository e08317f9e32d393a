#include "fields/fill_fields.h"

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fields/images.h"
#include "fiscal/resolve_addenda.h"
#include "nerolin/automation_error.h"
#include "nerolin/message_sink.h"
#include "nerolin/registry.h"
#include "nerolin/sum_fields.h"
#include "platform/files.h"
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

std::string WithoutBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '[' && c != ']') out.push_back(c);
  }
  return out;
}

std::string LineBreaksToBr(std::string_view text) {
  return Replace(text, "\r\n", "<BR>");
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

  // The value of `placeholder` ("[...]"); raises when it cannot be worked
  // out.
  std::string Evaluate(std::string_view placeholder, const std::string& name) {
    const std::string upper = UCase(placeholder);
    if (Contains(upper, "FORMAT(")) return FormatValue(placeholder, upper);
    if (Contains(upper, "TRANSLATE(")) {
      const std::int32_t number =
          CLng(Variant(Trim(Between(placeholder, "(", ")"))));
      return LineBreaksToBr(GetTranslation(number));
    }
    if (Contains(upper, "SUM(")) {
      return LineBreaksToBr(
          GroupTotal(section_, Trim(Between(placeholder, "(", ")"))));
    }
    if (Contains(upper, "HTML(")) return NestedReport(placeholder);
    if (Contains(upper, "BASE64(")) return Picture(placeholder);
    if (placeholder == kPictureSourceDocument &&
        !state_->image_base_url().empty()) {
      return PictureUrl();
    }
    return WithoutBrackets(
        fiscal::ResolveAddenda(*state_, name, recordset_, section_));
  }

 private:
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
    return LineBreaksToBr(formatted);
  }

  std::string NestedReport(std::string_view placeholder) {
    const NestedReportCall call = HtmlPlaceholderCall(
        placeholder, RowValue(recordset_, "ID"), state_->template_folder());
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
    return "data:image/" + RightChars(path, 3) + ";base64," +
           ImageToBase64(*state_, path);
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
    return LineBreaksToBr(state_->image_base_url() + std::string(file));
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::shared_ptr<ado::Recordset>& recordset_;
  const tmpl::Section* section_;
};

// Replaces every occurrence of `placeholder` in `block` at or after `from`
// by `value`, in one pass over the text.
void ReplaceFrom(std::string& block, std::size_t from,
                 std::string_view placeholder, std::string_view value) {
  std::size_t next = block.find(placeholder, from + placeholder.size());
  if (next == std::string::npos) {
    block.replace(from, placeholder.size(), value);
    return;
  }
  std::string out;
  out.reserve(block.size() + value.size() * 2);
  out.append(block, 0, from);
  std::size_t copied = from;
  for (std::size_t at = from; at != std::string::npos;
       at = block.find(placeholder, at + placeholder.size())) {
    out.append(block, copied, at - copied);
    out.append(value);
    copied = at + placeholder.size();
  }
  out.append(block, copied, std::string::npos);
  block = std::move(out);
}

std::size_t CountFrom(std::string_view block, std::size_t from,
                      std::string_view placeholder) {
  std::size_t count = 0;
  for (std::size_t at = block.find(placeholder, from);
       at != std::string_view::npos;
       at = block.find(placeholder, at + placeholder.size())) {
    ++count;
  }
  return count;
}

void NumberItemsInfoTables(std::string& block,
                           const std::shared_ptr<ado::Recordset>& recordset) {
  if (!Contains(block, kItemsInfo)) return;
  if (!ado::RecordsetHasField(recordset.get(), "LineNumber")) return;
  try {
    const std::string line = TextOf(recordset->Value(Variant("LineNumber")));
    block = Replace(block, kItemsInfo, std::string(kItemsInfo) + line);
  } catch (const std::exception&) {
    // A row without a readable line number leaves the names as written.
  }
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
                   "] WHERE ID=" + TextOf(row_id) + " ORDER By LineNumber";
  call.template_path = platform::JoinPath(template_folder, template_name);
  call.destination = platform::JoinPath(template_folder, "tmpx.html");
  return call;
}

Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section) {
  NumberItemsInfoTables(block, recordset);
  Evaluator evaluator(state, recordset, section);
  const std::size_t original_size = block.size();
  int values_bringing_brackets = 0;
  // No "[" stands before `open`, so no placeholder can either: each search
  // starts where the last placeholder stood.
  std::size_t open = 0;
  for (;;) {
    open = block.find('[', open);
    if (open == std::string::npos) return Variant(block);
    // A "]" before this "[" is a stray one, plain text.
    const std::size_t close = block.find(']', open);
    if (close == std::string::npos) {
      state->ShowMessage(kMissingBracket, {}, MessageIcon::kInformation);
      return Variant();
    }
    const std::string placeholder = block.substr(open, close - open + 1);
    const std::string name = WithoutBrackets(placeholder);
    std::string value;
    try {
      value = evaluator.Evaluate(placeholder, name);
    } catch (const std::exception&) {
      value.clear();
      value.append("??").append(name).append("??");
    }
    if (Contains(value, "[")) {
      const std::size_t count = CountFrom(block, open, placeholder);
      const std::size_t grown =
          block.size() - placeholder.size() * count + value.size() * count;
      if (++values_bringing_brackets > kMaxValuesBringingBrackets ||
          grown > original_size + kMaxGrowthFromBrackets) {
        value = "??" + name + "??";
      }
    }
    ReplaceFrom(block, open, placeholder, value);
  }
}

}  // namespace nerolin::fields
