#include "render/sql_renderer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "component/report_engine.h"
#include "nerolin/cls_main.h"
#include "nerolin/recordset.h"
#include "render/render_testing.h"
#include "support/forwarding_engine.h"

namespace nerolin::render {
namespace {

using testing::Text;

// Row 4 holds Null in every column a group may read but B.
constexpr std::string_view kSales =
    "CREATE TABLE Sales (ID INTEGER, A INTEGER, B TEXT, Amount REAL,"
    " Day DATE, Customer TEXT, Flag BOOLEAN, Data BLOB);"
    "INSERT INTO Sales VALUES"
    " (1, 1, 'x', 10, '2024-01-31', 'O''Brien', 1, x'01'),"
    " (2, 1, 'y', 20, '2024-01-31', 'O''Brien', 0, x'01'),"
    " (3, 2, 'y', 40, '2024-02-01', 'Ana', 1, x'02'),"
    " (4, NULL, 'z', 5, NULL, NULL, NULL, NULL);";

constexpr std::string_view kFirstThree = "SELECT * FROM Sales WHERE ID<=3";

// Two group levels with headers and footers around the detail.
constexpr std::string_view kTwoLevels =
    "H|<GROUPH GA [A]>hA[A];</GROUPH GA><GROUPH GB [B]>hB[B];</GROUPH GB>"
    "<DETAIL>d[ID];</DETAIL><GROUPF GB [B]>fB[B];</GROUPF GB>"
    "<GROUPF GA [A]>fA[A];</GROUPF GA>|F";
constexpr std::string_view kTwoLevelsOutput =
    "H|hA1;hBx;d1;fBx;hBy;d2;fA1;hA2;d3;fBx;fA1;|F";

class SqlRendererTest : public testing::RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    UseDatabase(kSales);
  }

  Variant GetHTML(std::string_view sql, const std::string& template_path,
                  const std::string& destination = {}) {
    library_->datalayer().statements.clear();
    return engine_->GetHTML(Variant(sql), Variant(template_path),
                            Variant(destination));
  }
  Variant GetHTML3(std::string_view sql, std::string_view template_text) {
    library_->datalayer().statements.clear();
    return engine_->GetHTML3(Variant(sql), Variant(template_text));
  }
};

