#include "fuzz/fuzz_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <system_error>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/registry.h"

namespace nerolin::fuzz {
namespace {

constexpr std::string_view kEngineProgId = "NerolinHTMLReport.clsMain";

class Scratch {
 public:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") +
                          "/nerolin-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("nerolin fuzz: no scratch folder");
      std::abort();
    }
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The text between `before` and the last "'" of `criteria`, with doubled
// quotes made single again: the value a criteria "Key='value'" names.
std::string QuotedValue(std::string_view criteria, std::string_view before) {
  const std::size_t at = criteria.find(before);
  const std::size_t end = criteria.rfind('\'');
  if (at == std::string_view::npos || end < at + before.size()) return {};
  return Replace(criteria.substr(at + before.size(), end - at - before.size()),
                 "''", "'");
}

bool LooksLikeStatement(std::string_view key) {
  return key.find('(') != std::string_view::npos ||
         key.find('{') != std::string_view::npos ||
         InStr(key, "SELECT", CompareMode::kText) > 0;
}

// The columns of the host tables the look-ups search, and their values.
struct Column {
  std::string_view table;
  std::string_view name;
};
constexpr Column kColumns[] = {{"docDocument", "Serie"},
                               {"docDocument", "Folio"},
                               {"docDocument", "Fecha"},
                               {"docDocument", "Total"},
                               {"docDocumentCFD", "UUID"},
                               {"docDocumentExtra", "Observaciones"},
                               {"docDocumentItem", "Unidad"},
                               {"docDocumentItem", "Descripcion"},
                               {"vwCFDAddendas", "Valor"},
                               {"vwCFDAddendaDatosEmisor", "RFC"},
                               {"vwCFDAddendaDatosEmisor", "Nombre"}};

Variant ColumnValue(std::string_view name) {
  if (EqualsIgnoreCase(name, "Folio")) return Variant(std::int32_t{1187});
  if (EqualsIgnoreCase(name, "Fecha")) {
    return Variant(Date::FromParts(2024, 1, 31, 8, 5, 9));
  }
  if (EqualsIgnoreCase(name, "Total")) return Variant(Currency{15665000});
  if (EqualsIgnoreCase(name, "Descripcion")) {
    return Variant("Tornillo\r\nde [acero]");
  }
  if (EqualsIgnoreCase(name, "Valor")) return Variant("Pieza");
  if (EqualsIgnoreCase(name, "Observaciones")) return Variant::Null();
  return Variant(std::string(name) + " 1");
}

Variant Lookup(std::string_view expression, std::string_view domain,
               std::string_view criteria) {
  if (EqualsIgnoreCase(domain, "engParameter")) {
    return InStr(criteria, "DocSalesUnitPriceDecimals", CompareMode::kText) > 0
               ? Variant("2")
               : Variant::Null();
  }
  if (EqualsIgnoreCase(domain, "engAddendaFieldRef")) {
    const std::string key = QuotedValue(criteria, "FieldRefKey='");
    return LooksLikeStatement(key) ? Variant(key) : Variant::Null();
  }
  if (EqualsIgnoreCase(domain, "engAddendaDefinicionItem")) {
    if (EqualsIgnoreCase(expression, "AddendaDefinicionID")) {
      return InStr(criteria, "CartaPorte_", CompareMode::kText) > 0
                 ? Variant(std::int32_t{3})
                 : Variant::Null();
    }
    return Variant(std::int32_t{7});
  }
  if (EqualsIgnoreCase(domain, "orgAddendaValor")) {
    return Variant(std::to_string(criteria.size()));
  }
  return ColumnValue(expression);
}

// Rows of an addenda item for a reference that starts with "Addenda_", each
// datum taken from the reference's length so that inputs reach every kind.
ado::RowSet AddendaItemRows(std::string_view sql) {
  std::vector<ado::Column> columns = {
      {"ModuleTypeID", ado::DataType::kInteger},
      {"ListaSencilla", ado::DataType::kVarWChar},
      {"ClaveLista", ado::DataType::kVarWChar},
      {"CampoExistente", ado::DataType::kVarWChar}};
  const std::string reference =
      QuotedValue(sql.substr(0, sql.find("') AND") + 1), "Referencia)='");
  if (!reference.starts_with("Addenda_")) {
    return ado::RowSet(std::move(columns), {});
  }
  const std::size_t n = reference.size();
  return ado::RowSet(
      std::move(columns),
      {{Variant(static_cast<std::int32_t>(n % 8)), Variant("1=Uno;2=Dos;tres"),
        Variant(n % 2 == 0 ? "Unidades" : ""),
        Variant(n % 3 == 0 ? "Valor" : "")}});
}

std::shared_ptr<ado::Recordset> RowsFor(std::string_view sql) {
  if (sql.find("engAddendaDefinicionItem") != std::string_view::npos) {
    return ado::Recordset::Create(AddendaItemRows(sql), std::string(sql));
  }
  return ado::Recordset::Create(DocumentRows(), std::string(sql),
                                [] { return DocumentRows(); });
}

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos
             ? std::string("./")
             : std::string(path.substr(0, slash)) + "/";
}

std::shared_ptr<ado::Recordset> AsRecordset(const Variant& value) {
  return value.IsObject()
             ? std::dynamic_pointer_cast<ado::Recordset>(value.AsObject())
             : nullptr;
}

class NestedEngineDouble : public Object {
 public:
  std::string_view TypeName() const override { return "clsMain"; }
  Variant Invoke(std::string_view member, InvokeKind,
                 Arguments& args) override {
    if (EqualsIgnoreCase(member, "NerolinLib")) return {};
    if (EqualsIgnoreCase(member, "GetHTML") && !args.empty()) {
      return Variant(TextOf(args[0]));
    }
    ThrowNoSuchMember(TypeName(), member);
  }
};

}  // namespace

