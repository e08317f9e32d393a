#include "hostlib/host_library.h"

#include <memory>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "nerolin/automation_error.h"

namespace nerolin::hostlib {

namespace {

std::optional<bool> TruthOrNull(const Variant& answer) {
  if (answer.IsNull()) return std::nullopt;
  if (answer.type() == VarType::kBoolean) return answer.AsBoolean();
  if (!answer.IsObject()) return CBool(answer);
  Variant value = Unwrap(answer);
  if (value.IsNull()) return std::nullopt;
  return CBool(value);
}

// The arguments of one call, each moved into place: a braced list would
// copy every text once more.
template <class... Values>
Arguments ArgumentsOf(Values&&... values) {
  Arguments args;
  args.reserve(sizeof...(Values));
  (args.emplace_back(std::forward<Values>(values)), ...);
  return args;
}

Variant Text(std::string_view text) { return Variant(std::string(text)); }

}  // namespace

Object& HostLibrary::Library() {
  if (!library_) {
    throw AutomationError(
        errors::kObjectNotSet,
        std::string(StandardDescription(errors::kObjectNotSet)) +
            " (no host data library)",
        "");
  }
  return *library_;
}

Variant HostLibrary::CallLibrary(std::string_view member, Arguments& args) {
  return Library().Invoke(member, InvokeKind::kMethod, args);
}

ObjectRef HostLibrary::Datalayer() {
  Arguments none;
  Variant layer = Library().Invoke("Datalayer", InvokeKind::kPropertyGet, none);
  if (!layer.IsObject() || !layer.AsObject()) {
    throw AutomationError(
        errors::kObjectNotSet,
        std::string(StandardDescription(errors::kObjectNotSet)) +
            " (the host data library has no Datalayer)",
        "");
  }
  return layer.AsObject();
}

Variant HostLibrary::CallDatalayer(std::string_view member, Arguments& args) {
  return Datalayer()->Invoke(member, InvokeKind::kMethod, args);
}

void HostLibrary::CreateConnection(std::string& connection_string) {
  Arguments args = ArgumentsOf(Variant(connection_string));
  CallDatalayer("CreateConnection", args);
  if (args[0].IsString()) connection_string = args[0].AsString();
}

std::shared_ptr<ado::Recordset> HostLibrary::GetRecordset(std::string_view sql,
                                                          bool with_flags) {
  Arguments args = ArgumentsOf(Text(sql));
  if (with_flags) {
    args.emplace_back(true);
    args.emplace_back(true);
  }
  Variant result = CallDatalayer("GetRecordset", args);
  std::shared_ptr<ado::Recordset> recordset;
  if (result.IsObject()) {
    recordset = std::dynamic_pointer_cast<ado::Recordset>(result.AsObject());
  }
  if (!recordset) {
    throw AutomationError(errors::kTypeMismatch,
                          "Type mismatch: GetRecordset returned no recordset "
                          "for: " +
                              std::string(sql),
                          "");
  }
  return recordset;
}

void HostLibrary::Dispose(Variant& recordset) {
  Arguments args = ArgumentsOf(recordset);
  CallDatalayer("Dispose", args);
  recordset = std::move(args[0]);
}

Variant HostLibrary::DatalayerDLookup(std::string_view expression,
                                      std::string_view domain,
                                      std::string_view criteria) {
  Arguments args = ArgumentsOf(Text(expression), Text(domain), Text(criteria));
  return CallDatalayer("DLookup", args);
}

Variant HostLibrary::DLookup(std::string_view expression,
                             std::string_view domain,
                             std::string_view criteria) {
  Arguments args = ArgumentsOf(Text(expression), Text(domain), Text(criteria));
  return CallLibrary("DLookup", args);
}

std::int32_t HostLibrary::DLookUpValueLong(std::string_view expression,
                                           std::string_view domain,
                                           std::string_view criteria) {
  Arguments args = ArgumentsOf(Text(expression), Text(domain), Text(criteria));
  return CLng(CallLibrary("DLookUpValue", args));
}

std::int16_t HostLibrary::DLookUpValueInteger(std::string_view expression,
                                              std::string_view domain,
                                              std::string_view criteria) {
  Arguments args = ArgumentsOf(Text(expression), Text(domain), Text(criteria));
  return CInt(CallLibrary("DLookUpValue", args));
}

Variant HostLibrary::ExecuteScalar(std::string& sql) {
  Arguments args = ArgumentsOf(Variant(sql));
  Variant result = CallDatalayer("ExecuteScalar", args);
  if (args[0].IsString()) sql = args[0].AsString();
  return result;
}

std::string HostLibrary::GetSQLForThisDBEngine(std::string& sql) {
  Arguments args = ArgumentsOf(Variant(sql));
  Variant result = CallLibrary("GetSQLForThisDBEngine", args);
  if (args[0].IsString()) sql = args[0].AsString();
  return TextOf(result);
}

std::optional<bool> HostLibrary::FieldExists(std::string_view field,
                                             Variant& recordset) {
  Arguments args = ArgumentsOf(Text(field), recordset);
  Variant answer = CallLibrary("FieldExists", args);
  recordset = std::move(args[1]);
  return TruthOrNull(answer);
}

std::optional<bool> HostLibrary::FieldExists(
    std::string_view field, const std::shared_ptr<ado::Recordset>& recordset) {
  // What the library makes of the by-reference argument stays here.
  Arguments args = ArgumentsOf(Text(field), Variant(recordset));
  return TruthOrNull(CallLibrary("FieldExists", args));
}

std::optional<bool> HostLibrary::FieldExistsInTable(std::string_view column,
                                                    std::string_view table) {
  Arguments args = ArgumentsOf(Text(column), Text(table));
  return TruthOrNull(CallLibrary("FieldExistsInTable", args));
}

Variant HostLibrary::GetDefaultValue(std::string_view key) {
  Arguments args = ArgumentsOf(Text(key));
  return CallLibrary("GetDefaultValue", args);
}

std::string HostLibrary::GetDefaultValueText(std::string_view expression,
                                             std::string_view table,
                                             std::string_view criteria) {
  Arguments args = ArgumentsOf(Text(expression), Text(table), Text(criteria));
  return TextOf(CallLibrary("GetDefaultValue", args));
}

Variant HostLibrary::GetValue(const Variant& value) {
  Arguments args = ArgumentsOf(value);
  return CallLibrary("GetValue", args);
}

std::string HostLibrary::FormatCurrency(double amount,
                                        const Variant& currency_id) {
  Arguments args = ArgumentsOf(Variant(amount), currency_id);
  return TextOf(CallLibrary("FormatCurrency", args));
}

std::string HostLibrary::GetPath(std::string_view path) {
  Arguments args = ArgumentsOf(Text(path));
  return TextOf(CallLibrary("GetPath", args));
}

std::string HostLibrary::DownloadURLImage(std::string& url,
                                          std::string_view own_folder,
                                          std::string& local_path) {
  Arguments args =
      ArgumentsOf(Variant(url), Text(own_folder), Variant(local_path));
  Variant result = CallLibrary("DownloadURLImage", args);
  url = TextOf(args[0]);
  local_path = TextOf(args[2]);
  return TextOf(result);
}

Variant HostLibrary::OwnedBusinessEntityID() {
  Arguments none;
  return Library().Invoke("OwnedBusinessEntityID", InvokeKind::kPropertyGet,
                          none);
}

}  // namespace nerolin::hostlib
