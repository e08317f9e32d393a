#include "fields/extra_details.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/sqlite_library.h"
#include "platform/files.h"
#include "support/forwarding_engine.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::fields {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::ReadFile;
using ::nerolin::testing::TempDir;

constexpr ExtraDetailMode kStandard = ExtraDetailMode::kStandard;
constexpr ExtraDetailMode kSdk = ExtraDetailMode::kSdk;

// Related documents of documents 15 and 16, in rowid order.
constexpr const char* kRelatedDocuments =
    "INSERT INTO docRel (DocRelID, ID, LineNumber, CFDIFolioFiscal, Folio) "
    "VALUES (1, 15, 1, 'A1', '101'), (2, 15, 2, 'B2', '102'),"
    " (3, 16, 1, 'A1', '201'), (4, 15, 3, 'O''Brien', '103');";

std::string Table(std::string_view title, std::string_view inner,
                  std::string_view more = {}) {
  return "<span" + std::string(more) + " name=\"extradetail\" title=\"" +
         std::string(title) + "\">" + std::string(inner) + "</span>";
}

// What one renderer call received.
struct RenderCall {
  bool sdk;
  std::string source;
  std::string destination;
  bool is_extra_detail;
  std::string extra_detail_id;
  const ado::Recordset* rst;
  std::string statement;  // the recordset's Source
  std::string row_id;     // its current ID, "EOF" at the end
};

// The real engine, with every renderer call written down on its way.
class RecordingEngine : public nerolin::testing::ForwardingEngine {
 public:
  explicit RecordingEngine(ReportEngine& real) : ForwardingEngine(real) {}

  Variant GetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                  const Variant& source,
                                  const Variant& destination, bool& is_extra,
                                  std::string& id) override {
    Record(false, rst, source, destination, is_extra, id);
    return ForwardingEngine::GetHTMLBasedOnRecordset(rst, source, destination,
                                                     is_extra, id);
  }
  Variant SDKGetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                     const Variant& source,
                                     const Variant& destination, bool& is_extra,
                                     std::string& id) override {
    Record(true, rst, source, destination, is_extra, id);
    return ForwardingEngine::SDKGetHTMLBasedOnRecordset(
        rst, source, destination, is_extra, id);
  }

  std::vector<RenderCall> calls;

 private:
  void Record(bool sdk, const std::shared_ptr<ado::Recordset>& rst,
              const Variant& source, const Variant& destination, bool is_extra,
              const std::string& id) {
    std::string row = "EOF";
    if (rst && !rst->Eof()) row = TextOf(rst->Value("ID"));
    calls.push_back({sdk, CStr(source), CStr(destination), is_extra, id,
                     rst.get(), rst ? rst->Source() : "", row});
  }
};

class ExtraDetailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_->set_message_sink(messages_);
    UseDatabase(kRelatedDocuments);
    dir_.Write("rel.html", "<DETAIL>[Folio];</DETAIL>");
  }

  void UseDatabase(std::string_view inserts) {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(MakeTestDatabase(
        dir_, inserts, "host" + std::to_string(++databases_) + ".db"));
    engine_->SetNerolinLib(library);
  }

  // A main recordset of ID (and DR_IdDocumento) values, on its first row.
  static std::shared_ptr<ado::Recordset> Main(
      const std::vector<int>& ids, std::vector<Variant> documents = {}) {
    std::vector<ado::Column> columns{{"ID", ado::DataType::kInteger}};
    if (!documents.empty()) {
      columns.push_back({"DR_IdDocumento", ado::DataType::kVarWChar});
    }
    ado::RowSetBuilder rows(std::move(columns));
    for (std::size_t i = 0; i < ids.size(); ++i) {
      rows.AddLong(ids[i]);
      if (!documents.empty()) rows.Add(documents[i]);
      rows.EndRow();
    }
    return ado::Recordset::Create(rows.Finish());
  }

  std::string Run(std::string text,
                  std::shared_ptr<ado::Recordset> rst = Main({15}),
                  ExtraDetailMode mode = kStandard) {
    CreateExtraDetails(recorder_, text, dir_.path().string(), rst,
                       Variant(report_), mode);
    return text;
  }

  // The report file as the engine writes it. These reports are ASCII,
  // which Windows-1252 keeps as it is.
  static std::string Written(std::string_view text) {
    for (const char c : text) {
      EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "not ASCII: " << text;
    }
    return std::string(text) + "\r\n";
  }

  std::vector<std::string> Statements() const {
    std::vector<std::string> statements;
    for (const RenderCall& call : recorder_.calls) {
      statements.push_back(call.statement);
    }
    return statements;
  }

  TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<clsMain> engine_ = clsMain::Create(state_);
  RecordingEngine recorder_{engine_->AsReportEngine()};
  std::shared_ptr<CapturingMessageSink> messages_ =
      std::make_shared<CapturingMessageSink>();
  std::string report_ = dir_.File("report.html");
  int databases_ = 0;
};