TEST_F(SqlRendererTest, EveryChangeOfAGroupValueClosesAndOpensInstances) {
  EXPECT_EQ(Text(GetHTML(kFirstThree, WriteTemplate(kTwoLevels))),
            kTwoLevelsOutput);
  EXPECT_EQ(Statements(), std::vector<std::string>{std::string(kFirstThree) +
                                                   " ORDER BY [A],[B]"});
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, RowsAreOrderedByGroupsThenByTheStatementsOwnOrder) {
  struct Case {
    std::string sql;
    std::string groups;
    std::string sent;
    std::string output;
  };
  const std::string all = "SELECT * FROM Sales WHERE ID<=3 ";
  const std::vector<Case> cases = {
      {all + "order by ID DESC", "<GROUPH G [A]></GROUPH G>",
       all + " ORDER BY [A],ID DESC", "d2;d1;d3;"},
      {all + "Order By ID DESC", "", all + " ORDER BY ID DESC", "d3;d2;d1;"},
      {all + "ORDER BY Amount", "", all + " ORDER BY Amount", "d1;d2;d3;"},
      {all + "ORDER BY ID DESC", "<GROUPH G [B]></GROUPH G>",
       all + " ORDER BY [B],ID DESC", "d1;d3;d2;"},
      {all + "ORDER BY ID DESC",
       "<GROUPH G1 [B]></GROUPH G1><GROUPH G2 A></GROUPH G2>",
       all + " ORDER BY [B],A,ID DESC", "d1;d2;d3;"},
      {"SELECT * FROM Sales WHERE ID<=3", "", "SELECT * FROM Sales WHERE ID<=3",
       "d1;d2;d3;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql + " / " + c.groups);
    const std::string path =
        WriteTemplate(c.groups + "<DETAIL>d[ID];</DETAIL>");
    EXPECT_EQ(Text(GetHTML(c.sql, path)), c.output);
    ASSERT_FALSE(Statements().empty());
    EXPECT_EQ(Statements()[0], c.sent);
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, GroupTotalsSelectEachInstanceByItsValueType) {
  struct Case {
    std::string outer;
    std::string output;
    std::vector<std::string> totals;
  };
  const std::string from = "SELECT * FROM Sales WHERE ";
  const std::vector<Case> cases = {
      {"A",
       "z:5;1:30;x:10;y:20;2:40;",
       {"A is Null AND B='z'", "A=1", "A=1 AND B='x'", "A=1 AND B='y'", "A=2"}},
      {"Day",
       "z:5;31/01/2024:30;x:10;y:20;01/02/2024:40;",
       {"Day is Null AND B='z'", "Day=#2024-01-31#",
        "Day=#2024-01-31# AND B='x'", "Day=#2024-01-31# AND B='y'",
        "Day=#2024-02-01#"}},
      {"Customer",
       "z:5;Ana:40;y:40;O'Brien:30;x:10;y:20;",
       {"Customer is Null AND B='z'", "Customer='Ana'",
        "Customer='Ana' AND B='y'", "Customer='O''Brien'",
        "Customer='O''Brien' AND B='x'", "Customer='O''Brien' AND B='y'"}},
      {"Flag",
       "z:5;False:20;y:20;True:50;x:10;y:40;",
       {"Flag is Null AND B='z'", "Flag=False", "Flag=False AND B='y'",
        "Flag=True", "Flag=True AND B='x'", "Flag=True AND B='y'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outer);
    const std::string path = WriteTemplate(
        "<GROUPH G1 [" + c.outer + "]>[" + c.outer +
        "]:[SUM(Amount)];</GROUPH G1><GROUPH G2 [B]>[B]:[SUM(Amount)];"
        "</GROUPH G2><DETAIL></DETAIL>");
    EXPECT_EQ(Text(GetHTML("SELECT * FROM Sales", path)), c.output);
    std::vector<std::string> expected = {"SELECT * FROM Sales ORDER BY [" +
                                         c.outer + "],[B]"};
    for (const std::string& condition : c.totals) {
      expected.push_back(from + condition);
    }
    EXPECT_EQ(Statements(), expected);
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, TotalsContinueGroupByWithHavingAndWhereWithAnd) {
  struct Case {
    std::string sql;
    std::string output;
    std::string first_total;
    std::string message;
  };
  const std::string grouped =
      "SELECT B, SUM(Amount) AS Amount FROM Sales GROUP BY B";
  const std::vector<Case> cases = {
      {grouped, "x:10;y:60;z:5;", grouped + " HAVING B='x'", ""},
      {grouped + " HAVING COUNT(*)>0", "x:10;y:60;z:5;",
       grouped + " HAVING COUNT(*)>0 AND B='x'", ""},
      {"SELECT * FROM Sales WHERE ID<=3", "x:10;y:60;",
       "SELECT * FROM Sales WHERE ID<=3 AND B='x'", ""},
      {"select * from Sales where ID<=3", "",
       "select * from Sales where ID<=3 WHERE B='x'", "syntax error"},
  };
  const std::string path = WriteTemplate(
      "<GROUPH G [B]>[B]:[SUM(Amount)];</GROUPH G><DETAIL></DETAIL>");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    sink_->messages.clear();
    const Variant result = GetHTML(c.sql, path);
    ASSERT_GE(Statements().size(), 2u);
    EXPECT_EQ(Statements()[1], c.first_total);
    if (c.message.empty()) {
      EXPECT_EQ(Text(result), c.output);
      EXPECT_TRUE(Messages().empty());
    } else {
      EXPECT_TRUE(result.IsEmpty());
      ASSERT_EQ(Messages().size(), 1u);
      EXPECT_NE(Messages()[0].find(c.message), std::string::npos)
          << Messages()[0];
      EXPECT_NE(Messages()[0].find(c.first_total), std::string::npos)
          << Messages()[0];
    }
  }
}

TEST_F(SqlRendererTest, NoRowsGivesNoHayRegistroAndClosesTheRows) {
  const std::string destination = dir_.Write("old.html", "old");
  EXPECT_EQ(Text(GetHTML("SELECT * FROM Sales WHERE ID=0",
                         WriteTemplate(kTwoLevels), destination)),
            "No hay registro");
  ASSERT_EQ(library_->datalayer().recordsets.size(), 1u);
  EXPECT_EQ(library_->datalayer().recordsets[0]->State(), ado::kStateClosed);
  EXPECT_FALSE(std::filesystem::exists(destination));
}

TEST_F(SqlRendererTest, TheOldReportGoesAlsoWhenTheRunFailsLater) {
  const std::string path = WriteTemplate("<DETAIL>d[ID];</DETAIL>");
  struct Case {
    std::string name;
    std::string sql;
    std::string destination;
    bool fails;
  };
  const std::string kept = dir_.Write("kept.html", "kept");
  const std::vector<Case> cases = {
      {"rendered", std::string(kFirstThree), dir_.File("old.html"), false},
      {"statement rejected", "SELECT * FROM Nowhere", dir_.File("old.html"),
       true},
      {"no destination", std::string(kFirstThree), "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink_->messages.clear();
    if (!c.destination.empty()) dir_.Write("old.html", "old");
    const Variant result = GetHTML(c.sql, path, c.destination);
    EXPECT_EQ(result.IsEmpty(), c.fails);
    EXPECT_EQ(Messages().size(), c.fails ? 1u : 0u);
    // A run that renders rows leaves the last row's detail text in the
    // destination (the extra-detail step writes it); "old" is gone either
    // way.
    if (!c.destination.empty() && std::filesystem::exists(c.destination)) {
      EXPECT_FALSE(c.fails);
      EXPECT_NE(nerolin::testing::ReadFile(c.destination), "old");
    }
    EXPECT_EQ(nerolin::testing::ReadFile(kept), "kept");
  }
}

TEST_F(SqlRendererTest, FailuresShowTheirDescriptionAndGiveEmpty) {
  const std::string missing = dir_.File("missing.html");
  struct Case {
    std::string name;
    std::string sql;
    std::string template_path;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"statement rejected", "SELECT * FROM Nowhere",
       WriteTemplate("<DETAIL>d</DETAIL>"), "no such table: Nowhere"},
      {"missing template", std::string(kFirstThree), missing,
       "File not found: " + missing},
      {"missing group column", std::string(kFirstThree),
       WriteTemplate("<GROUPH G [Nope]>h</GROUPH G><DETAIL>d</DETAIL>",
                     "nope.html"),
       "no such column: Nope"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink_->messages.clear();
    EXPECT_TRUE(GetHTML(c.sql, c.template_path).IsEmpty());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find(c.message), std::string::npos)
        << Messages()[0];
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  sink_->messages.clear();
  EXPECT_TRUE(GetHTML(kFirstThree, "").IsEmpty());
  EXPECT_TRUE(Statements().empty());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, TemplateFolderIsTheTemplatesFolderWithASeparator) {
  state_->set_template_folder("before/");
  GetHTML(kFirstThree, WriteTemplate("<DETAIL></DETAIL>"));
  EXPECT_EQ(state_->template_folder(), dir_.path().string() + "/");
}

TEST_F(SqlRendererTest, AnEmptyGroupTextIsPassedOverOnlyForATemplateFile) {
  const std::string text =
      "H<GROUPH G1  [A]>never</GROUPH G1><GROUPH G2 [B]>[B];</GROUPH G2>"
      "<DETAIL>d[ID];</DETAIL>|F";
  EXPECT_EQ(Text(GetHTML(kFirstThree, WriteTemplate(text))),
            "Hx;d1;y;d2;d3;|F");
  EXPECT_TRUE(Messages().empty());

  EXPECT_TRUE(GetHTML3(kFirstThree, text).IsEmpty());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("the group header \"G1\" (tag \"<GROUPH G1 "
                               "[A]>\") has an empty text"),
            std::string::npos)
      << Messages()[0];
}

TEST_F(SqlRendererTest, NestedReportsKeepTheirOwnOrderingClause) {
  UseDatabase(
      "CREATE TABLE Docs (ID INTEGER);"
      "CREATE TABLE Lines (ID INTEGER, LineNumber INTEGER, Text TEXT);"
      "INSERT INTO Docs VALUES (1), (2);"
      "INSERT INTO Lines VALUES (1, 2, 'b'), (1, 1, 'a'), (2, 1, 'c');",
      "nested.db");
  WriteTemplate("<DETAIL>[Text],</DETAIL>", "lines.html");
  const std::string path =
      WriteTemplate("<DETAIL>[ID]:[HTML(lines.html,Lines)];</DETAIL>");
  EXPECT_EQ(Text(GetHTML("SELECT * FROM Docs ORDER BY ID", path)),
            "1:a,b,;2:c,;");
  EXPECT_EQ(Statements()[1],
            "SELECT * FROM [Lines] WHERE ID=1  ORDER BY LineNumber");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("tmpx.html")));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, ANestedReportOfManyBlocksLeavesTheOuterBlockWhole) {
  // Two levels of nested reports fill more distinct blocks than the filler
  // keeps the brackets of, while the blocks above, halfway filled, wait.
  UseDatabase(
      "CREATE TABLE Docs (ID INTEGER, Name TEXT);"
      "CREATE TABLE Lines (ID INTEGER, LineNumber INTEGER, Text TEXT);"
      "INSERT INTO Docs VALUES (1, 'uno'), (2, 'dos');"
      "INSERT INTO Lines VALUES (1, 1, 'a'), (2, 1, 'b');",
      "nested.db");
  WriteTemplate("{[ID]<DETAIL>s[Text]</DETAIL>[ID]}", "sub.html");
  WriteTemplate(
      "<[ID]<DETAIL>[Text][HTML(sub.html,Lines)][Text]</DETAIL>[LineNumber]>",
      "lines.html");
  const std::string path = WriteTemplate(
      "<DETAIL>[ID]:[HTML(lines.html,Lines)]:[Name]:[ID];</DETAIL>");
  EXPECT_EQ(Text(GetHTML("SELECT * FROM Docs ORDER BY ID", path)),
            "1:<1a{1sa1}a1>:uno:1;2:<2b{2sb2}b1>:dos:2;");
  EXPECT_TRUE(Messages().empty());
}

// An engine whose extra-detail step moves the main rows as a sub-report
// over them would.
class CursorMovingEngine : public nerolin::testing::ForwardingEngine {
 public:
  CursorMovingEngine(ReportEngine& inner,
                     std::function<void(ado::Recordset&)> move)
      : ForwardingEngine(inner), move_(std::move(move)) {}

  void CreateExtraDetailsIfExists(std::string& /*html_text*/,
                                  std::string& model_path,
                                  std::shared_ptr<ado::Recordset>& rst,
                                  Variant& destination) override {
    model_paths.push_back(model_path);
    destinations.push_back(TextOf(destination));
    move_(*rst);
  }

  std::vector<std::string> model_paths;
  std::vector<std::string> destinations;

 private:
  std::function<void(ado::Recordset&)> move_;
};

TEST_F(SqlRendererTest, TheRowWalkAdvancesWhateverTheExtraDetailStepDoes) {
  struct Case {
    std::string name;
    std::function<void(ado::Recordset&)> move;
    std::string output;
  };
  auto span = [](std::string_view detail) {
    return "<span name=\"extradetail\">" + std::string(detail) + "</span>";
  };
  // The footer-only group G closes its instance of A=1 before row 3 and
  // shows the first row at the end.
  const std::string all_rows =
      span("d1;") + span("d2;") + "f1" + span("d3;") + "f1";
  const std::vector<Case> cases = {
      {"stays", [](ado::Recordset&) {}, all_rows},
      {"back to the first row", [](ado::Recordset& r) { r.MoveFirst(); },
       all_rows},
      // A forward move from the first row, a move back from the third.
      {"to the second row",
       [](ado::Recordset& r) {
         r.MoveFirst();
         r.MoveNext();
       },
       span("d1;") + "f1" + span("d3;") + "f1"},
      {"one row on",
       [](ado::Recordset& r) {
         if (!r.Eof()) r.MoveNext();
       },
       span("d1;") + "f1" + span("d3;") + "f1"},
      {"to the end",
       [](ado::Recordset& r) {
         while (!r.Eof()) r.MoveNext();
       },
       span("d1;") + "f1"},
  };
  const std::string path = WriteTemplate(
      "<DETAIL><span name=\"extradetail\">d[ID];</span></DETAIL>"
      "<GROUPF G [A]>f[A]</GROUPF G>");
  const std::string destination = dir_.File("out.html");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CursorMovingEngine engine(engine_->AsReportEngine(), c.move);
    EXPECT_EQ(Text(RenderSql(engine, Variant(kFirstThree), Variant(path),
                             Variant(destination))),
              c.output);
    EXPECT_EQ(engine.model_paths,
              std::vector<std::string>(engine.model_paths.size(),
                                       dir_.path().string()));
    EXPECT_EQ(
        engine.destinations,
        std::vector<std::string>(engine.destinations.size(), destination));
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, ARowSubReportInEveryDetailEndsTheWalkOnce) {
  // The sub-report renders the main rows from the current one on and
  // leaves the cursor on the first row; the character after the element
  // goes with it.
  WriteTemplate("<DETAIL>r[ID]</DETAIL>", "row.html");
  const std::string path = WriteTemplate(
      "<DETAIL>d[ID]<span name=\"extradetail\" "
      "id=\"complementocartaporte_1\">row.html</span>.;</DETAIL>");
  EXPECT_EQ(Text(GetHTML(kFirstThree, path)), "d1r1r2r3;d2r2r3;d3r3;");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, TemplateTextGivesHeaderAndFooterWithoutRows) {
  EXPECT_EQ(Text(GetHTML3("SELECT * FROM Sales WHERE ID=0",
                          "H<GROUPH G A>h</GROUPH G><DETAIL>d[ID];</DETAIL>"
                          "<GROUPF G A>f</GROUPF G>F")),
            "HF");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SqlRendererTest, TemplateTextGroupsByTheFieldAsWritten) {
  std::string bare(kTwoLevels);
  for (const char* from : {" [A]>", " [B]>"}) {
    std::string to = from;
    to.erase(to.find('['), 1);
    to.erase(to.find(']'), 1);
    bare = Replace(bare, from, to);
  }
  EXPECT_EQ(Text(GetHTML3(kFirstThree, bare)), kTwoLevelsOutput);
  EXPECT_EQ(Statements()[0], std::string(kFirstThree) + " ORDER BY A,B");
  EXPECT_TRUE(Messages().empty());

  EXPECT_TRUE(GetHTML3(kFirstThree, kTwoLevels).IsEmpty());
  EXPECT_EQ(Messages(),
            std::vector<std::string>{
                "Item cannot be found in the collection corresponding to the "
                "requested name or ordinal. ([B]): the group \"GB\" reads the "
                "column \"[B]\", which the rows do not have"});
}

TEST_F(SqlRendererTest, TemplateTextTotalsQuoteOnlyTextsAndLookForWhereOnly) {
  struct Case {
    std::string sql;
    std::string field;
    std::string first_total;
    bool fails;
  };
  const std::vector<Case> cases = {
      {"SELECT * FROM Sales WHERE ID<=3", "A",
       "SELECT * FROM Sales WHERE ID<=3 AND A=1", false},
      {"SELECT * FROM Sales WHERE ID<=3", "Day",
       "SELECT * FROM Sales WHERE ID<=3 AND Day=#2024-01-31#", false},
      {"SELECT * FROM Sales WHERE ID<=3", "Customer",
       "SELECT * FROM Sales WHERE ID<=3 AND Customer='Ana'", false},
      {"SELECT * FROM Sales WHERE ID<=3", "Flag",
       "SELECT * FROM Sales WHERE ID<=3 AND Flag=False", false},
      // A column of another type adds no term: the cut takes the whole
      // " AND ", or leaves " W" of " WHERE ".
      {"SELECT * FROM Sales WHERE ID<=3", "Data",
       "SELECT * FROM Sales WHERE ID<=3", false},
      {"SELECT * FROM Sales", "Data", "SELECT * FROM Sales W", false},
      {"select * from Sales where ID<=3", "A",
       "select * from Sales where ID<=3 WHERE A=1", true},
      {"SELECT * FROM Sales WHERE B<>'z' GROUP BY ID", "A",
       "SELECT * FROM Sales WHERE B<>'z' GROUP BY ID AND A=1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql + " / " + c.field);
    sink_->messages.clear();
    const Variant result =
        GetHTML3(c.sql, "<GROUPH G " + c.field + ">[SUM(Amount)];</GROUPH G>");
    ASSERT_GE(Statements().size(), 2u);
    EXPECT_EQ(Statements()[1], c.first_total);
    EXPECT_EQ(result.IsEmpty(), c.fails);
    EXPECT_EQ(Messages().size(), c.fails ? 1u : 0u);
  }
  // A Null text leaves the quotes empty.
  GetHTML3("SELECT * FROM Sales WHERE ID>=3",
           "<GROUPH G1 B>[SUM(Amount)]</GROUPH G1>"
           "<GROUPH G2 Customer>[SUM(Amount)]</GROUPH G2>");
  EXPECT_EQ(Statements().back(),
            "SELECT * FROM Sales WHERE ID>=3 AND B='z' AND Customer=''");
}

TEST_F(SqlRendererTest, TemplateTextPicturesResolveAgainstTheWorkingFolder) {
  dir_.Write("logo.png", "PNG");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  const Variant result =
      GetHTML3(kFirstThree, "C:\\plantillas\\x <img src=\"logo.png\">");
  std::filesystem::current_path(before);
  EXPECT_EQ(Text(result),
            "C:\\plantillas\\x <img src=\"data:image/png;base64,UE5H\">");
}

TEST_F(SqlRendererTest, JunkAndHugeTemplatesEndInAResultOrAMessage) {
  std::mt19937 random(7);
  const std::vector<std::string> pieces = {
      "<GROUPH G [A]>", "</GROUPH G>", "<DETAIL>", "</DETAIL>", "[SUM(",
      "<GROUPF G [B]>", "</GROUPF G>", "[",        "]",         "[ID]",
      "<GROUPH H A>",   "</GROUPH H>", "\r\n",     "<GROUPH ",  "ORDER BY"};
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
    const Variant from_file =
        GetHTML(kFirstThree, WriteTemplate(junk, "junk.html"));
    EXPECT_TRUE(from_file.IsString() || !sink_->messages.empty());
    sink_->messages.clear();
    const Variant from_text = GetHTML3(kFirstThree, junk);
    EXPECT_TRUE(from_text.IsString() || !sink_->messages.empty());
  }

  std::string big;
  const std::string line = "<p>Encabezado del informe de ventas</p>\r\n";
  while (big.size() < 50 * 1024 * 1024) big += line;
  const std::size_t lines = big.size() / line.size();
  const std::string path = WriteTemplate(
      big +
          "<GROUPH G [A]>[A]:[SUM(Amount)];</GROUPH G><DETAIL>d[ID];"
          "</DETAIL>fin",
      "big.html");
  big.clear();
  big.shrink_to_fit();
  const std::string report = Text(GetHTML(kFirstThree, path));
  EXPECT_EQ(report.size(), lines * (line.size() - 2) + 22);
  EXPECT_EQ(report.substr(report.size() - 22), "1:30;d1;d2;2:40;d3;fin");
}

// Reports inside reports: the HTML placeholder and extra details.
class NestedReportsTest : public testing::RenderTest {
 protected:
  // docRel rows 1..`count` of document 15, folios F1, F2, ...
  void UseRelatedRows(int count, std::string_view more = {}) {
    std::string script(more);
    script += "INSERT INTO docRel (DocRelID, ID, LineNumber, Folio) VALUES ";
    for (int i = 1; i <= count; ++i) {
      const std::string n = std::to_string(i);
      if (i > 1) script += ",";
      script.append("(").append(n).append(",15,").append(n).append(",'F");
      script.append(n).append("')");
    }
    UseDatabase(script + ";");
  }
  std::string GetHTML(std::string_view sql, const std::string& path) {
    return Text(
        engine_->GetHTML(Variant(sql), Variant(path), Variant(std::string())));
  }
  static std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + 1)) {
      ++count;
    }
    return count;
  }
};

