#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::sqlite {

// What SQLite's authorizer saw while one statement was prepared: whether
// its answer can only change when the database file's content changes, and
// whether running it may change what other statements answer.
struct StatementClass {
  // Reads only tables and views of the main database (no temporary or
  // attached one, no table-valued pragma) and calls only functions whose
  // result depends on their arguments alone (no clock, no random numbers,
  // no locale).
  bool repeatable = true;
  // A pragma that sets something, ATTACH, DETACH, a transaction or
  // savepoint statement; and any write (temporary tables included), which
  // the connection adds from SQLite's read-only test.
  bool changes_connection = false;

  // Folds one authorizer call into the class. The arguments are the
  // authorizer's (action code and its up to four texts, each may be null).
  void Take(int action, const char* first, const char* second,
            const char* database);
};

// Answers of repeatable statements, kept for as long as the database's
// content version stays the one they were read at. The caller finds the
// version (see Connection) and passes it to every look-up; a different
// version drops every answer. Bounded in entries and in values held.
class AnswerCache {
 public:
  AnswerCache() = default;
  // It remembers where its last answer lies.
  AnswerCache(const AnswerCache&) = delete;
  AnswerCache& operator=(const AnswerCache&) = delete;

  // The most answers kept, and the most values (rows times columns) all
  // the kept row sets may hold together; an answer past the second bound
  // is not kept.
  static constexpr std::size_t kMaxEntries = 512;
  static constexpr std::size_t kMaxCells = 4'000'000;
  // The most values one kept row set may hold. What a document's look-ups
  // ask again and again is small; a print view's rows are asked once per
  // print, and keeping them would only hold their memory after the print.
  static constexpr std::size_t kMaxAnswerCells = 16'384;

  // The key of a statement with parameters: the text as given (the
  // rewriting of Jet SQL depends on it alone) and each parameter with its
  // type. Nothing when a parameter is of a type that is not kept. A
  // statement without parameters is its own key.
  static std::optional<std::string> Key(std::string_view sql,
                                        const std::vector<Variant>& parameters);

  // Makes `version` the current one; answers read at another version go.
  // An unknown version (nothing) drops everything and keeps nothing.
  void Validate(std::optional<std::uint64_t> version);
  bool valid() const { return version_.has_value(); }

  // The kept first value of the first row (nothing inside when the
  // statement had no row), or null.
  const std::optional<Variant>* FindFirst(std::string_view key) const;
  // The kept rows, or null.
  std::shared_ptr<const ado::RowSet> FindRows(std::string_view key) const;

  // Keep an answer read at the current version; ignored while it is
  // unknown.
  void StoreFirst(std::string_view key, std::optional<Variant> first);
  void StoreRows(std::string_view key, std::shared_ptr<const ado::RowSet> rows);

  void Clear();
  std::size_t size() const { return firsts_.size() + rows_.size(); }

 private:
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>()(key);
    }
  };
  template <class T>
  using Map = std::unordered_map<std::string, T, KeyHash, std::equal_to<>>;

  bool Full() const { return size() >= kMaxEntries; }

  std::optional<std::uint64_t> version_;
  Map<std::optional<Variant>> firsts_;
  // The answer FindFirst found last: a report asks the same statement for
  // every line. Entries of the map stay where they are until it is cleared.
  mutable const Map<std::optional<Variant>>::value_type* last_first_ = nullptr;
  Map<std::shared_ptr<const ado::RowSet>> rows_;
  std::size_t cells_ = 0;
};

}  // namespace nerolin::sqlite