TEST_F(ExtraDetailsTest, ATableElementIsReplacedByTheRowsOfItsTableForTheRow) {
  EXPECT_EQ(Run("<p>" + Table("docRel", "  rel.html ") + "\n</p>"),
            "<p>101;102;103;</p>");
  ASSERT_EQ(recorder_.calls.size(), 1u);
  const RenderCall& call = recorder_.calls[0];
  EXPECT_FALSE(call.sdk);
  EXPECT_EQ(call.statement, "SELECT * FROM [docRel] WHERE ID=15");
  EXPECT_EQ(call.source, platform::JoinPath(dir_.path().string(), "rel.html"));
  EXPECT_EQ(call.destination, "");
  EXPECT_FALSE(call.is_extra_detail);
  EXPECT_EQ(call.extra_detail_id, "");
  EXPECT_EQ(ReadFile(report_), Written("<p>101;102;103;</p>"));
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ExtraDetailsTest, TheFolioOfThePaidDocumentNarrowsTheTableRows) {
  const struct {
    const char* name;
    std::vector<Variant> documents;  // empty: no DR_IdDocumento field
    const char* title;
    ExtraDetailMode mode;
    const char* filter;
  } kCases[] = {
      {"folio",
       {Variant("A1")},
       "docRel",
       kStandard,
       " AND CFDIFolioFiscal = 'A1'"},
      {"apostrophe",
       {Variant("O'Brien")},
       "docRel",
       kStandard,
       " AND CFDIFolioFiscal = 'O''Brien'"},
      {"null folio", {Variant::Null()}, "docRel", kStandard, ""},
      {"no folio field", {}, "docRel", kStandard, ""},
      {"table without folio column",
       {Variant("A1")},
       "vwVADTransportMercancia",
       kStandard,
       ""},
      {"sdk", {Variant("A1")}, "docRel", kSdk, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    recorder_.calls.clear();
    Run(Table(c.title, "rel.html"), Main({15}, c.documents), c.mode);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(
        recorder_.calls[0].statement,
        "SELECT * FROM [" + std::string(c.title) + "] WHERE ID=15" + c.filter);
    EXPECT_EQ(recorder_.calls[0].sdk, c.mode == kSdk);
  }
  Run(Table("docRel", "rel.html"), Main({15}, {Variant("O'Brien")}));
  EXPECT_EQ(ReadFile(report_), Written("103;"));
}

TEST_F(ExtraDetailsTest, TheElementTakesTheWholeCharacterAfterItsEnd) {
  const struct {
    std::string text;
    std::string result;
  } kCases[] = {
      {"<td>" + Table("docRel", "rel.html") + "<b>x</b></td>",
       "<td>101;102;103;b>x</b></td>"},
      {"<td>" + Table("docRel", "rel.html") + "éx", "<td>101;102;103;x"},
      {"<td>" + Table("docRel", "rel.html"), "<td>101;102;103;"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Run(c.text), c.result);
  }
}

TEST_F(ExtraDetailsTest, IdenticalElementsAreAllReplacedByTheFirstSubReport) {
  const std::string element = Table("docRel", "rel.html") + "|";
  EXPECT_EQ(Run(element + element + "-" + element, Main({15, 16})),
            "101;102;103;101;102;103;-101;102;103;");
  EXPECT_EQ(recorder_.calls.size(), 1u);
}

TEST_F(ExtraDetailsTest, SuccessiveTableElementsTakeSuccessiveMainRows) {
  const std::string rel = Table("docRel", "rel.html");
  const std::string goods = Table("vwVADTransportMercancia", "rel.html");
  const std::string k15 = "SELECT * FROM [docRel] WHERE ID=15";
  const std::string k16 = "SELECT * FROM [docRel] WHERE ID=16";
  const std::string kGoods15 =
      "SELECT * FROM [vwVADTransportMercancia] WHERE ID=15";
  const std::string kGoods16 =
      "SELECT * FROM [vwVADTransportMercancia] WHERE ID=16";
  const struct {
    const char* name;
    std::string text;
    ExtraDetailMode mode;
    std::vector<std::string> statements;
    int row_after;  // ID of the main recordset's row at the end
  } kCases[] = {
      {"standard", rel + "1" + rel + "2", kStandard, {k15, k16}, 16},
      {"sdk", rel + "1" + rel + "2", kSdk, {k15, k15}, 15},
      {"transport element waiting",
       rel + "1" + goods + "2",
       kStandard,
       {k15, kGoods15},
       15},
      {"transport element done",
       goods + "1" + rel + "2",
       kStandard,
       {kGoods15, k16},
       16},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    recorder_.calls.clear();
    auto main = Main({15, 16, 17});
    Run(c.text, main, c.mode);
    EXPECT_EQ(Statements(), c.statements);
    EXPECT_EQ(CLng(main->Value("ID")), c.row_after);
  }
}

TEST_F(ExtraDetailsTest, AMainRecordsetAtItsEndFailsTheNextTableElement) {
  const std::string rel = Table("docRel", "rel.html");
  Run(rel + "1" + rel + "2" + rel + "3", Main({15, 16}));
  EXPECT_EQ(Statements(),
            (std::vector<std::string>{"SELECT * FROM [docRel] WHERE ID=15",
                                      "SELECT * FROM [docRel] WHERE ID=16"}));
  EXPECT_FALSE(platform::IsOrdinaryFile(report_));
}

TEST_F(ExtraDetailsTest, ARowElementRendersTheMainRecordsetFromItsCurrentRow) {
  dir_.Write("rows.html", "<DETAIL>[ID];</DETAIL>");
  const struct {
    std::string text;
    bool is_extra_detail;
    const char* id;
  } kCases[] = {
      {"<span id=\"complementocartaporte_1\" name=\"extradetail\">rows.html"
       "</span>.",
       true, "complementocartaporte_1"},
      {"<span data-name=\"x\" name=\"extradetail\">rows.html</span>.", false,
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    recorder_.calls.clear();
    auto main = Main({15, 16, 17});
    main->MoveNext();
    EXPECT_EQ(Run("<p>" + c.text + "</p>", main), "<p>16;17;</p>");
    ASSERT_EQ(recorder_.calls.size(), 1u);
    const RenderCall& call = recorder_.calls[0];
    EXPECT_EQ(call.rst, main.get());
    EXPECT_EQ(call.row_id, "16");
    EXPECT_EQ(call.is_extra_detail, c.is_extra_detail);
    EXPECT_EQ(call.extra_detail_id, c.id);
    EXPECT_EQ(call.source,
              platform::JoinPath(dir_.path().string(), "rows.html"));
  }
}

TEST_F(ExtraDetailsTest, AttributesAnElementLacksAreEmpty) {
  dir_.Write("rows.html", "<DETAIL>[ID];</DETAIL>");
  // Nothing carries over from one element to the next: the second has no
  // title and no id (a row element), the third no template name.
  auto main = Main({15, 16, 17});
  Run(Table("docRel", "rel.html", " id=\"a_1\"") + "1" +
          "<span name=\"extradetail\">rows.html</span>2" + Table("docRel", "") +
          "3",
      main);
  ASSERT_EQ(recorder_.calls.size(), 3u);
  EXPECT_EQ(recorder_.calls[1].rst, main.get());
  EXPECT_EQ(recorder_.calls[1].extra_detail_id, "");
  EXPECT_TRUE(recorder_.calls[1].is_extra_detail);
  EXPECT_EQ(recorder_.calls[2].source,
            platform::JoinPath(dir_.path().string(), ""));
}

TEST_F(ExtraDetailsTest, TableElementsTidyTheWholeText) {
  const std::string element = Table("docRel", "rel.html") + " ";
  const struct {
    const char* before;
    const char* after;
    const char* result;
  } kCases[] = {
      {"a<Remove>x</Remove>yb", "", "ab101;102;103;"},
      {"a<Remove>x</Remove>yb", "c<Remove>z</Remove>!d", "ab101;102;103;cd"},
      {"<Remove>1<Remove>2</Remove>3</Remove>4", "", "</Remove>4101;102;103;"},
      {"<Rem<Remove>x</Remove>_ove>z</Remove>!w", "", "w101;102;103;"},
      {"a<Remove>x", "", "a<Remove>x101;102;103;"},
      {"a<Remove>x", "</Remove>!b", "ab"},
      {"</Remove>a<Remove>", "", "</Remove>a<Remove>101;102;103;"},
      {"a</>b<>c", "<</>>", "abc101;102;103;"},
      {"<<>>", "<</</>>>", "<>101;102;103;<</>>"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.before + std::string(" | ") + c.after);
    EXPECT_EQ(Run(c.before + element + c.after, Main({15}), kSdk), c.result);
  }
}

TEST_F(ExtraDetailsTest, TidyingReachesMarkersThatEarlierElementsLeft) {
  dir_.Write("open.html", "<Remove>");
  dir_.Write("close.html", "</Remove>!");
  const std::string kept_open = "a" + Table("docRel", "open.html") + "1b" +
                                Table("docRel", "close.html") + "2c";
  EXPECT_EQ(Run(kept_open, Main({15}), kSdk), "ac");
  // The first tidying joins "<" and "/>" only after the "</>" pass.
  const std::string joined = "x<<>/>y" + Table("docRel", "rel.html") + "1" +
                             Table("docRel", "rel.html") + "2";
  EXPECT_EQ(Run(joined, Main({15}), kSdk), "xy101;102;103;101;102;103;");
}

TEST_F(ExtraDetailsTest,
       RemovalBlocksOfASubReportAreCutButNotAfterARowElement) {
  dir_.Write("tidy.html", "A<Remove>[ID]</Remove>\nB<>");
  EXPECT_EQ(Run(Table("docRel", "tidy.html") + "."), "AB");
  EXPECT_EQ(Run("<span name=\"extradetail\">tidy.html</span>."),
            "A<Remove>15</Remove>\nB<>");
}

TEST_F(ExtraDetailsTest, TheFinishedTextIsRewrittenAndWrittenToTheReport) {
  const std::string kOld = "td { -ms-word-break: break-all; }";
  EXPECT_EQ(Run("<style>" + kOld + kOld + "</style>Ñandú"),
            "<style>td { word-break: break-all }td { word-break: break-all "
            "}</style>Ñandú");
  EXPECT_EQ(ReadFile(report_),
            "<style>td { word-break: break-all }td { word-break: break-all "
            "}</style>\xD1"
            "and\xFA\r\n");
  EXPECT_TRUE(recorder_.calls.empty());

  report_.clear();  // the write fails: the rewritten text is the result
  EXPECT_EQ(Run(kOld), "td { word-break: break-all }");
}

TEST_F(ExtraDetailsTest, AFailureGivesTheTextReachedAndWritesNoFile) {
  const std::string rel = Table("docRel", "rel.html") + " ";
  const struct {
    const char* name;
    std::string text;
    std::shared_ptr<ado::Recordset> main;
    std::string result;
  } kCases[] = {
      {"rejected statement", rel + Table("NoSuchTable", "rel.html") + "!",
       Main({15, 16}), "101;102;103;" + Table("NoSuchTable", "rel.html") + "!"},
      {"no ID field", rel, ado::Recordset::Create({{{"Other"}}, {{1}}}), rel},
      {"no main recordset", rel, nullptr, rel},
      {"no \"<\" before the attribute", "name=\"extradetail\">x</span>",
       Main({15}), "name=\"extradetail\">x</span>"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.text, c.main), c.result);
    EXPECT_FALSE(platform::IsOrdinaryFile(report_));
  }
}

TEST_F(ExtraDetailsTest, ElementsThatCannotBeFinishedEndTheWork) {
  const std::string loop = Table("docRel", "loop.html") + "!";
  dir_.Write("loop.html", loop);
  const std::string filler(100000, 'x');
  const std::string grow = filler + Table("docRel", "grow.html") + "!";
  dir_.Write("grow.html", grow);
  // Each sub-report brings the other element back, the text keeping its size.
  const std::string ping =
      "<Remove>" + filler + "</Remove> " + Table("docRel", "pong.html") + "!";
  dir_.Write("ping.html", ping);
  dir_.Write("pong.html", "<Remove>" + filler + "</Remove> " +
                              Table("docRel", "ping.html") + "!");
  // All sub-report text put in may reach 16 MiB plus 16 times the text at
  // the start; the sub-report that would pass it is made and left out.
  const auto calls_within = [](std::size_t start, std::size_t sub_report) {
    return (kExtraDetailAllowance + kExtraDetailGrowthFactor * start) /
               sub_report +
           1;
  };
  const std::string grows = Table("docRel", "grow.html") + "!";
  const std::string pings = Table("docRel", "ping.html") + "!";
  const struct {
    const char* name;
    std::string text;
    ExtraDetailMode mode;
    std::size_t calls;
  } kCases[] = {
      {"missing end", "<span name=\"extradetail\">rel.html</spam>", kStandard,
       0},
      {"sub-report is the element", loop, kSdk, 1},
      {"sub-report is the element", loop, kStandard, 1},
      {"sub-report grows", grows, kSdk,
       calls_within(grows.size(), grow.size())},
      {"sub-reports alternate", pings, kSdk,
       calls_within(pings.size(), ping.size())},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove(report_.c_str());
    recorder_.calls.clear();
    messages_->messages.clear();
    const std::string result = Run(c.text, Main({15, 16}), c.mode);
    EXPECT_EQ(recorder_.calls.size(), c.calls);
    EXPECT_NE(result.find("name=\"extradetail\""), std::string::npos);
    EXPECT_EQ(ReadFile(report_), Written(result));
    // Only the budget says why it stopped, once.
    EXPECT_EQ(messages_->messages.size(), c.calls > 1 ? 1u : 0u);
  }
}

TEST_F(ExtraDetailsTest, AReportWithAnElementOnEveryLineIsFinished) {
  std::string text;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    text += "<tr><td>" + std::to_string(i) + "</td><td>" +
            Table("docRel", "rel.html", " id=\"r" + std::to_string(i) + "\"") +
            "\n</td></tr>";
    expected +=
        "<tr><td>" + std::to_string(i) + "</td><td>101;102;103;</td></tr>";
  }
  EXPECT_EQ(Run(text, Main({15}), kSdk), expected);
  EXPECT_EQ(recorder_.calls.size(), 3000u);
}

}  // namespace
}  // namespace nerolin::fields