const std::string& ScratchFolder() {
  static const Scratch scratch;
  return scratch.path();
}

std::string WriteScratchFile(std::string_view name, std::string_view bytes) {
  const std::string path = ScratchFolder() + "/" + std::string(name);
  std::filesystem::create_directories(
      std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
  return path;
}

std::string PictureBytes() {
  std::string bytes = "\x89PNG\r\n\x1A\n";
  for (int i = 0; i < 56; ++i) bytes += static_cast<char>(i * 37);
  return bytes;
}

Input SplitInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  return {data[0],
          std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

ado::RowSet DocumentRows() {
  static const std::string picture =
      WriteScratchFile("fotos/foto.png", PictureBytes());
  using ado::DataType;
  std::vector<ado::Column> columns = {
      {"ID", DataType::kInteger},
      {"DocumentItemID", DataType::kInteger},
      {"Serie", DataType::kVarWChar},
      {"Folio", DataType::kInteger},
      {"Fecha", DataType::kDate},
      {"Total", DataType::kCurrency},
      {"Cantidad", DataType::kDouble},
      {"ValorUnitario", DataType::kDouble},
      {"Descripcion", DataType::kVarWChar},
      {"CurrencyID", DataType::kInteger},
      {"Symbol", DataType::kVarWChar},
      {"Alignment", DataType::kVarWChar},
      {"PictureSourceDocument", DataType::kVarWChar},
      {"Foto", DataType::kVarWChar},
      {"LineNumber", DataType::kInteger},
      {"Nota", DataType::kVarWChar},
      {"RetentionComplementTypeID", DataType::kInteger}};
  std::vector<std::vector<Variant>> rows;
  rows.push_back(
      {Variant(std::int32_t{1001}), Variant(std::int32_t{1}), Variant("A"),
       Variant(std::int32_t{1187}), Variant(Date::FromParts(2024, 1, 31)),
       Variant(Currency{15665000}), Variant(3.0), Variant(2.675),
       Variant("Tornillo\r\nde acero"), Variant(std::int32_t{1}), Variant("$"),
       Variant("L"), Variant("C:\\Imagenes\\doc 1.png"), Variant(picture),
       Variant(std::int32_t{1}), Variant::Null(), Variant(std::int32_t{1})});
  rows.push_back({Variant(std::int32_t{1001}), Variant(std::int32_t{2}),
                  Variant("A"), Variant(std::int32_t{1187}),
                  Variant(Date::FromParts(1899, 12, 30)),
                  Variant(Currency{-5000}), Variant(-0.5), Variant(1e15),
                  Variant("Ñandú [Folio]"), Variant::Null(), Variant("US$"),
                  Variant("R"), Variant(""), Variant("missing.png"),
                  Variant(std::int32_t{2}), Variant("nota"), Variant::Null()});
  return ado::RowSet(std::move(columns), rows);
}

Variant HostLibraryDouble::Invoke(std::string_view member, InvokeKind,
                                  Arguments& args) {
  const auto text = [&](std::size_t i) {
    return i < args.size() ? TextOf(args[i]) : std::string();
  };
  const auto is = [&](std::string_view name) {
    return EqualsIgnoreCase(member, name);
  };
  if (is("Datalayer")) return Variant(shared_from_this());
  if (is("CreateConnection")) return {};
  if (is("GetRecordset")) return Variant(RowsFor(text(0)));
  if (is("Dispose")) {
    if (!args.empty()) args[0] = Variant(ObjectRef());
    return {};
  }
  if (is("DLookup")) {
    CheckArgumentCount(args, 3, 3);
    return Lookup(text(0), text(1), text(2));
  }
  if (is("DLookUpValue")) return Variant(std::int32_t{1});
  if (is("ExecuteScalar")) {
    const std::string sql = text(0);
    if (sql.find("engRefCombo") != std::string::npos) return Variant("Pieza");
    return Variant(static_cast<std::int32_t>(sql.size()));
  }
  if (is("GetSQLForThisDBEngine")) return Variant(text(0));
  if (is("FieldExists")) {
    CheckArgumentCount(args, 2, 2);
    return Variant(ado::RecordsetHasField(AsRecordset(args[1]).get(), text(0)));
  }
  if (is("FieldExistsInTable")) {
    for (const Column& column : kColumns) {
      if (EqualsIgnoreCase(column.table, text(1)) &&
          EqualsIgnoreCase(column.name, text(0))) {
        return Variant(true);
      }
    }
    return Variant(false);
  }
  if (is("GetDefaultValue")) {
    if (args.size() == 3) return Lookup(text(0), text(1), text(2));
    if (EqualsIgnoreCase(text(0), "ConvertImagesToBase64")) {
      return convert_images_;
    }
    return Variant::Null();
  }
  if (is("GetValue")) {
    CheckArgumentCount(args, 1, 1);
    const Variant value = Unwrap(args[0]);
    return value.IsNull() ? Variant() : value;
  }
  if (is("FormatCurrency")) return Variant("$" + text(0));
  if (is("GetPath")) return Variant(FolderOf(text(0)));
  if (is("DownloadURLImage")) {
    CheckArgumentCount(args, 3, 3);
    const std::string url = text(0);
    if (!url.ends_with(".png"))
      return Variant("Cannot download \"" + url + "\"");
    static std::atomic<int> downloads = 0;
    args[2] = Variant(WriteScratchFile(
        "download-" + std::to_string(++downloads) + ".png", PictureBytes()));
    return Variant("");
  }
  if (is("OwnedBusinessEntityID")) return Variant("1");
  ThrowNoSuchMember(TypeName(), member);
}

void RegisterNestedEngineDouble() {
  RegisterClass(kEngineProgId, [](const std::shared_ptr<ComponentState>&) {
    return std::make_shared<NestedEngineDouble>();
  });
}

}  // namespace nerolin::fuzz
