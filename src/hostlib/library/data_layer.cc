#include "hostlib/library/data_layer.h"

#include <cstring>
#include <string_view>

#include "automation/conversions.h"
#include "hostlib/common/connection_string.h"
#include "hostlib/odbc/connection.h"
#include "hostlib/sqlite/connection.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::hostlib {

using sqlite::kSource;

namespace {

bool IsBlank(std::string_view text) {
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

}  // namespace

std::string ArgumentText(const Variant& value) {
  if (value.IsString()) return value.AsString();
  return TextOf(value);
}

ArgumentView::ArgumentView(const Variant& value) { Take(value); }

ArgumentView::ArgumentView(const Arguments& args, std::size_t index) {
  if (index < args.size()) Take(args[index]);
}

void ArgumentView::Take(const Variant& value) {
  if (value.IsString()) {
    view_ = value.AsString();
  } else {
    storage_ = TextOf(value);
    view_ = storage_;
  }
}

DataConnection& DataLayerImpl::connection() {
  if (!connection_) {
    throw AutomationError(
        errors::kObjectClosed,
        std::string(StandardDescription(errors::kObjectClosed)) +
            " (no database is open: call Datalayer.CreateConnection first)",
        std::string(kSource));
  }
  return *connection_;
}

std::shared_ptr<DataConnection> OpenDataConnection(
    std::string_view connection_string) {
  if (IsOdbcConnectionString(connection_string)) {
    return odbc::Connection::Open(connection_string);
  }
  return sqlite::Connection::Open(sqlite::DatabasePath(connection_string));
}

void DataLayerImpl::CreateConnection(std::string_view connection_string) {
  connection_ = OpenDataConnection(connection_string);
}

std::shared_ptr<ado::Recordset> DataLayerImpl::GetRecordset(
    std::string_view sql) {
  std::shared_ptr<DataConnection> connection = connection_;
  std::shared_ptr<const ado::RowSet> rows = this->connection().SharedQuery(sql);
  std::string source(sql);
  // Open after Close runs the statement again on this same connection, even
  // when the data layer has moved on to another database meanwhile.
  auto requery = [connection, source] {
    return connection->SharedQuery(source);
  };
  return ado::Recordset::CreateShared(std::move(rows), std::move(source),
                                      std::move(requery));
}

void DataLayerImpl::Dispose(Variant& recordset) {
  if (recordset.IsObject()) {
    auto open = std::dynamic_pointer_cast<ado::Recordset>(recordset.AsObject());
    if (open && open->State() == ado::kStateOpen) open->Close();
  }
  recordset = Variant(ObjectRef{});
}

Variant DataLayerImpl::DLookup(std::string_view expression,
                               std::string_view domain,
                               std::string_view criteria) {
  if (IsBlank(expression) || IsBlank(domain)) {
    throw AutomationError(
        errors::kInvalidArgument,
        std::string(StandardDescription(errors::kInvalidArgument)) +
            " (DLookup needs an expression and a domain)",
        std::string(kSource));
  }
  DataConnection& open = connection();
  // Never used by two calls at once: a statement calls no DLookup back.
  std::string& sql = lookup_;
  constexpr std::string_view kSelect = "SELECT ";
  constexpr std::string_view kFrom = " FROM ";
  constexpr std::string_view kWhere = " WHERE ";
  const bool where = !IsBlank(criteria);
  // Sized once and filled in place: a report looks a setting up for every
  // line.
  sql.resize(kSelect.size() + expression.size() + kFrom.size() + domain.size() +
             (where ? kWhere.size() + criteria.size() : 0));
  char* at = sql.data();
  for (const std::string_view piece :
       {kSelect, expression, kFrom, domain, where ? kWhere : std::string_view(),
        where ? criteria : std::string_view()}) {
    if (!piece.empty()) std::memcpy(at, piece.data(), piece.size());
    at += piece.size();
  }
  return open.QueryFirst(sql).value_or(Variant::Null());
}

Variant DataLayerImpl::ExecuteScalar(std::string_view sql) {
  return connection().QueryFirst(sql).value_or(Variant::Null());
}

Variant DataLayerImpl::Invoke(std::string_view member, InvokeKind kind,
                              Arguments& args) {
  using Self = DataLayerImpl;
  static const MemberTable<Self> table =
      MemberTable<Self>()
          .Method("CreateConnection", 1, 1,
                  [](Self& self, InvokeKind, Arguments& a) {
                    self.CreateConnection(ArgumentText(a[0]));
                    return Variant(true);
                  })
          // The two optional flags ask for a cursor that moves both ways
          // and can be reopened; every recordset here is one.
          .Method("GetRecordset", 1, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return Variant(self.GetRecordset(ArgumentText(a[0])));
                  })
          .Method("Dispose", 1, 1,
                  [](Self& self, InvokeKind, Arguments& a) {
                    self.Dispose(a[0]);
                    return Variant();
                  })
          .Method("DLookup", 2, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return self.DLookup(ArgumentView(a[0]), ArgumentView(a[1]),
                                        ArgumentView(a, 2));
                  })
          .Method("ExecuteScalar", 1, 1,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return self.ExecuteScalar(ArgumentText(a[0]));
                  });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin::hostlib
