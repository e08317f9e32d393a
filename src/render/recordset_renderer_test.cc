#include "render/recordset_renderer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/cls_main.h"
#include "nerolin/recordset.h"
#include "render/render_testing.h"

namespace nerolin::render {
namespace {

using ado::Column;
using ado::DataType;
using ado::Recordset;
using ado::RowSetBuilder;
using testing::Text;

constexpr std::string_view kDetailOnly = "<DETAIL>d[ID];</DETAIL>";

class RecordsetRendererTest : public testing::RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    UseDatabase(
        "CREATE TABLE Sales (ID INTEGER, A INTEGER, B TEXT, Amount REAL);"
        "INSERT INTO Sales VALUES (1, 1, 'x', 10), (2, 1, 'y', 20),"
        " (3, 2, 'y', 40);");
  }

  Variant Render(const std::shared_ptr<Recordset>& rows,
                 const std::string& template_path,
                 const std::string& destination = {}) {
    return engine_->GetHTMLBasedOnRecordset(rows, Variant(template_path),
                                            Variant(destination));
  }
};

// Rows of ID, TipoComprobante33 and IsConsignmentNote; without the voucher
// type column when `with_voucher_type` is false.
std::shared_ptr<Recordset> FiscalRows(
    const std::vector<std::pair<Variant, Variant>>& rows,
    bool with_voucher_type = true) {
  std::vector<Column> columns{Column{"ID", DataType::kInteger}};
  if (with_voucher_type) {
    columns.push_back(Column{"TipoComprobante33", DataType::kVarWChar});
  }
  columns.push_back(Column{"IsConsignmentNote", DataType::kBoolean});
  RowSetBuilder set(std::move(columns));
  int id = 0;
  for (const auto& [voucher_type, note] : rows) {
    set.AddLong(++id);
    if (with_voucher_type) set.Add(voucher_type);
    set.Add(note);
    set.EndRow();
  }
  return Recordset::Create(set.Finish());
}

TEST_F(RecordsetRendererTest, FillsHeaderEveryDetailAndFooterInOrder) {
  const std::string path =
      WriteTemplate("<h1>[B]</h1><DETAIL><p>[ID] [B]</p></DETAIL><i>[B]</i>");
  EXPECT_EQ(Text(Render(Rows("SELECT * FROM Sales ORDER BY ID"), path)),
            "<h1>x</h1><p>1 x</p><p>2 y</p><p>3 y</p><i>x</i>");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordsetRendererTest, GroupFootersComeOnceWithTheFirstRowAndNoHeader) {
  const std::string path = WriteTemplate(
      "H<GROUPH GA [A]>hA[A];</GROUPH GA><GROUPH GB [B]>hB[B];</GROUPH GB>"
      "<DETAIL>d[ID];</DETAIL><GROUPF GB [B]>fB[B];</GROUPF GB>"
      "<GROUPF GA [A]>fA[A]:[SUM(Amount)];</GROUPF GA>F");
  const auto rows = Rows("SELECT * FROM Sales ORDER BY ID");
  EXPECT_EQ(Text(Render(rows, path)), "Hd1;d2;d3;fBx;fA1:0;F");
  // The cursor is left on the first row, open.
  EXPECT_EQ(CStr(rows->Value(Variant("ID"))), "1");
}

