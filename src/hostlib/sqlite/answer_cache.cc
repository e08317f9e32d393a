#include "hostlib/sqlite/answer_cache.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include <sqlite3.h>

namespace nerolin::sqlite {

namespace {

// Functions whose result depends on their arguments alone, in lower case:
// SQLite's own (scalar, aggregate, window, math, JSON) and the Jet functions
// that read no clock and no locale. The date and time functions are left
// out, as they may read the clock ('now'), and so are random(), changes()
// and the like.
constexpr std::string_view kPureFunctions[] = {
    // SQLite scalar functions.
    "abs", "char", "coalesce", "concat", "concat_ws", "format", "glob", "hex",
    "ifnull", "iif", "instr", "length", "like", "likelihood", "likely", "lower",
    "ltrim", "max", "min", "nullif", "octet_length", "printf", "quote",
    "replace", "round", "rtrim", "sign", "soundex", "substr", "substring",
    "trim", "typeof", "unhex", "unicode", "unlikely", "upper", "zeroblob",
    // Aggregate and window functions.
    "avg", "count", "group_concat", "string_agg", "sum", "total", "row_number",
    "rank", "dense_rank", "percent_rank", "cume_dist", "ntile", "lag", "lead",
    "first_value", "last_value", "nth_value",
    // Math functions.
    "acos", "acosh", "asin", "asinh", "atan", "atan2", "atanh", "ceil",
    "ceiling", "cos", "cosh", "degrees", "exp", "floor", "ln", "log", "log10",
    "log2", "mod", "pi", "pow", "power", "radians", "sin", "sinh", "sqrt",
    "tan", "tanh", "trunc",
    // JSON functions.
    "json", "json_array", "json_array_length", "json_extract", "json_insert",
    "json_object", "json_patch", "json_remove", "json_replace", "json_set",
    "json_type", "json_valid", "json_quote", "json_group_array",
    "json_group_object",
    // Jet functions without clock or locale.
    "nz", "len", "ucase", "lcase", "jetleft", "jetright", "mid", "year",
    "month", "day", "->", "->>"};

bool IsPureFunction(const char* name) {
  if (name == nullptr) return false;
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::find(std::begin(kPureFunctions), std::end(kPureFunctions),
                   lower) != std::end(kPureFunctions);
}

bool StartsWithPragma(const char* table) {
  if (table == nullptr) return false;
  std::string_view name(table);
  if (name.size() < 7) return false;
  for (std::size_t i = 0; i < 7; ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != "pragma_"[i]) return false;
  }
  return true;
}

}  // namespace

void StatementClass::Take(int action, const char* first, const char* second,
                          const char* database) {
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
      return;
    case SQLITE_READ:
      // A table-valued pragma answers from the connection's schemas,
      // temporary ones included.
      if (database == nullptr || std::string_view(database) != "main" ||
          StartsWithPragma(first)) {
        repeatable = false;
      }
      return;
    case SQLITE_FUNCTION:
      if (!IsPureFunction(second)) repeatable = false;
      return;
    case SQLITE_PRAGMA:
      repeatable = false;
      // Reading a pragma changes nothing; setting one may change what
      // statements answer (case_sensitive_like, ...).
      if (second != nullptr) changes_connection = true;
      return;
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
      repeatable = false;
      changes_connection = true;
      return;
    default:
      // Writes are caught by SQLite's own read-only test (see Connection);
      // anything else seen while a statement is prepared (a table-valued
      // function setting itself up) only makes its answer one not to keep.
      repeatable = false;
      return;
  }
}

std::optional<std::string> AnswerCache::Key(
    std::string_view sql, const std::vector<Variant>& parameters) {
  std::string key(sql);
  for (const Variant& value : parameters) {
    // A NUL cannot stand in a statement that SQLite prepares to its end, so
    // it separates the text from the parameters unambiguously.
    key.push_back('\0');
    switch (value.type()) {
      case VarType::kEmpty:
      case VarType::kNull:
        key.push_back('N');
        break;
      case VarType::kBoolean:
        key.push_back(value.AsBoolean() ? 'T' : 'F');
        break;
      case VarType::kInteger:
        key.push_back('I');
        key += std::to_string(value.AsInteger());
        break;
      case VarType::kLong:
        key.push_back('I');
        key += std::to_string(value.AsLong());
        break;
      case VarType::kLongLong:
        key.push_back('I');
        key += std::to_string(value.AsLongLong());
        break;
      case VarType::kDouble: {
        char text[40];
        std::snprintf(text, sizeof text, "D%.17g", value.AsDouble());
        key += text;
        break;
      }
      case VarType::kString:
        key.push_back('S');
        key += std::to_string(value.AsString().size());
        key.push_back(':');
        key += value.AsString();
        break;
      default:
        return std::nullopt;
    }
  }
  return key;
}

void AnswerCache::Validate(std::optional<std::uint64_t> version) {
  if (version.has_value() && version == version_) return;
  Clear();
  version_ = version;
}

const std::optional<Variant>* AnswerCache::FindFirst(
    std::string_view key) const {
  if (!version_) return nullptr;
  if (last_first_ != nullptr && last_first_->first == key) {
    return &last_first_->second;
  }
  const auto found = firsts_.find(key);
  if (found == firsts_.end()) return nullptr;
  last_first_ = &*found;
  return &found->second;
}

std::shared_ptr<const ado::RowSet> AnswerCache::FindRows(
    std::string_view key) const {
  if (!version_) return nullptr;
  const auto found = rows_.find(key);
  return found == rows_.end() ? nullptr : found->second;
}

void AnswerCache::StoreFirst(std::string_view key,
                             std::optional<Variant> first) {
  if (!version_) return;
  if (Full()) {
    const std::optional<std::uint64_t> version = version_;
    Clear();
    version_ = version;
  }
  firsts_.insert_or_assign(std::string(key), std::move(first));
}

void AnswerCache::StoreRows(std::string_view key,
                            std::shared_ptr<const ado::RowSet> rows) {
  if (!version_ || !rows) return;
  const std::size_t cells = rows->size() * rows->columns().size();
  if (cells > kMaxAnswerCells) return;
  if (Full() || cells_ + cells > kMaxCells) {
    const std::optional<std::uint64_t> version = version_;
    Clear();
    version_ = version;
  }
  const auto [at, inserted] = rows_.try_emplace(std::string(key));
  if (!inserted) cells_ -= at->second->size() * at->second->columns().size();
  at->second = std::move(rows);
  cells_ += cells;
}

void AnswerCache::Clear() {
  last_first_ = nullptr;
  firsts_.clear();
  rows_.clear();
  cells_ = 0;
  version_.reset();
}

}  // namespace nerolin::sqlite
