#include "nerolin/recordset.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/operators.h"
#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin::ado {
namespace {

RowSet TwoRows() {
  return RowSet{{{"ID", DataType::kInteger}, {"Nombre", DataType::kVarWChar}},
                {{Variant(1), Variant("uno")}, {Variant(2), Variant::Null()}}};
}

TEST(Recordset, WalksForwardAndBackBetweenBofAndEof) {
  auto rs = Recordset::Create(TwoRows());
  EXPECT_FALSE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Value("id"), Variant(1));
  rs->MoveNext();
  EXPECT_EQ(rs->Value(Variant(1)), Variant::Null());
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_AUTOMATION_ERROR(rs->MoveNext(), errors::kBofOrEof);
  EXPECT_AUTOMATION_ERROR(rs->Value("ID"), errors::kBofOrEof);
  rs->MovePrevious();
  EXPECT_EQ(rs->Value("ID"), Variant(2));
  rs->MovePrevious();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  EXPECT_AUTOMATION_ERROR(rs->MovePrevious(), errors::kBofOrEof);
  EXPECT_AUTOMATION_ERROR(rs->Value("ID"), errors::kBofOrEof);
  rs->MoveFirst();
  EXPECT_EQ(rs->Value("ID"), Variant(1));
  rs->MoveLast();
  EXPECT_EQ(rs->Value("ID"), Variant(2));
}

TEST(Recordset, EmptyRecordsetIsAtBothEnds) {
  auto rs = Recordset::Create(RowSet{{{"ID", DataType::kInteger}}, {}});
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_AUTOMATION_ERROR(rs->MoveFirst(), errors::kBofOrEof);
  EXPECT_AUTOMATION_ERROR(rs->MoveNext(), errors::kBofOrEof);
  EXPECT_AUTOMATION_ERROR(rs->Value("ID"), errors::kBofOrEof);
  // The columns are still there.
  EXPECT_EQ(rs->GetFields()->Count(), 1);
}

TEST(Recordset, MissingFieldsAndIndexesOutOfRangeRaise3265) {
  auto rs = Recordset::Create(TwoRows());
  EXPECT_AUTOMATION_ERROR_MSG(rs->GetField("Total"), errors::kItemNotFound,
                              "Total");
  EXPECT_AUTOMATION_ERROR(rs->GetField(Variant(2)), errors::kItemNotFound);
  EXPECT_AUTOMATION_ERROR(rs->GetField(Variant(-1)), errors::kItemNotFound);
  EXPECT_AUTOMATION_ERROR(rs->GetField(Variant()), errors::kItemNotFound);
  EXPECT_EQ(rs->GetField("NOMBRE")->Name(), "Nombre");
}

TEST(Recordset, FieldsFollowTheCursor) {
  auto rs = Recordset::Create(TwoRows());
  auto id = rs->GetField("ID");
  EXPECT_EQ(id, rs->GetField(Variant(0)));  // one object per column
  EXPECT_EQ(id->DefaultValue(), Variant(1));
  rs->MoveNext();
  EXPECT_EQ(id->Value(), Variant(2));
  EXPECT_EQ(id->Type(), DataType::kInteger);
}

