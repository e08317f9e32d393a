#include "fiscal/field_reference.h"

#include <exception>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fiscal/call_by_name.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_mod_wrapper.h"
#include "nerolin/diagnostics.h"
#include "platform/regex.h"

namespace nerolin::fiscal {

namespace {

constexpr std::string_view kCartaPorteMarker = "[CartaPorte_";

// A call expression: a name, then everything from the first "(" to the ")"
// that ends the text, the arguments being the first group.
constexpr std::string_view kCallPattern = R"(\b[^()]+\((.*)\)$)";
// The member name within a call expression: a run of letters (underscores
// inside) that does not start with a lower-case letter.
constexpr std::string_view kMemberPattern =
    R"((?![a-z])[^\:,>,\.]([a-z,A-Z]+[_]*[a-z,A-Z]*))";
constexpr std::string_view kReferencePattern = R"(\[.*?\])";

constexpr std::string_view kSource = "ResolveAddenda";

// Compiled once; a Regex is immutable and shared by every search.
const platform::Regex& CallRegex() {
  static const platform::Regex regex(kCallPattern);
  return regex;
}
const platform::Regex& MemberRegex() {
  static const platform::Regex regex(kMemberPattern);
  return regex;
}
const platform::Regex& ReferenceRegex() {
  static const platform::Regex regex(kReferencePattern,
                                     {.ignore_case = true, .global = true});
  return regex;
}

bool ContainsIgnoreCase(std::string_view text, std::string_view token) {
  return InStr(text, token, CompareMode::kText) > 0;
}

// Replaces `token` (without regard to case) by what `replacement` gives;
// the replacement is worked out only when the token is there.
template <class Replacement>
void ReplaceToken(std::string& statement, std::string_view token,
                  Replacement replacement) {
  if (!ContainsIgnoreCase(statement, token)) return;
  statement = Replace(statement, token, replacement(), CompareMode::kText);
}

void ReplaceBusinessEntity(hostlib::HostLibrary& library,
                           std::string& statement,
                           const std::shared_ptr<ado::Recordset>& recordset) {
  ReplaceToken(statement, "{BUSINESSENTITYID}", [&] {
    return library.GetDefaultValueText(
        "BusinessEntityID", "docDocument",
        "DocumentID=" + SqlLiteral(RowText(recordset, "ID")));
  });
}

// Detail blocks: a line's identifiers. The plain tokens ask the row for a
// field it may not have (a document line has no DocumentPaymentID); such a
// token stays and the others are still replaced.
void ReplaceDetailTokens(ComponentState& state, std::string& statement,
                         const std::shared_ptr<ado::Recordset>& recordset) {
  if (statement.find(kCartaPorteMarker) != std::string::npos) {
    const std::int32_t owner =
        CLng(RowValue(recordset, Variant(std::int32_t{1})));
    statement = ReplaceAddendaReferences(state, owner, statement);
  }
  static constexpr std::pair<std::string_view, std::string_view> kRowTokens[] =
      {{"{DOCUMENTID}", "ID"},
       {"{DOCUMENTITEMID}", "DocumentItemID"},
       {"{FINANCIALOPERATIONID}", "ID"},
       {"{DOCUMENTPAYMENTID}", "DocumentPaymentID"}};
  // Not a structured binding: clang 14 cannot capture one in a lambda.
  for (const auto& token_field : kRowTokens) {
    const std::string_view field = token_field.second;
    try {
      ReplaceToken(statement, token_field.first,
                   [&] { return RowText(recordset, field); });
    } catch (const AutomationError&) {
      // The token stays in the statement.
    }
  }
  hostlib::HostLibrary library = state.Library();
  ReplaceBusinessEntity(library, statement, recordset);
  ReplaceToken(statement, "{PRODUCTID}", [&] {
    return library.GetDefaultValueText(
        "ProductID", "docDocumentItem",
        "DocumentItemID=" + SqlLiteral(RowText(recordset, "DocumentItemID")));
  });
}

// Header and footer blocks: the document's identifiers, or the Carta Porte
// references instead of any token.
void ReplaceHeaderTokens(ComponentState& state, std::string& statement,
                         const std::shared_ptr<ado::Recordset>& recordset) {
  if (statement.find(kCartaPorteMarker) != std::string::npos) {
    const std::int32_t owner = CLng(RowValue(recordset, Variant("ID")));
    statement = ReplaceAddendaReferences(state, owner, statement);
    return;
  }
  hostlib::HostLibrary library = state.Library();
  ReplaceToken(statement, "{DOCUMENTID}",
               [&] { return RowText(recordset, "ID"); });
  if (ContainsIgnoreCase(statement, "{DOCUMENTITEMID}") &&
      library.FieldExists("DocumentItemID", recordset).value_or(false)) {
    ReplaceToken(statement, "{DOCUMENTITEMID}",
                 [&] { return RowText(recordset, "DocumentItemID"); });
  }
  ReplaceToken(statement, "{FINANCIALOPERATIONID}",
               [&] { return RowText(recordset, "ID"); });
  ReplaceBusinessEntity(library, statement, recordset);
}

// Only these three spellings make a query; any other is read as a call.
bool IsQuery(std::string_view statement) {
  return statement.find("SELECT") != std::string_view::npos ||
         statement.find("select") != std::string_view::npos ||
         statement.find("Select") != std::string_view::npos;
}

// Runs a call expression on a clsModWrapper. Leaves `value` alone when the
// statement has no parenthesised tail.
void RunCallExpression(ComponentState& state, std::string_view statement,
                       Variant& value) {
  std::string expression;
  expression.reserve(statement.size());
  for (char c : statement) {
    if (c != '\r') expression.push_back(c);
  }
  const std::vector<platform::RegexMatch> calls =
      CallRegex().Execute(expression);
  if (calls.empty()) return;
  const std::vector<platform::RegexMatch> members =
      MemberRegex().Execute(calls.front().value);
  if (members.empty()) {
    throw AutomationError(
        errors::kInvalidArgument,
        std::string(StandardDescription(errors::kInvalidArgument)) +
            ": no member name in the call expression " + expression,
        std::string(kSource));
  }
  VariantArray arguments;
  for (const std::string& piece :
       Split(calls.front().sub_matches.front(), ", ")) {
    arguments.emplace_back(Replace(piece, "\"", ""));
  }
  // The wrapper lives only for this call; the state outlives it, so it is
  // shared without ownership.
  const ObjectRef wrapper =
      clsModWrapper::Create(std::shared_ptr<ComponentState>(
          std::shared_ptr<ComponentState>(), &state));
  value = CallByNameEx(state, wrapper, members.front().value, 1,
                       Variant(std::move(arguments)));
}

}  // namespace

bool FieldReferenceValue(ComponentState& state, std::string_view name,
                         const std::shared_ptr<ado::Recordset>& recordset,
                         BlockKind kind, Variant& value) {
  hostlib::HostLibrary library = state.Library();
  std::string statement = TextOf(library.DatalayerDLookup(
      "SQL", "engAddendaFieldRef",
      "DeletedOn is Null AND FieldRefKey='" + QuotedText(name) + "'"));
  if (statement.empty()) return false;
  statement = library.GetSQLForThisDBEngine(statement);

  if (kind == BlockKind::kDetail) {
    ReplaceDetailTokens(state, statement, recordset);
  } else {
    ReplaceHeaderTokens(state, statement, recordset);
  }

  if (IsQuery(statement)) {
    value = Variant(TextOf(library.ExecuteScalar(statement)));
  } else {
    RunCallExpression(state, statement, value);
  }
  return true;
}

std::string ReplaceAddendaReferences(ComponentState& state,
                                     std::int32_t owner_id, std::string& text) {
  try {
    // The matches of the text as it is now; replacing one occurrence
    // replaces them all, so a repeated reference is looked up once.
    const std::vector<platform::RegexMatch> matches =
        ReferenceRegex().Execute(text);
    hostlib::HostLibrary library = state.Library();
    Variant definition_id;
    std::unordered_set<std::string> done;
    for (const platform::RegexMatch& match : matches) {
      if (!done.insert(match.value).second) continue;
      std::string reference = match.value;
      std::erase_if(reference, [](char c) { return c == '[' || c == ']'; });
      const std::string quoted = QuotedText(reference);
      // The first reference that belongs to a definition fixes it for all
      // the others.
      if (definition_id.IsEmpty() || Equals(definition_id, Variant(0))) {
        definition_id = library.GetValue(library.DatalayerDLookup(
            "AddendaDefinicionID", "engAddendaDefinicionItem",
            "Referencia = '" + quoted + "'"));
      }
      // A bracketed name that belongs to no definition (a column written
      // in brackets) is no reference.
      if (definition_id.IsEmpty()) continue;
      const std::int32_t item_id =
          CLng(library.GetValue(library.DatalayerDLookup(
              "AddendaDefinicionItemID", "engAddendaDefinicionItem",
              "AddendaDefinicionID = " + TextOf(definition_id) +
                  " AND Referencia = '" + quoted + "'")));
      if (item_id <= 0) continue;
      const Variant stored = library.GetValue(library.DatalayerDLookup(
          "Valor", "orgAddendaValor",
          "AddendaDefinicionItemID = " + std::to_string(item_id) +
              " AND ID = " + std::to_string(owner_id)));
      text = Replace(text, match.value, TextOf(stored));
    }
  } catch (...) {
    // The replacements made so far stand.
    state.Diagnose(DiagnosticKind::kStepSkipped, "addenda references",
                   AsAutomationError(std::current_exception(), kSource).what());
  }
  return text;
}

}  // namespace nerolin::fiscal
