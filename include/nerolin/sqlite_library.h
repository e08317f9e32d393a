#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/export.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {

// Registers the host data library under the ProgID "NerolinLib.clsMain":
// from then on CreateObject (the engine's OpenConnection among others) makes
// a new sqlite::HostDataLibrary, with no connection until its Datalayer's
// CreateConnection runs; that connection is a SQLite file or an ODBC data
// source, as the connection string says. Registering again
// replaces the registration with an equal one.
NEROLIN_EXPORT void RegisterSqliteHostLibrary();

namespace sqlite {

inline constexpr std::string_view kProgId = "NerolinLib.clsMain";
// The source of the errors this library raises.
inline constexpr std::string_view kSource = "NerolinLib";

// A statement that the database rejects or that fails while it runs (ADO's
// "errors in command"); the description holds the database's message and
// the statement.
inline constexpr std::int32_t kErrorsInCommand = -2147217900;
// A database that cannot be opened, a connection string naming no file, an
// ODBC data source that cannot be reached (E_FAIL); the description names
// the path or gives the driver's reason.
inline constexpr std::int32_t kUnspecifiedError = -2147467259;

// The data-layer object: the connection and what runs statements on it.
// Every statement goes through the Jet rewriting of GetSQLForThisDBEngine
// first and is prepared once per connection. Members other than
// CreateConnection raise error 3704 until a connection is open. Not
// thread-safe: use one object from one thread at a time.
class NEROLIN_EXPORT DataLayer : public Object {
 public:
  // Opens the database that `connection_string` names, read-only, replacing
  // any earlier connection (recordsets made on the old one keep it alive for
  // their own Open). A string with a Driver, DSN or FileDSN key is handed to
  // the ODBC driver manager (less the library's LoginTimeout and
  // QueryTimeout keys); any other is "Data Source=PATH" with any more
  // "key=value" pairs after ";" (keys without regard to case; a value may be
  // quoted with ' or "), or, when it holds no "=", a bare path of a SQLite
  // file. Raises kUnspecifiedError when the string names no file, the file
  // does not exist or is no SQLite database (it is never created), or the
  // ODBC data source cannot be reached or refuses the login.
  virtual void CreateConnection(std::string_view connection_string) = 0;

  // Whether CreateConnection has opened a database.
  virtual bool IsConnected() const = 0;

  // An open static recordset of the rows of `sql`, positioned on the first
  // row. Its Source is `sql` as given; its Open (after Close) runs the
  // statement again on the same connection. Raises kErrorsInCommand when
  // SQLite rejects the statement.
  virtual std::shared_ptr<ado::Recordset> GetRecordset(
      std::string_view sql) = 0;

  // Closes `recordset` when it is an open Recordset and sets it to Nothing.
  virtual void Dispose(Variant& recordset) = 0;

  // The value of `expression` in the first row of
  // "SELECT expression FROM domain WHERE criteria" (no WHERE when the
  // criteria are empty); Null when no row matches.
  virtual Variant DLookup(std::string_view expression, std::string_view domain,
                          std::string_view criteria) = 0;

  // The first column of the first row of `sql`; Null when there is no row.
  virtual Variant ExecuteScalar(std::string_view sql) = 0;

  std::string_view TypeName() const override { return "clsDatalayer"; }
};

// The host data library object (TypeName "clsMain"). Members that read the
// database use its Datalayer's connection and raise as the Datalayer does.
class NEROLIN_EXPORT HostDataLibrary : public Object {
 public:
  // A new library whose Datalayer has no connection yet.
  static std::shared_ptr<HostDataLibrary> Create();

  // The data layer; the same object on every call.
  virtual std::shared_ptr<DataLayer> Datalayer() = 0;

  // As DataLayer::DLookup.
  virtual Variant DLookup(std::string_view expression, std::string_view domain,
                          std::string_view criteria) = 0;

  // DLookup as a number: numbers as they are, Boolean as -1 / 0, a date as
  // its serial, a numeric text as Double; 0 (Long) when no row matches or
  // the value is Null. Raises error 13 for a text that is no number.
  virtual Variant DLookUpValue(std::string_view expression,
                               std::string_view domain,
                               std::string_view criteria) = 0;

  // The statement rewritten for the open connection's database (SQLite's
  // form before one is open; see the Jet rules in doc/host-library.md); a
  // text that is no statement comes back as it is.
  virtual std::string GetSQLForThisDBEngine(std::string_view sql) const = 0;

  // True when `recordset` (an open ado::Recordset, or any object with a
  // Fields collection) has a field named `name`, without regard to case;
  // false for Nothing, Empty, Null, a closed recordset and any failure.
  virtual bool FieldExists(std::string_view name, const Variant& recordset) = 0;

  // True when the table or view `table` has a column `column`, both
  // without regard to case (either may be bracketed); false when there is
  // no such table. SQLite's column lists are cached per connection and
  // dropped when the database schema changes; an ODBC connection reads its
  // catalog once, when it opens.
  virtual bool FieldExistsInTable(std::string_view column,
                                  std::string_view table) = 0;

  // The Value of the engParameter row whose Key is `key` (without regard to
  // case); Null when there is none.
  virtual Variant GetDefaultValue(std::string_view key) = 0;
  // DLookup(expression, table, criteria).
  virtual Variant GetDefaultValue(std::string_view expression,
                                  std::string_view table,
                                  std::string_view criteria) = 0;

  // Null becomes Empty; an object with a default value (a Field) becomes
  // that value, Null again as Empty; anything else comes back unchanged.
  virtual Variant GetValue(const Variant& value) = 0;

  // The amount written with the engCurrency row of `currency_id`: its
  // Symbol, then the digits grouped by "," with "." and `Decimals`
  // decimals, halves rounded away from zero ("$1,234.50", "-$1,234.50").
  // An unknown, Null or Empty currency gives the current locale's currency
  // form (its symbol, separators and currency digits; "$1,234.50" for
  // es-MX).
  virtual std::string FormatCurrency(double amount,
                                     const Variant& currency_id) = 0;

  // The folder of `path` up to its last "/" or "\", with "/" added:
  // "C:\\t\\a.html" gives "C:\\t/", "a.html" gives "./".
  virtual std::string GetPath(std::string_view path) const = 0;

  // Copies the picture at `url` into a new temporary file and puts its
  // path in `local_path`: a local path (a relative one is also tried under
  // `own_folder`), a file: URL, or an http / https URL fetched with
  // bounded connect and total time and a bounded size. Returns "" on
  // success; otherwise a text saying what failed on what, `local_path`
  // left as it was and nothing left behind. Never raises for a failed
  // download. The caller deletes the file.
  virtual std::string DownloadURLImage(std::string_view url,
                                       std::string_view own_folder,
                                       std::string& local_path) = 0;

  // The Value under the engParameter Key 'OwnedBusinessEntityID'; Null when
  // absent.
  virtual Variant OwnedBusinessEntityID() = 0;

  std::string_view TypeName() const override { return "clsMain"; }
};

}  // namespace sqlite
}  // namespace nerolin
