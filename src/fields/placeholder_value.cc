#include "fields/placeholder_value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
#include "nerolin/registry.h"
#include "nerolin/sum_fields.h"
#include "platform/files.h"
#include "template/sections.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "FillFields";
constexpr std::string_view kPictureSourceDocument = "[PictureSourceDocument]";

[[noreturn]] void Fail(std::string what) {
  throw AutomationError(errors::kInvalidArgument,
                        "Invalid procedure call or argument: " + what,
                        std::string(kSource));
}

// Where the upper-case `marker` stands in `placeholder` in any case, from
// 1; 0 when it does not.
std::int64_t MarkerAt(std::string_view placeholder, std::string_view marker) {
  return InStr(placeholder, marker, CompareMode::kText);
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

// The name and the digit pattern of "[FORMAT(name,pattern)]", where a
// row's number is formatted without making its text and reading it back
// (what a report's amounts cost on every line).
void ReadRowNumberFormat(std::string_view placeholder, PlaceholderForm& form) {
  const std::size_t open = placeholder.find('(');
  const std::size_t comma = placeholder.find(',');
  const std::size_t close = placeholder.find(")]");
  if (open == std::string_view::npos || comma == std::string_view::npos ||
      close == std::string_view::npos || comma < open || close < comma ||
      !IsDigitPattern(placeholder.substr(comma + 1, close - comma - 1))) {
    return;
  }
  form.of_row_number = true;
  form.name_at = open + 1;
  form.name_size = comma - open - 1;
  form.pattern_at = comma + 1;
  form.pattern_size = close - comma - 1;
  form.name_has_brackets =
      placeholder.substr(form.name_at, form.name_size).find_first_of("[]") !=
      std::string_view::npos;
}

class Evaluator {
 public:
  Evaluator(const std::shared_ptr<ComponentState>& state,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state), recordset_(recordset), section_(section) {}

  void Append(std::string& out, std::string_view placeholder,
              std::string_view name, const PlaceholderForm& form) {
    using Kind = PlaceholderForm::Kind;
    switch (form.kind) {
      case Kind::kPlain:
        AppendPlainValue(out, placeholder, name);
        return;
      case Kind::kQrCode:
        out +=
            QrCodePlaceholder(*CallArguments(placeholder, "QR"), PlainLookup());
        return;
      case Kind::kAmountInWords:
        out += AmountInWordsPlaceholder(
            *CallArguments(placeholder, "IMPORTECONLETRA"), PlainLookup());
        return;
      case Kind::kFormat:
        out += FormatValue(placeholder, form);
        return;
      case Kind::kTranslate: {
        const std::int32_t number =
            CLng(Variant(Trim(Between(placeholder, "(", ")"))));
        std::string text = GetTranslation(number);
        LineBreaksToBr(text);
        out += text;
        return;
      }
      case Kind::kSum: {
        const std::size_t from = out.size();
        out += GroupTotal(section_, Trim(Between(placeholder, "(", ")")));
        LineBreaksToBr(out, from);
        return;
      }
      case Kind::kNestedReport:
        out += NestedReport(placeholder);
        return;
      case Kind::kPicture:
        out += Picture(placeholder);
        return;
    }
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
  void AppendPlainValue(std::string& out, std::string_view placeholder,
                        std::string_view name) {
    if (placeholder == kPictureSourceDocument &&
        !state_->image_base_url().empty()) {
      out += PictureUrl();
      return;
    }
    const std::size_t from = out.size();
    fiscal::AppendResolvedAddenda(out, *state_, name, recordset_, section_);
    if (out.find('[', from) != std::string::npos ||
        out.find(']', from) != std::string::npos) {
      const std::string value =
          WithoutBrackets(std::string_view(out).substr(from));
      out.replace(from, std::string::npos, value);
    }
  }

  std::string FormatValue(std::string_view placeholder,
                          const PlaceholderForm& form) {
    if (form.of_row_number) {
      if (std::optional<std::string> formatted =
              FormatRowNumber(placeholder, form)) {
        return *std::move(formatted);
      }
    }
    const std::int64_t sum = form.sum_at;
    std::string value;
    if (sum > 0) {
      value = GroupTotal(
          section_,
          Trim(TextUpTo(placeholder, static_cast<std::size_t>(sum) + 3, ")")));
    } else {
      value = fiscal::ResolveAddenda(
          *state_, WithoutBrackets(Between(placeholder, "(", ",")), recordset_,
          section_);
    }
    if (value.empty()) return value;

    const std::string_view argument = Between(placeholder, ",", ")]");
    std::string formatted;
    if (EqualsIgnoreCase(Trim(argument), "SYMBOL")) {
      const std::string symbol = TextOf(RowValue(recordset_, "Symbol"));
      const bool after =
          Equals(RowValue(recordset_, "Alignment"), Variant("R"));
      formatted = Format(Variant(value), "Standard");
      formatted = after ? formatted + symbol : symbol + formatted;
    } else if (EqualsIgnoreCase(argument, "currency")) {
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

  // Nothing when the value asks for the text's way.
  std::optional<std::string> FormatRowNumber(std::string_view placeholder,
                                             const PlaceholderForm& form) {
    const std::string_view pattern =
        placeholder.substr(form.pattern_at, form.pattern_size);
    std::string_view name = placeholder.substr(form.name_at, form.name_size);
    std::string unbracketed;
    if (form.name_has_brackets) {
      unbracketed = WithoutBrackets(name);
      name = unbracketed;
    }
    const std::optional<Variant> number =
        fiscal::RowNumber(*state_, name, recordset_, section_);
    if (!number) return std::nullopt;
    if (number->IsString()) return std::string();  // the failure, reported
    if (FormatsLikeItsText(*number, pattern)) return Format(*number, pattern);
    return Format(Variant(TextOf(*number)), pattern);
  }

  std::string NestedReport(std::string_view placeholder) {
    // A copy: reading the row's ID may run a host's report, which moves the
    // folder.
    const std::string folder = state_->template_folder();
    const NestedReportCall call =
        HtmlPlaceholderCall(placeholder, RowValue(recordset_, "ID"), folder);
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
    // Stored paths come from Windows: only "\\" separates the file name.
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

}  // namespace

PlaceholderForm FormOf(std::string_view placeholder) {
  using Kind = PlaceholderForm::Kind;
  PlaceholderForm form;
  // Every function form holds "(", which upper-casing leaves alone.
  if (placeholder.find('(') == std::string_view::npos) return form;
  // Only the whole placeholder, with no other function inside, makes these
  // forms, so they take nothing away from the forms below.
  if (CallArguments(placeholder, "QR")) {
    form.kind = Kind::kQrCode;
  } else if (CallArguments(placeholder, "IMPORTECONLETRA")) {
    form.kind = Kind::kAmountInWords;
  } else if (MarkerAt(placeholder, "FORMAT(") > 0) {
    form.kind = Kind::kFormat;
    form.sum_at = MarkerAt(placeholder, "SUM(");
    if (form.sum_at == 0) ReadRowNumberFormat(placeholder, form);
  } else if (MarkerAt(placeholder, "TRANSLATE(") > 0) {
    form.kind = Kind::kTranslate;
  } else if (MarkerAt(placeholder, "SUM(") > 0) {
    form.kind = Kind::kSum;
  } else if (MarkerAt(placeholder, "HTML(") > 0) {
    form.kind = Kind::kNestedReport;
  } else if (MarkerAt(placeholder, "BASE64(") > 0) {
    form.kind = Kind::kPicture;
  }
  return form;
}

void AppendPlaceholderValue(std::string& out,
                            const std::shared_ptr<ComponentState>& state,
                            const std::shared_ptr<ado::Recordset>& recordset,
                            const tmpl::Section* section,
                            std::string_view placeholder, std::string_view name,
                            const PlaceholderForm& form) {
  Evaluator(state, recordset, section).Append(out, placeholder, name, form);
}

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

}  // namespace nerolin::fields