TEST_F(RecordsetRendererTest, NoRowsGivesNoHayRegistroAndDeletesTheOldReport) {
  const std::string destination = dir_.Write("old.html", "old report");
  const std::string path = WriteTemplate(kDetailOnly);
  EXPECT_EQ(
      Text(Render(Rows("SELECT * FROM Sales WHERE ID=0"), path, destination)),
      "No hay registro");
  EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(RecordsetRendererTest, EmptyTemplatePathGivesEmptyAndTouchesNothing) {
  const std::string destination = dir_.Write("old.html", "old report");
  EXPECT_TRUE(Render(Rows("SELECT * FROM Sales"), "", destination).IsEmpty());
  EXPECT_TRUE(std::filesystem::exists(destination));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordsetRendererTest, DetailFilterFollowsVoucherTypeAndExtraDetail) {
  const Variant kNull = Variant::Null();
  const std::vector<std::pair<Variant, Variant>> ordinary = {
      {Variant("I - Ingreso"), Variant(false)},
      {Variant("I - Ingreso"), Variant(true)},
      {Variant("I - Ingreso"), kNull},
      {Variant("t - traslado"), Variant(false)},
      {Variant("I - Ingreso"), Variant(0)},
  };
  const std::vector<std::pair<Variant, Variant>> transfer = {
      {Variant("T - Traslado"), Variant(false)},
      {Variant("T - Traslado"), Variant(true)},
      {Variant("T -Traslado"), kNull},
      {kNull, Variant(true)},
  };
  struct Case {
    std::string name;
    const std::vector<std::pair<Variant, Variant>>& rows;
    bool with_voucher_type;
    bool is_extra_detail;
    std::string extra_detail_id;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"ordinary, main detail", ordinary, true, false, "", "d1;d4;d5;"},
      {"ordinary, transport complement", ordinary, true, true,
       "complementocartaporte_1", "d2;"},
      {"ordinary, another extra detail", ordinary, true, true, "otro_1", ""},
      {"transfer, main detail", transfer, true, false, "", "d1;d2;d3;d4;"},
      {"transfer, transport complement", transfer, true, true,
       "complementocartaporte_1", "d2;d4;"},
      {"no voucher type, main detail", ordinary, false, false, "",
       "d1;d2;d3;d4;d5;"},
      {"no voucher type, extra detail", ordinary, false, true, "otro_1",
       "d1;d2;d3;d4;d5;"},
  };
  const std::string path = WriteTemplate(kDetailOnly);
  for (const Case& c : cases) {
    for (bool sdk : {false, true}) {
      SCOPED_TRACE(c.name + (sdk ? " (SDK)" : ""));
      bool is_extra_detail = c.is_extra_detail;
      std::string id = c.extra_detail_id;
      const auto rows = FiscalRows(c.rows, c.with_voucher_type);
      const Variant result =
          sdk ? engine_->SDKGetHTMLBasedOnRecordset(
                    rows, Variant(path), Variant(""), is_extra_detail, id)
              : engine_->GetHTMLBasedOnRecordset(
                    rows, Variant(path), Variant(""), is_extra_detail, id);
      EXPECT_EQ(Text(result), c.expected);
      EXPECT_EQ(is_extra_detail, c.is_extra_detail);
      EXPECT_EQ(id, c.extra_detail_id);
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordsetRendererTest, FailuresShowTheirDescriptionAndGiveEmpty) {
  const std::string path = WriteTemplate(kDetailOnly);
  const std::string missing = dir_.File("missing.html");
  auto closed = Rows("SELECT * FROM Sales");
  closed->Close();
  struct Case {
    std::string name;
    std::shared_ptr<Recordset> rows;
    std::string template_path;
    bool is_extra_detail;
    std::string extra_detail_id;
    std::string message;
    bool deletes_old_report;
  };
  const std::vector<Case> cases = {
      {"closed recordset", closed, path, false, "",
       "Operation is not allowed when the object is closed.", true},
      {"no recordset", nullptr, path, false, "",
       "Object variable or With block variable not set: no recordset was "
       "given to render " +
           path,
       true},
      {"missing template", Rows("SELECT * FROM Sales"), missing, false, "",
       "File not found: " + missing, false},
      {"missing group column", Rows("SELECT * FROM Sales"),
       WriteTemplate("<GROUPH G [Nope]>h</GROUPH G>" + std::string(kDetailOnly),
                     "group.html"),
       false, "",
       "Item cannot be found in the collection corresponding to the requested "
       "name or ordinal. (Nope): the group \"G\" reads the column \"Nope\", "
       "which the rows do not have",
       true},
      {"extra-detail id without underscore",
       FiscalRows({{Variant("I - Ingreso"), Variant(true)}}), path, true,
       "complementocartaporte",
       "Invalid procedure call or argument: the extra-detail id "
       "\"complementocartaporte\" has no \"_\" after the kind of extra "
       "detail",
       true},
      {"unclosed sum placeholder", Rows("SELECT * FROM Sales"),
       WriteTemplate("<GROUPH G [A]>[SUM(Amount</GROUPH G>", "sum.html"), false,
       "",
       "Invalid procedure call or argument: the sum placeholder "
       "\"[SUM(Amount\" has no closing \")\"",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink_->messages.clear();
    const std::string destination = dir_.Write("old.html", "old");
    bool is_extra_detail = c.is_extra_detail;
    std::string id = c.extra_detail_id;
    const Variant result = engine_->GetHTMLBasedOnRecordset(
        c.rows, Variant(c.template_path), Variant(destination), is_extra_detail,
        id);
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    // The old report goes once the template is split, before any row is
    // read.
    EXPECT_EQ(std::filesystem::exists(destination), !c.deletes_old_report);
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// A host library whose FieldExists moves the rows it is asked about back to
// the first one, the first `moves` times.
class RewindingLibrary : public Object {
 public:
  RewindingLibrary(ObjectRef inner, int moves)
      : inner_(std::move(inner)), moves_(moves) {}

  std::string_view TypeName() const override { return inner_->TypeName(); }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (EqualsIgnoreCase(member, "FieldExists") && moves_ > 0 &&
        args.size() == 2 && args[1].IsObject()) {
      --moves_;
      std::dynamic_pointer_cast<Recordset>(args[1].AsObject())->MoveFirst();
    }
    return inner_->Invoke(member, kind, args);
  }

 private:
  ObjectRef inner_;
  int moves_;
};

TEST_F(RecordsetRendererTest, AHostThatMovesTheRowsBackEndsTheWalk) {
  const std::string path = WriteTemplate(kDetailOnly);
  const auto rows = Rows("SELECT * FROM Sales ORDER BY ID");
  engine_->SetNerolinLib(std::make_shared<RewindingLibrary>(library_, 1000));
  EXPECT_TRUE(Render(rows, path).IsEmpty());
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"The row walk of " + path +
                                     " went past the last of its 3 rows"});
}

TEST_F(RecordsetRendererTest,
       AVoucherTypeThatOpensTheRowsAgainIsComparedWhole) {
  const std::string path = WriteTemplate(kDetailOnly);
  // Opened again, the rows have more columns than before.
  auto voucher_type = std::make_shared<nerolin::testing::ReopeningFieldLike>(
      Variant("I - Ingreso"));
  std::vector<Column> columns{
      {"ID"}, {"TipoComprobante33"}, {"IsConsignmentNote"}};
  const auto rows = Recordset::Create(
      ado::RowSet(columns,
                  {{Variant(1), Variant(voucher_type), Variant(false)}}),
      "", [columns]() mutable {
        std::vector<Variant> row{Variant(2), Variant("I - Ingreso"),
                                 Variant(false)};
        for (int extra = 0; extra < 61; ++extra) {
          columns.push_back({"Extra" + std::to_string(extra)});
          row.emplace_back(extra);
        }
        return ado::RowSet(columns, {row});
      });
  voucher_type->rows = rows;
  EXPECT_EQ(Text(Render(rows, path)), "d2;");
  EXPECT_TRUE(Messages().empty());
}

// A row value whose first reading runs `on_read`, as a host's object may.
class HookedFieldLike : public nerolin::testing::FieldLike {
 public:
  HookedFieldLike(Variant value, std::function<void()> on_read)
      : FieldLike(std::move(value)), on_read_(std::move(on_read)) {}
  Variant DefaultValue() override {
    if (const auto run = std::exchange(on_read_, nullptr)) run();
    return FieldLike::DefaultValue();
  }

 private:
  std::function<void()> on_read_;
};

TEST_F(RecordsetRendererTest, ANestedReportWhoseRowIdMovesTheFolderIsWhole) {
  UseDatabase(
      "CREATE TABLE Lines (ID INTEGER, LineNumber INTEGER, Item TEXT);"
      "INSERT INTO Lines VALUES (2, 2, 'nut'), (2, 1, 'bolt');",
      "lines.db");
  const std::string lines = WriteTemplate("<DETAIL>[Item];</DETAIL>", "l.html");
  std::filesystem::create_directory(dir_.path() / "elsewhere");
  const std::string elsewhere = WriteTemplate("x", "elsewhere/e.html");
  // The folder of the last template GetHTML opened is where the nested
  // template is looked for.
  engine_->GetHTML(Variant("SELECT * FROM Lines"), Variant(lines), Variant(""));
  // Reading the row's ID makes a report from another folder.
  const ObjectRef id = std::make_shared<HookedFieldLike>(Variant(2), [&] {
    engine_->GetHTML(Variant("SELECT * FROM Lines"), Variant(elsewhere),
                     Variant(""));
  });
  const auto rows = Recordset::Create(ado::RowSet({{"ID"}}, {{Variant(id)}}));
  const std::string path =
      WriteTemplate("<DETAIL>[HTML(l.html,Lines)]</DETAIL>", "main.html");
  EXPECT_EQ(Text(Render(rows, path)), "bolt;nut;");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordsetRendererTest, PicturesBesideTheTemplateAreEmbedded) {
  dir_.Write("logo.png", "PNG");
  const std::string path = WriteTemplate(
      "<img src=\"logo.png\"><DETAIL>[ID]</DETAIL>\xC3\xB1", "pic.html");
  EXPECT_EQ(Text(Render(Rows("SELECT * FROM Sales ORDER BY ID"), path)),
            "<img src=\"data:image/png;base64,UE5H\">123&ntilde;");
}

TEST_F(RecordsetRendererTest, BinaryJunkTemplateEndsInAResultOrAMessage) {
  std::mt19937 random(20240131);
  const std::vector<std::string> pieces = {
      "<GROUPH G [A]>", "</GROUPH G>", "<DETAIL>", "</DETAIL>", "[SUM(",
      "<GROUPF G [A]>", "</GROUPF G>", "[",        "]",         "[ID]",
      "<img src=\"",    "\"",          "\r\n",     "<GROUPH ",  "extradetail"};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::string junk;
    while (junk.size() < 64 * 1024) {
      if (random() % 16 == 0) {
        junk += pieces[random() % pieces.size()];
      } else {
        junk += static_cast<char>(random() % 256);
      }
    }
    sink_->messages.clear();
    const Variant result =
        Render(Rows("SELECT * FROM Sales"), WriteTemplate(junk, "junk.html"));
    EXPECT_TRUE(result.IsString() || !sink_->messages.empty());
  }
}

TEST_F(RecordsetRendererTest, FiftyMegabyteTemplateRendersWhole) {
  std::string big;
  const std::string line = "<p>L\xC3\xADnea del encabezado del informe</p>\r\n";
  big.reserve(51 * 1024 * 1024);
  while (big.size() < 50 * 1024 * 1024) big += line;
  const std::size_t lines = big.size() / line.size();
  big += "<DETAIL>d[ID];</DETAIL>fin";
  const std::string path = WriteTemplate(big, "big.html");
  big.clear();
  big.shrink_to_fit();

  const std::string report =
      Text(Render(Rows("SELECT * FROM Sales ORDER BY ID"), path));
  const std::string encoded_line =
      "<p>L&iacute;nea del encabezado del informe</p>";
  ASSERT_EQ(report.size(), lines * encoded_line.size() + 12);
  EXPECT_EQ(report.substr(0, encoded_line.size()), encoded_line);
  EXPECT_EQ(report.substr(report.size() - 12), "d1;d2;d3;fin");
}

}  // namespace
}  // namespace nerolin::render
