// A header block holding 50 addenda placeholders, filled with
// FindMatchIfFieldDoesntExists on, as an invoice's addenda section is: every
// name misses the row and the document tables and is found as a stored
// statement (a query or a ConcatRelated call) or as an addenda definition
// item of one of the six module types, some translated through a pick list
// or a simple list. Nothing is cached between placeholders, so the figures
// that matter are the placeholders per second and the statements each one
// issues; both are reported, the statements counted by a wrapper around the
// SQLite host library object (FieldExistsInTable answers, which the library
// takes from its schema cache, are counted apart).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "automation/vb_text.h"
#include "bench_support.h"
#include "component/component_state.h"
#include "fields/fill_fields.h"
#include "nerolin/message_sink.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"

namespace {

using nerolin::Arguments;
using nerolin::InvokeKind;
using nerolin::ObjectRef;
using nerolin::Variant;

constexpr int kPlaceholders = 50;

struct Counts {
  std::int64_t statements = 0;
  std::int64_t schema_questions = 0;
};

// Passes every call on to `inner`, counting those that run SQL.
class CountingObject : public nerolin::Object {
 public:
  CountingObject(ObjectRef inner, Counts& counts)
      : inner_(std::move(inner)), counts_(counts) {}

  std::string_view TypeName() const override { return inner_->TypeName(); }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (nerolin::EqualsIgnoreCase(member, "FieldExistsInTable")) {
      ++counts_.schema_questions;
    } else if (nerolin::EqualsIgnoreCase(member, "GetRecordset") ||
               nerolin::EqualsIgnoreCase(member, "DLookup") ||
               nerolin::EqualsIgnoreCase(member, "DLookUpValue") ||
               nerolin::EqualsIgnoreCase(member, "ExecuteScalar") ||
               nerolin::EqualsIgnoreCase(member, "GetDefaultValue")) {
      ++counts_.statements;
    }
    Variant result = inner_->Invoke(member, kind, args);
    // The data layer is wrapped too, so its statements are counted.
    if (nerolin::EqualsIgnoreCase(member, "Datalayer") && result.IsObject()) {
      return Variant(ObjectRef(
          std::make_shared<CountingObject>(result.AsObject(), counts_)));
    }
    return result;
  }

 private:
  ObjectRef inner_;
  Counts& counts_;
};

// The placeholder names, ten kinds of source taken in turn.
std::string Name(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "Dato%02d", i);
  return name;
}

// Document 7 of customer 30, issued by company 5, with three lines and a
// Carta Porte vehicle (900); customer 30's addenda definition 1 holds an
// item for each placeholder that is no stored statement.
std::string HostScript() {
  std::ostringstream script;
  script << std::ifstream(NEROLIN_SOURCE_DIR "/data/schema.sql").rdbuf();
  script << R"sql(
    INSERT INTO engParameter VALUES ('OwnedBusinessEntityID', '5');
    INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
      OwnedBusinessEntityID, Serie, Folio) VALUES (7, 1, 30, 5, 'A', '1001');
    INSERT INTO docDocumentItem (DocumentItemID, DocumentID, LineNumber,
      ProductID) VALUES (70, 7, 1, 500), (71, 7, 2, 501), (72, 7, 3, 502);
    INSERT INTO docRel (ID, LineNumber, CFDIFolioFiscal) VALUES
      (7, 1, 'UUID-1'), (7, 2, 'UUID-2'), (7, 3, 'UUID-3');
    INSERT INTO orgCustomer (BusinessEntityID, OwnedBusinessEntityID,
      AddendaDefinicionID) VALUES (30, 5, 1);
    INSERT INTO engAddendaDefinicion (AddendaDefinicionID, Nombre)
      VALUES (1, 'Cliente');
    INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
      AddendaDefinicionID, Referencia, ModuleTypeID)
      VALUES (1000, 1, 'CartaPorte_AutotransporteID', 2);
    INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor)
      VALUES (1000, 7, '900');
  )sql";
  for (int i = 0; i < kPlaceholders; ++i) {
    const std::string name = Name(i);
    const std::string id = std::to_string(100 + i);
    // Module type and the owner its value is stored for.
    int type = 0;
    std::string owner;
    std::string lists = "NULL, NULL";
    switch (i % 10) {
      case 0:
        type = 1;
        owner = "30";
        break;
      case 1:
        type = 2;
        owner = "7";
        break;
      case 2:
        type = 3;
        owner = "500";
        break;
      case 3:
        type = 4;
        owner = "70";
        break;
      case 4:
        type = 5;
        owner = "5";
        break;
      case 5:
        type = 2;
        owner = "7";
        lists = "'1=Uno;2=Dos;V=Valor', NULL";
        break;
      case 6:
        // No known type: only the pick list, over the default text.
        type = 9;
        lists = "NULL, 'Lista'";
        script << "INSERT INTO engRefCombo (cboGroupName, Custom1, ItemValue) "
                  "VALUES ('Lista', '??"
               << name
               << "?"
                  "?', 'de la lista');\n";
        break;
      case 7:
        type = 6;
        owner = "900";
        break;
      case 8:
        script << "INSERT INTO engAddendaFieldRef (FieldRefKey, SQL) VALUES ('"
               << name
               << "', 'SELECT Folio FROM docDocument WHERE DocumentID = "
                  "{DOCUMENTID}');\n";
        continue;
      case 9:
        script << "INSERT INTO engAddendaFieldRef (FieldRefKey, SQL) VALUES ('"
               << name
               << "', 'ConcatRelated(\"CFDIFolioFiscal\", \"docRel\", "
                  "\"ID = {DOCUMENTID}\", \"LineNumber\")');\n";
        continue;
    }
    script << "INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID, "
              "AddendaDefinicionID, Referencia, ModuleTypeID, ListaSencilla, "
              "ClaveLista) VALUES ("
           << id << ", 1, '" << name << "', " << type << ", " << lists
           << ");\n";
    if (!owner.empty()) {
      script << "INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, "
                "Valor) VALUES ("
             << id << ", " << owner << ", '"
             << (i % 10 == 5 ? std::string("V") : "valor " + name) << "');\n";
    }
  }
  return script.str();
}

