#include <exception>
#include <typeinfo>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "automation/vb_text.h"
#include "hostlib/common/amount_text.h"
#include "hostlib/common/download.h"
#include "hostlib/jet/jet_sql.h"
#include "hostlib/library/data_layer.h"
#include "nerolin/automation_error.h"
#include "nerolin/registry.h"
#include "nerolin/sqlite_library.h"

namespace nerolin {

namespace sqlite {

namespace {

using hostlib::ArgumentText;
using hostlib::ArgumentView;
using hostlib::DataLayerImpl;

class HostDataLibraryImpl final : public HostDataLibrary {
 public:
  HostDataLibraryImpl() : data_layer_(std::make_shared<DataLayerImpl>()) {}

  std::shared_ptr<DataLayer> Datalayer() override { return data_layer_; }

  Variant DLookup(std::string_view expression, std::string_view domain,
                  std::string_view criteria) override {
    return data_layer_->DLookup(expression, domain, criteria);
  }

  Variant DLookUpValue(std::string_view expression, std::string_view domain,
                       std::string_view criteria) override;

  // Before a connection is open there is no server to ask: SQLite's form.
  std::string GetSQLForThisDBEngine(std::string_view sql) const override {
    if (!data_layer_->IsConnected()) return jet::RewriteJetSql(sql);
    return data_layer_->connection().RewriteSql(sql);
  }

  bool FieldExists(std::string_view name, const Variant& recordset) override;

  bool FieldExistsInTable(std::string_view column,
                          std::string_view table) override {
    return data_layer_->connection().TableHasColumn(table, column);
  }

  Variant GetDefaultValue(std::string_view key) override {
    return data_layer_->connection()
        .QueryFirst(
            "SELECT [Value] FROM engParameter WHERE lower([Key]) = lower(?)",
            {Variant(key)})
        .value_or(Variant::Null());
  }

  Variant GetDefaultValue(std::string_view expression, std::string_view table,
                          std::string_view criteria) override {
    return data_layer_->DLookup(expression, table, criteria);
  }

  Variant GetValue(const Variant& value) override;

  std::string FormatCurrency(double amount,
                             const Variant& currency_id) override;

  std::string GetPath(std::string_view path) const override;

  std::string DownloadURLImage(std::string_view url,
                               std::string_view own_folder,
                               std::string& local_path) override;

