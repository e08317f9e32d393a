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

// The arguments of one call whose by-reference arguments are read back
// (see ReusedArguments for the others), each moved into place: a braced
// list would copy every text once more.
template <class... Values>
Arguments ArgumentsOf(Values&&... values) {
  Arguments args;
  args.reserve(sizeof...(Values));
  (args.emplace_back(std::forward<Values>(values)), ...);
  return args;
}

Variant Text(std::string_view text) { return Variant(std::string(text)); }

void Assign(Variant& argument, std::string_view text) {
  argument.AssignString(text);
}
void Assign(Variant& argument, const Variant& value) { argument = value; }

// The argument list of one call whose arguments the library only reads,
// from lists kept on this thread for reuse: one per call in progress (a
// library may call back into the engine), each keeping the room of its
// texts. Calls made for every report line then allocate nothing.
class ReusedArguments {
 public:
  // Each value a text (std::string_view) or a Variant.
  template <class... Values>
  explicit ReusedArguments(const Values&... values) {
    Pool& pool = ThisThreadsPool();
    if (pool.in_use == pool.lists.size()) {
      pool.lists.push_back(std::make_unique<Arguments>());
    }
    list_ = pool.lists[pool.in_use++].get();
    list_->resize(sizeof...(Values));
    std::size_t i = 0;
    (Assign((*list_)[i++], values), ...);
  }
  ~ReusedArguments() {
    Pool& pool = ThisThreadsPool();
    --pool.in_use;
    // Whatever the library left in the list goes now, but for texts of
    // ordinary length: a reference kept here would outlive the call.
    for (Variant& value : *list_) {
      if (!value.IsString() || value.AsString().capacity() > kKeptRoom) {
        value = Variant();
      }
    }
  }
  ReusedArguments(const ReusedArguments&) = delete;
  ReusedArguments& operator=(const ReusedArguments&) = delete;

  Arguments& operator*() { return *list_; }

 private:
  static constexpr std::size_t kKeptRoom = 4096;
  struct Pool {
    std::vector<std::unique_ptr<Arguments>> lists;
    std::size_t in_use = 0;
  };
  static Pool& ThisThreadsPool() {
    thread_local Pool pool;
    return pool;
  }

  Arguments* list_;
};

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
  ReusedArguments args(expression, domain, criteria);
  return CallDatalayer("DLookup", *args);
}

Variant HostLibrary::DLookup(std::string_view expression,
                             std::string_view domain,
                             std::string_view criteria) {
  ReusedArguments args(expression, domain, criteria);
  return CallLibrary("DLookup", *args);
}

std::int32_t HostLibrary::DLookUpValueLong(std::string_view expression,
                                           std::string_view domain,
                                           std::string_view criteria) {
  ReusedArguments args(expression, domain, criteria);
  return CLng(CallLibrary("DLookUpValue", *args));
}

std::int16_t HostLibrary::DLookUpValueInteger(std::string_view expression,
                                              std::string_view domain,
                                              std::string_view criteria) {
  ReusedArguments args(expression, domain, criteria);
  return CInt(CallLibrary("DLookUpValue", *args));
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
  ReusedArguments args(field, Variant(recordset));
  return TruthOrNull(CallLibrary("FieldExists", *args));
}

std::optional<bool> HostLibrary::FieldExistsInTable(std::string_view column,
                                                    std::string_view table) {
  ReusedArguments args(column, table);
  return TruthOrNull(CallLibrary("FieldExistsInTable", *args));
}

Variant HostLibrary::GetDefaultValue(std::string_view key) {
  ReusedArguments args(key);
  return CallLibrary("GetDefaultValue", *args);
}

std::string HostLibrary::GetDefaultValueText(std::string_view expression,
                                             std::string_view table,
                                             std::string_view criteria) {
  ReusedArguments args(expression, table, criteria);
  return TextOf(CallLibrary("GetDefaultValue", *args));
}

Variant HostLibrary::GetValue(const Variant& value) {
  ReusedArguments args(value);
  return CallLibrary("GetValue", *args);
}

std::string HostLibrary::FormatCurrency(double amount,
                                        const Variant& currency_id) {
  ReusedArguments args(Variant(amount), currency_id);
  return TextOf(CallLibrary("FormatCurrency", *args));
}

std::string HostLibrary::GetPath(std::string_view path) {
  ReusedArguments args(path);
  return TextOf(CallLibrary("GetPath", *args));
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