class BenchDatabase {
 public:
  BenchDatabase() : folder_("fiscal"), path_(folder_.File("host.db")) {
    nerolin::bench::BuildDatabase(path_, HostScript());
  }
  const std::string& path() const { return path_; }

 private:
  nerolin::bench::ScratchFolder folder_;
  std::string path_;
};

std::string HeaderBlock(int placeholders) {
  std::string block = "<table class=\"addenda\">\n";
  for (int i = 0; i < placeholders; ++i) {
    block += "<tr><td>" + Name(i) + "</td><td>[" + Name(i) + "]</td></tr>\n";
  }
  block += "</table>\n";
  return block;
}

void BM_FillAddendaHeaderBlock(benchmark::State& bench) {
  static const BenchDatabase database;
  Counts counts;
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(database.path());
  auto state = std::make_shared<nerolin::ComponentState>();
  state->set_host_library(std::make_shared<CountingObject>(library, counts));
  state->set_find_match_if_field_doesnt_exists(true);
  auto sink = std::make_shared<nerolin::CapturingMessageSink>();
  state->set_message_sink(sink);

  const auto header = nerolin::ado::Recordset::Create(nerolin::ado::RowSet(
      {{"ID"}, {"Folio"}}, {{Variant(7), Variant("1001")}}));
  const int count = static_cast<int>(bench.range(0));
  const std::string block = HeaderBlock(count);

  // Every placeholder must have found its value, or the figures mean
  // nothing.
  std::string filled = block;
  nerolin::fields::FillFields(state, filled, header, nullptr);
  if (filled.find("??") != std::string::npos ||
      filled.find("<td></td>") != std::string::npos ||
      !sink->messages.empty()) {
    std::fprintf(stderr, "unexpected fill:\n%s\n", filled.c_str());
    std::abort();
  }

  counts = {};
  for (auto _ : bench) {
    std::string text = block;
    nerolin::fields::FillFields(state, text, header, nullptr);
    benchmark::DoNotOptimize(text);
  }
  const double placeholders = static_cast<double>(bench.iterations()) * count;
  bench.SetItemsProcessed(bench.iterations() * count);
  bench.counters["statements_per_placeholder"] =
      static_cast<double>(counts.statements) / placeholders;
  bench.counters["schema_questions_per_placeholder"] =
      static_cast<double>(counts.schema_questions) / placeholders;
}
// 50 is the block to judge by; 25 shows how the cost per placeholder
// changes when the block's statements fit the library's statement cache.
BENCHMARK(BM_FillAddendaHeaderBlock)
    ->Arg(25)
    ->Arg(kPlaceholders)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