  Variant OwnedBusinessEntityID() override {
    return GetDefaultValue("OwnedBusinessEntityID");
  }

  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  std::shared_ptr<DataLayerImpl> data_layer_;
};

Variant HostDataLibraryImpl::DLookUpValue(std::string_view expression,
                                          std::string_view domain,
                                          std::string_view criteria) {
  Variant value = DLookup(expression, domain, criteria);
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return Variant(std::int32_t{0});
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return value;
    case VarType::kBoolean:
      return Variant(std::int32_t{value.AsBoolean() ? -1 : 0});
    case VarType::kDate:
      return Variant(value.AsDate().serial);
    case VarType::kString:
      if (IsNumeric(value)) return Variant(CDbl(value));
      break;
    default:
      break;
  }
  throw AutomationError(
      errors::kTypeMismatch,
      "Type mismatch (DLookUpValue: " + std::string(expression) + " in " +
          std::string(domain) + " is no number: " + TextOf(value) + ")",
      std::string(kSource));
}

bool HostDataLibraryImpl::FieldExists(std::string_view name,
                                      const Variant& recordset) {
  if (!recordset.IsObject() || !recordset.AsObject()) return false;
  const ObjectRef& object = recordset.AsObject();
  // Asked for every row of a report: the usual recordset is told apart
  // without a search of the class hierarchy.
  const Object& held = *object;
  const auto* ado_recordset = typeid(held) == typeid(ado::Recordset)
                                  ? static_cast<const ado::Recordset*>(&held)
                                  : dynamic_cast<const ado::Recordset*>(&held);
  if (ado_recordset != nullptr) {
    return ado::RecordsetHasField(ado_recordset, name);
  }
  // Another kind of recordset: ask its Fields collection by name.
  try {
    Variant fields = object->Get("Fields");
    if (!fields.IsObject() || !fields.AsObject()) return false;
    fields.AsObject()->Get("Item", {Variant(name)});
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

Variant HostDataLibraryImpl::GetValue(const Variant& value) {
  Variant plain = value;
  if (plain.IsObject() && plain.AsObject()) {
    try {
      plain = plain.AsObject()->DefaultValue();
    } catch (const AutomationError& error) {
      if (error.number() != errors::kNoSuchMember) throw;
      return value;  // an object without a value stays what it is
    }
  }
  if (plain.IsNull()) return Variant();
  return plain;
}

std::string HostDataLibraryImpl::FormatCurrency(double amount,
                                                const Variant& currency_id) {
  Variant id = GetValue(currency_id);
  // Identifiers are numbers: a text that is none names no currency, and a
  // server that types its parameters compares numbers with numbers.
  if (!id.IsEmpty() && IsNumeric(id)) {
    const ado::RowSet rows = data_layer_->connection().Query(
        "SELECT Symbol, Decimals FROM engCurrency WHERE CurrencyID = ?",
        {Variant(CDbl(id))});
    if (!rows.empty()) {
      std::string symbol = TextOf(rows.Value(0, 0));
      const Variant decimals_value = rows.Value(0, 1);
      int decimals = decimals_value.IsNull() ? 2 : CLng(decimals_value);
      return hostlib::FormatAmount(
          amount, hostlib::AmountStyle{symbol, ",", ".", decimals});
    }
  }
  const Locale& locale = Locale::Current();
  return hostlib::FormatAmount(
      amount,
      hostlib::AmountStyle{locale.currency_symbol, locale.group_separator,
                           locale.decimal_separator, locale.currency_digits});
}

std::string HostDataLibraryImpl::GetPath(std::string_view path) const {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string_view::npos) return "./";
  std::string folder(path.substr(0, cut));
  folder += '/';
  return folder;
}

std::string HostDataLibraryImpl::DownloadURLImage(std::string_view url,
                                                  std::string_view own_folder,
                                                  std::string& local_path) {
  // A failed download is an answer here, never an error.
  try {
    local_path = hostlib::DownloadToTemporaryFile(url, own_folder);
    return {};
  } catch (const AutomationError& error) {
    return error.description();
  } catch (const std::exception& error) {
    return "Cannot download \"" + std::string(url) + "\": " + error.what();
  }
}

Variant HostDataLibraryImpl::Invoke(std::string_view member, InvokeKind kind,
                                    Arguments& args) {
  // The two members a report calls for every line go straight to their
  // handlers, with the table's checks; everything else through the table.
  if (kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet) {
    if (EqualsIgnoreCase(member, "DLookup")) {
      CheckArgumentCount(args, 2, 3);
      return DLookup(ArgumentView(args[0]), ArgumentView(args[1]),
                     ArgumentView(args, 2));
    }
    if (EqualsIgnoreCase(member, "FieldExists")) {
      CheckArgumentCount(args, 2, 2);
      if (args[0].IsNull()) return Variant(false);
      return Variant(FieldExists(ArgumentView(args[0]), args[1]));
    }
  }
  using Self = HostDataLibraryImpl;
  static const MemberTable<Self> table =
      MemberTable<Self>()
          .Method("Datalayer", 0, 0,
                  [](Self& self, InvokeKind, Arguments&) {
                    return Variant(self.Datalayer());
                  })
          .Method("DLookup", 2, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return self.DLookup(ArgumentView(a[0]), ArgumentView(a[1]),
                                        ArgumentView(a, 2));
                  })
          .Method("DLookUpValue", 2, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return self.DLookUpValue(ArgumentView(a[0]),
                                             ArgumentView(a[1]),
                                             ArgumentView(a, 2));
                  })
          .Method(
              "GetSQLForThisDBEngine", 1, 1,
              [](Self& self, InvokeKind, Arguments& a) {
                return Variant(self.GetSQLForThisDBEngine(ArgumentText(a[0])));
              })
          .Method("FieldExists", 2, 2,
                  [](Self& self, InvokeKind, Arguments& a) {
                    if (a[0].IsNull()) return Variant(false);
                    return Variant(self.FieldExists(ArgumentView(a[0]), a[1]));
                  })
          .Method("FieldExistsInTable", 2, 2,
                  [](Self& self, InvokeKind, Arguments& a) {
                    if (a[0].IsNull() || a[1].IsNull()) return Variant(false);
                    return Variant(self.FieldExistsInTable(ArgumentText(a[0]),
                                                           ArgumentText(a[1])));
                  })
          // One argument reads a setting, three look a value up.
          .Method("GetDefaultValue", 1, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    if (a.size() == 2) {
                      throw AutomationError(errors::kWrongArgumentCount);
                    }
                    if (a.size() == 1) {
                      return self.GetDefaultValue(ArgumentText(a[0]));
                    }
                    return self.GetDefaultValue(ArgumentText(a[0]),
                                                ArgumentText(a[1]),
                                                ArgumentText(a[2]));
                  })
          .Method("GetValue", 1, 1,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return self.GetValue(a[0]);
                  })
          .Method("FormatCurrency", 2, 2,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return Variant(self.FormatCurrency(CDbl(a[0]), a[1]));
                  })
          .Method("GetPath", 1, 1,
                  [](Self& self, InvokeKind, Arguments& a) {
                    return Variant(self.GetPath(ArgumentText(a[0])));
                  })
          .Method("DownloadURLImage", 3, 3,
                  [](Self& self, InvokeKind, Arguments& a) {
                    std::string local_path;
                    std::string result = self.DownloadURLImage(
                        ArgumentText(a[0]), ArgumentText(a[1]), local_path);
                    if (result.empty()) a[2] = Variant(std::move(local_path));
                    return Variant(std::move(result));
                  })
          .Method("OwnedBusinessEntityID", 0, 0,
                  [](Self& self, InvokeKind, Arguments&) {
                    return self.OwnedBusinessEntityID();
                  });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace

std::shared_ptr<HostDataLibrary> HostDataLibrary::Create() {
  return std::make_shared<HostDataLibraryImpl>();
}

}  // namespace sqlite

void RegisterSqliteHostLibrary() {
  RegisterClass(sqlite::kProgId,
                [](const std::shared_ptr<ComponentState>&) -> ObjectRef {
                  return sqlite::HostDataLibrary::Create();
                });
}

}  // namespace nerolin
