#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "hostlib/common/data_connection.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::hostlib {

// The text of an argument passed by name: a text as it is, "" for Null and
// Empty, anything else as `"" & value` gives it.
std::string ArgumentText(const Variant& value);

// The same text without a copy when the argument is a text. For use as a
// temporary within one call: it may point into `value`.
class ArgumentView {
 public:
  explicit ArgumentView(const Variant& value);
  // The argument at `index` of `args`; "" when the call has fewer.
  ArgumentView(const Arguments& args, std::size_t index);
  ArgumentView(const ArgumentView&) = delete;
  ArgumentView& operator=(const ArgumentView&) = delete;
  operator std::string_view() const { return view_; }

 private:
  void Take(const Variant& value);

  std::string storage_;
  std::string_view view_;
};

// Opens the connection `connection_string` names: an ODBC data source for a
// string with a Driver, DSN or FileDSN key, otherwise the SQLite file of
// "Data Source=PATH" or a bare path. Raises as those connections' Open.
std::shared_ptr<DataConnection> OpenDataConnection(
    std::string_view connection_string);

// The data layer of the library that the ProgID makes, over either kind of
// connection.
class DataLayerImpl final : public sqlite::DataLayer {
 public:
  void CreateConnection(std::string_view connection_string) override;
  bool IsConnected() const override { return connection_ != nullptr; }
  std::shared_ptr<ado::Recordset> GetRecordset(std::string_view sql) override;
  void Dispose(Variant& recordset) override;
  Variant DLookup(std::string_view expression, std::string_view domain,
                  std::string_view criteria) override;
  Variant ExecuteScalar(std::string_view sql) override;

  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

  // The open connection. Raises error 3704 when there is none.
  DataConnection& connection();

 private:
  std::shared_ptr<DataConnection> connection_;
  // The statement of the last DLookup, kept to reuse its memory.
  std::string lookup_;
};

}  // namespace nerolin::hostlib
