#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::hostlib {

// Typed calls on the host data library object, each made by member name with
// the arguments in the library contract's order. Members of the data layer
// are called on the object that the library's `Datalayer` property returns,
// read anew before each call. Every call raises error 91 when there is no
// library object, and lets whatever the library raises pass unchanged.
class HostLibrary {
 public:
  explicit HostLibrary(ObjectRef library) : library_(std::move(library)) {}

  bool HasLibrary() const { return library_ != nullptr; }
  const ObjectRef& library() const { return library_; }

  // Datalayer.CreateConnection(connection string by reference); the result
  // is ignored.
  void CreateConnection(std::string& connection_string);

  // Datalayer.GetRecordset(sql), or with the two flags when `with_flags`.
  // Raises 13 when the result is no recordset.
  std::shared_ptr<ado::Recordset> GetRecordset(std::string_view sql,
                                               bool with_flags = false);

  // Datalayer.Dispose(recordset by reference).
  void Dispose(Variant& recordset);

  // Datalayer.DLookup and the library's own DLookup: the value, Null when
  // no row matches.
  Variant DatalayerDLookup(std::string_view expression, std::string_view domain,
                           std::string_view criteria);
  Variant DLookup(std::string_view expression, std::string_view domain,
                  std::string_view criteria);

  // DLookUpValue converted to a 32-bit or 16-bit integer (CLng / CInt:
  // Null raises 94, overflow 6).
  std::int32_t DLookUpValueLong(std::string_view expression,
                                std::string_view domain,
                                std::string_view criteria);
  std::int16_t DLookUpValueInteger(std::string_view expression,
                                   std::string_view domain,
                                   std::string_view criteria);

  // Datalayer.ExecuteScalar(sql by reference).
  Variant ExecuteScalar(std::string& sql);

  // GetSQLForThisDBEngine(sql by reference) as text; Null gives "".
  std::string GetSQLForThisDBEngine(std::string& sql);

  // FieldExists(field, recordset by reference) and FieldExistsInTable. The
  // answer is empty when the library answers Null, which callers treat
  // differently from false.
  std::optional<bool> FieldExists(std::string_view field, Variant& recordset);
  std::optional<bool> FieldExists(
      std::string_view field, const std::shared_ptr<ado::Recordset>& recordset);
  std::optional<bool> FieldExistsInTable(std::string_view column,
                                         std::string_view table);

  // GetDefaultValue(key): a setting's value as the library returns it (pass
  // it through GetValue before use).
  Variant GetDefaultValue(std::string_view key);
  // GetDefaultValue(expression, table, criteria) as text; Null gives "".
  std::string GetDefaultValueText(std::string_view expression,
                                  std::string_view table,
                                  std::string_view criteria);

  // GetValue(value): the plain value with Null made usable.
  Variant GetValue(const Variant& value);

  // FormatCurrency(amount, currency) as text; Null gives "".
  std::string FormatCurrency(double amount, const Variant& currency_id);

  // GetPath(path) as text; Null gives "".
  std::string GetPath(std::string_view path);

  // DownloadURLImage(url by reference, own folder, local path by reference):
  // "" on success, with `local_path` naming the saved picture; otherwise the
  // library's error text.
  std::string DownloadURLImage(std::string& url, std::string_view own_folder,
                               std::string& local_path);

  // The OwnedBusinessEntityID property.
  Variant OwnedBusinessEntityID();

 private:
  Object& Library();
  ObjectRef Datalayer();
  Variant CallLibrary(std::string_view member, Arguments& args);
  Variant CallDatalayer(std::string_view member, Arguments& args);

  ObjectRef library_;
};

}  // namespace nerolin::hostlib