TEST_F(NestedReportsTest, ATemplateThatIncludesItselfStopsSixteenReportsDeep) {
  UseRelatedRows(1);
  const std::string path = WriteTemplate(
      "<DETAIL><p>[Folio]</p>[HTML(self.html,docRel)]</DETAIL>", "self.html");
  const std::string report = GetHTML("SELECT * FROM docRel", path);
  // The outer report and sixteen nested ones; the seventeenth fails alone.
  EXPECT_EQ(Count(report, "<p>F1</p>"), 17u);
  EXPECT_EQ(Count(report, "??HTML(self.html,docRel)??"), 1u);
  ASSERT_EQ(sink_->messages.size(), 1u);
  EXPECT_NE(sink_->messages[0].text.find(path), std::string::npos);
  EXPECT_EQ(state_->nesting_depth(), 0);
}

TEST_F(NestedReportsTest, ARowsIdentifierGoesIntoStatementsAsAValue) {
  const std::string id =
      "0 UNION SELECT 1,1,1,name,'x',type,name,8,9 FROM sqlite_master";
  UseRelatedRows(1,
                 "CREATE TABLE Docs (ID TEXT); INSERT INTO Docs VALUES "
                 "('" +
                     Replace(id, "'", "''") + "');");
  WriteTemplate("<DETAIL>[Folio];</DETAIL>", "rel.html");
  WriteTemplate("<DETAIL>" + std::string("<span name=\"extradetail\" ") +
                    "title=\"docRel\">rel.html</span>.</DETAIL>",
                "table.html");
  const std::string nested =
      GetHTML("SELECT * FROM Docs",
              WriteTemplate("<DETAIL>[HTML(rel.html,docRel)]</DETAIL>"));
  const std::string table =
      GetHTML("SELECT * FROM Docs", dir_.File("table.html"));
  for (const std::string& report : {nested, table}) {
    EXPECT_EQ(report.find("docDocument"), std::string::npos) << report;
  }
  const std::string quoted = "'" + Replace(id, "'", "''") + "'";
  // GetHTML puts the ordering clause in its own words.
  EXPECT_EQ(Statements().at(1), "SELECT * FROM [docRel] WHERE ID=" + quoted +
                                    "  ORDER BY LineNumber");
  EXPECT_EQ(Statements().back(), "SELECT * FROM [docRel] WHERE ID=" + quoted);
}

TEST_F(NestedReportsTest, ExtraDetailsThatBringThemselvesBackStopAtTheBudget) {
  UseRelatedRows(24);
  const std::string element = "<span name=\"extradetail\">sub.html</span>.";
  WriteTemplate("<DETAIL>[Folio]" + element + "</DETAIL>", "sub.html");
  const std::string report =
      GetHTML("SELECT * FROM docRel",
              WriteTemplate("<DETAIL>" + element + "</DETAIL>"));
  // 24 rows of 47 bytes before their extra details.
  EXPECT_LE(report.size(),
            kExtraDetailAllowance + kExtraDetailGrowthFactor * 24 * 47 + 4096);
  EXPECT_GT(report.size(), kExtraDetailAllowance / 2);
  ASSERT_EQ(sink_->messages.size(), 1u);
  EXPECT_NE(sink_->messages[0].text.find("extra details"), std::string::npos);
}

}  // namespace
}  // namespace nerolin::render