TEST(Recordset, EverythingAfterCloseRaises3704) {
  auto rs = Recordset::Create(TwoRows());
  auto field = rs->GetField("ID");
  rs->Close();
  EXPECT_EQ(rs->State(), kStateClosed);
  EXPECT_AUTOMATION_ERROR(rs->Eof(), errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(rs->MoveNext(), errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(rs->MoveFirst(), errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(rs->GetField("ID"), errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(field->Value(), errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(rs->Close(), errors::kObjectClosed);
}

TEST(Recordset, OpenRunsTheSourceAgainFromTheFirstRow) {
  int runs = 0;
  auto rs = Recordset::Create(TwoRows(), "SELECT * FROM t", [&runs] {
    ++runs;
    return RowSet{{{"ID", DataType::kInteger}, {"Nombre", DataType::kVarWChar}},
                  {{Variant(1), Variant("uno")},
                   {Variant(2), Variant::Null()},
                   {Variant(3), Variant("tres")}}};
  });
  rs->MoveNext();
  EXPECT_AUTOMATION_ERROR(rs->Open(), errors::kObjectOpen);
  rs->Close();
  rs->Open();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(rs->State(), kStateOpen);
  EXPECT_EQ(rs->Source(), "SELECT * FROM t");
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Value("ID"), Variant(1));
}

TEST(Recordset, FailedReopenLeavesItClosed) {
  auto rs = Recordset::Create(TwoRows(), "SELECT 1", []() -> RowSet {
    throw AutomationError(-2147217900, "no such table", "");
  });
  rs->Close();
  EXPECT_AUTOMATION_ERROR(rs->Open(), -2147217900);
  EXPECT_EQ(rs->State(), kStateClosed);
}

TEST(Recordset, RowsOfTheWrongWidthAreRejected) {
  EXPECT_AUTOMATION_ERROR(
      Recordset::Create(RowSet{{{"A"}, {"B"}}, {{Variant(1)}}}),
      errors::kInvalidArgument);
}

TEST(Recordset, MembersAreReachableByName) {
  auto rs = Recordset::Create(TwoRows());
  EXPECT_EQ(rs->Get("eof"), Variant(false));
  Variant field = rs->Call("Fields", {Variant("Nombre")});
  EXPECT_EQ(field.AsObject()->Get("Value"), Variant("uno"));
  Variant fields = rs->Get("Fields");
  EXPECT_EQ(fields.AsObject()->Get("Count"), Variant(2));
  EXPECT_EQ(
      fields.AsObject()->Call("Item", {Variant(0)}).AsObject()->Get("Name"),
      Variant("ID"));
  rs->Call("MoveNext");
  rs->Call("MoveNext");
  EXPECT_EQ(rs->Get("EOF"), Variant(true));
}

TEST(Recordset, NamesFindTheFirstColumnWithoutRegardToCase) {
  // Names that differ in case only, or only in their middle bytes.
  std::vector<Column> columns;
  std::vector<Variant> row;
  for (const char* name :
       {"Nombre", "NOMBRE", "nombre", "Importe", "ImporteIVA", "Importe_IVA",
        "I", "", "Descripción", "DESCRIPCIÓN", "CFDIFolioFiscal12345678",
        "CFDIFolioFiscal87654321", "DescuentoX_Importe", "DescuentoY_Importe",
        "ABC", "AXC"}) {
    columns.push_back({name, DataType::kVarWChar});
    row.emplace_back(std::string("value of ") + name);
  }
  const auto rs = Recordset::Create(RowSet(std::move(columns), {row}));
  struct Case {
    const char* name;
    std::int64_t column;
  };
  const Case cases[] = {
      {"Nombre", 0},
      {"NOMBRE", 0},
      {"nombre", 0},
      {"nOmBrE", 0},
      {"Importe", 3},
      {"importeiva", 4},
      {"Importe_IVA", 5},
      {"I", 6},
      {"i", 6},
      {"", 7},
      {"descripción", 8},
      {"DESCRIPCIÓN", 8},
      {"Importe ", -1},
      {"Nombres", -1},
      {"CFDIFolioFiscal87654321", 11},
      // Longer names that share their first and last eight bytes, and
      // short ones that differ only in the middle.
      {"DescuentoX_Importe", 12},
      {"DescuentoY_Importe", 13},
      {"DescuentoZ_Importe", -1},
      {"ABC", 14},
      {"AXC", 15},
      {"AYC", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rs->FindColumn(c.name), c.column);
  }
  // Spelled as a column is, a name still finds the first of its equals.
  EXPECT_EQ(rs->ColumnNamedExactly("NOMBRE"), 0);
  EXPECT_EQ(rs->ColumnNamedExactly("nOmBrE"), -1);
}

TEST(Recordset, ValueAtRaisesAsValueDoes) {
  auto rs = Recordset::Create(TwoRows());
  EXPECT_EQ(rs->ValueAt(1), Variant("uno"));
  EXPECT_AUTOMATION_ERROR(rs->ValueAt(2), errors::kItemNotFound);
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_AUTOMATION_ERROR(rs->ValueAt(0), errors::kBofOrEof);
  rs->Close();
  EXPECT_AUTOMATION_ERROR(rs->ValueAt(0), errors::kObjectClosed);
}

TEST(Recordset, SharedRowsServeSeveralRecordsets) {
  const auto rows = std::make_shared<const RowSet>(TwoRows());
  const auto first = Recordset::CreateShared(rows);
  const auto second = Recordset::CreateShared(
      rows, "again", [] { return std::make_shared<const RowSet>(TwoRows()); });
  first->MoveNext();
  EXPECT_EQ(first->Value("ID"), Variant(2));
  EXPECT_EQ(second->Value("ID"), Variant(1));
  second->Close();
  second->Open();
  EXPECT_EQ(second->RecordCount(), 2);
  EXPECT_EQ(first->Value("Nombre"), Variant::Null());
}

TEST(RowSet, GivesBackEveryValueAsItWasAdded) {
  const std::string with_nuls("a\0b\0", 4);
  const std::string huge(16 << 20, 'x');
  const Variant values[] = {
      Variant::Null(),
      Variant(),
      Variant(""),
      Variant(with_nuls),
      Variant(std::numeric_limits<std::int64_t>::max()),
      Variant(std::numeric_limits<std::int64_t>::min()),
      Variant(std::numeric_limits<std::int32_t>::min()),
      Variant(std::int16_t{-7}),
      Variant(-0.5),
      Variant(Currency{-123456789}),
      Variant(Date::FromParts(2024, 2, 29, 23, 59, 59)),
      Variant(true),
      Variant(false),
      Variant(huge),
      Variant(VariantArray{Variant(1), Variant("dos")}),
  };
  std::vector<Column> columns(std::size(values), Column{"C"});
  RowSetBuilder builder(columns);
  for (int row = 0; row < 2; ++row) {
    for (const Variant& value : values) builder.Add(value);
    builder.EndRow();
  }
  const RowSet rows = builder.Finish();
  ASSERT_EQ(rows.size(), 2u);
  for (std::size_t row = 0; row < 2; ++row) {
    for (std::size_t c = 0; c < std::size(values); ++c) {
      SCOPED_TRACE(c);
      EXPECT_EQ(rows.Value(row, c), values[c]);
    }
  }
  // The second row's texts are the first row's, held once.
  EXPECT_LT(rows.bytes_held(), 2 * huge.size());
}

TEST(RowSet, TextRepeatedDownAColumnIsHeldOnce) {
  const std::string header(1000, 'h');
  RowSetBuilder builder({{"Header"}, {"Line"}});
  for (int i = 0; i < 1000; ++i) {
    builder.AddText(header);
    builder.AddText("line " + std::to_string(i));
    builder.EndRow();
  }
  const RowSet rows = builder.Finish();
  EXPECT_LT(rows.bytes_held(), 200'000u);
  EXPECT_EQ(rows.Value(999, 0), Variant(header));
  EXPECT_EQ(rows.Value(999, 1), Variant("line 999"));
}

TEST(RowSetBuilder, DropsARowOfTheWrongWidthAndGoesOn) {
  RowSetBuilder builder({{"A"}, {"B"}});
  builder.AddText("lost");
  EXPECT_AUTOMATION_ERROR(builder.EndRow(), errors::kInvalidArgument);
  builder.AddLong(1);
  builder.AddText("kept");
  builder.EndRow();
  builder.AddLong(2);
  builder.AddLong(3);
  builder.AddLong(4);
  EXPECT_AUTOMATION_ERROR(builder.EndRow(), errors::kInvalidArgument);
  const RowSet rows = builder.Finish();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.Value(0, 0), Variant(1));
  EXPECT_EQ(rows.Value(0, 1), Variant("kept"));
}

TEST(RowSetBuilder, RowsAcrossBlockEdgesAndADroppedRowKeepEveryValue) {
  // Three cells a row: rows straddle the edges of the cell blocks.
  RowSetBuilder builder({{"ID"}, {"Header"}, {"Line"}});
  for (int i = 0; i < 3000; ++i) {
    builder.AddLong(i);
    builder.AddText("header");
    builder.AddText(i % 2 == 0 ? "even" : "odd");
    builder.EndRow();
    if (i == 10) {
      builder.AddText("header");
      EXPECT_AUTOMATION_ERROR(builder.EndRow(), errors::kInvalidArgument);
    }
  }
  const RowSet rows = builder.Finish();
  ASSERT_EQ(rows.size(), 3000u);
  for (int i = 0; i < 3000; ++i) {
    const auto row = static_cast<std::size_t>(i);
    ASSERT_EQ(rows.Value(row, 0), Variant(i)) << i;
    ASSERT_EQ(rows.Value(row, 1), Variant("header")) << i;
    ASSERT_EQ(rows.Value(row, 2), Variant(i % 2 == 0 ? "even" : "odd")) << i;
  }
}

TEST(RowSetBuilder, AColumnThatChangesLateKeepsTheValuesAboveIt) {
  // "Late" changes after 2,500 equal rows; "Zero" keeps the sign of its
  // zero; "Same" never changes and holds one cell.
  RowSetBuilder builder({{"Late"}, {"Zero"}, {"Same"}, {"Gap"}});
  for (int i = 0; i < 3000; ++i) {
    builder.AddText(i < 2500 ? "antes" : "despues");
    builder.AddDouble(i % 2 == 0 ? 0.0 : -0.0);
    builder.AddText("encabezado");
    if (i == 1) {
      builder.AddNull();
    } else {
      builder.AddLong(7);
    }
    builder.EndRow();
  }
  const RowSet rows = builder.Finish();
  for (std::size_t row = 0; row < 3000; ++row) {
    ASSERT_EQ(rows.Value(row, 0), Variant(row < 2500 ? "antes" : "despues"))
        << row;
    ASSERT_EQ(std::signbit(rows.Value(row, 1).AsDouble()), row % 2 == 1) << row;
    ASSERT_EQ(rows.Value(row, 2), Variant("encabezado")) << row;
    ASSERT_EQ(rows.Value(row, 3).IsNull(), row == 1) << row;
  }
  // Three columns of cells, not four.
  EXPECT_LT(rows.bytes_held(), 3 * 3000 * 16 + 4096);
}

TEST(Recordset, RowsWithoutColumnsStillMove) {
  RowSetBuilder builder({});
  builder.EndRow();
  builder.EndRow();
  auto rs = Recordset::Create(builder.Finish());
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->GetFields()->Count(), 0);
  EXPECT_AUTOMATION_ERROR(rs->Value(Variant(0)), errors::kItemNotFound);
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(Recordset::Create(RowSet())->Eof());
}

TEST(Recordset, ValueAtFollowsTheCursorAndARequeryOfAnotherShape) {
  int runs = 0;
  auto rs = Recordset::Create(
      RowSet({{"Nombre"}},
             {{Variant("un texto largo de más de quince")}, {Variant("dos")}}),
      "SELECT * FROM t", [&runs] {
        // The table gained a column meanwhile, and then lost two.
        if (++runs > 1) return RowSet({{"Nombre"}}, {{Variant("otro")}});
        return RowSet({{"ID"}, {"Nombre"}, {"Nuevo"}},
                      {{Variant(1), Variant("uno"), Variant(10.5)}});
      });
  EXPECT_EQ(rs->ValueAt(0), Variant("un texto largo de más de quince"));
  rs->MoveNext();
  EXPECT_EQ(rs->ValueAt(0), Variant("dos"));
  rs->MovePrevious();
  EXPECT_EQ(rs->ValueAt(0), Variant("un texto largo de más de quince"));
  const auto name = rs->GetField("Nombre");
  rs->Close();
  rs->Open();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(rs->GetFields()->Count(), 3);
  EXPECT_EQ(rs->ValueAt(2), Variant(10.5));
  EXPECT_EQ(rs->Value("Nombre"), Variant("uno"));
  EXPECT_EQ(rs->ValueAt(0), Variant(1));
  // A field of a column that the next requery no longer has raises.
  const auto nuevo = rs->GetField("Nuevo");
  rs->Close();
  rs->Open();
  EXPECT_EQ(name->Name(), "Nombre");
  EXPECT_EQ(name->Value(), Variant("otro"));
  EXPECT_AUTOMATION_ERROR(nuevo->Value(), errors::kItemNotFound);
  EXPECT_AUTOMATION_ERROR(nuevo->Name(), errors::kItemNotFound);
  EXPECT_AUTOMATION_ERROR(nuevo->Type(), errors::kItemNotFound);
}

// An operator beside an object that, asked for its value, opens the rows
// again with more columns, which frees the other operand, a value of the
// rows, where it stood; the object comes first or second.
TEST(Recordset, AValueBesideAnObjectThatOpensTheRowsAgainIsReadWhole) {
  const auto apply = [](auto operation, bool object_first = false) {
    auto object = std::make_shared<testing::ReopeningFieldLike>(Variant("b"));
    const std::string text = "a text longer than fifteen bytes";
    std::vector<Column> columns{{"Text"}};
    auto rows = Recordset::Create(
        RowSet(columns, {{Variant(text)}}), "", [columns, text]() mutable {
          std::vector<Variant> values{Variant(text)};
          for (int extra = 0; extra < 63; ++extra) {
            columns.push_back({"Extra" + std::to_string(extra)});
            values.emplace_back(extra);
          }
          return RowSet(columns, {values});
        });
    object->rows = rows;
    const Variant object_value{ObjectRef(object)};
    if (object_first) return operation(object_value, rows->ValueAt(0));
    return operation(rows->ValueAt(0), object_value);
  };
  EXPECT_EQ(
      apply([](const Variant& a, const Variant& b) { return Concat(a, b); }),
      Variant("a text longer than fifteen bytesb"));
  EXPECT_EQ(apply([](const Variant& a, const Variant& b) { return Add(a, b); }),
            Variant("a text longer than fifteen bytesb"));
  EXPECT_EQ(apply([](const Variant& a, const Variant& b) {
              return Variant(Compare(a, b));
            }),
            Variant(-1));
  EXPECT_EQ(apply([](const Variant& a,
                     const Variant& b) { return Variant(Compare(a, b)); },
                  true),
            Variant(1));
}

TEST(RecordsetHasField, AnswersFalseInsteadOfRaising) {
  auto rs = Recordset::Create(TwoRows());
  EXPECT_TRUE(RecordsetHasField(rs.get(), "nombre"));
  EXPECT_FALSE(RecordsetHasField(rs.get(), "Importe"));
  EXPECT_FALSE(RecordsetHasField(nullptr, "ID"));
  rs->Close();
  EXPECT_FALSE(RecordsetHasField(rs.get(), "ID"));
}

}  // namespace
}  // namespace nerolin::ado
