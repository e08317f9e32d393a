#include "fields/fill_fields.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/format.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fields/images.h"
#include "fields/placeholder_value.h"
#include "fields/qr_code.h"
#include "nerolin/cls_main.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/sum_fields.h"
#include "support/test_database.h"
#include "support/test_support.h"
#include "template/sections.h"

namespace nerolin::fields {
namespace {

using ado::Column;
using ado::Recordset;
using ado::RowSet;
using testing::MakeTestDatabase;
using testing::TempDir;

class FillFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(MakeTestDatabase(
        dir_, "INSERT INTO engCurrency VALUES (2, 'USD', 'US$', 2);"));
    state_->set_host_library(library);
    state_->set_message_sink(sink_);
    section_.SetName("Cliente");
    section_.SumFields()->Add("Total", "Total")->SetTotal(Variant(300.5));
    logo_ = dir_.Write("logo.jpeg", "JPEG");
    row_ = Row({});
  }

  // The document row every test fills from; `extra` adds or replaces
  // columns.
  std::shared_ptr<Recordset> Row(
      std::vector<std::pair<std::string, Variant>> extra) {
    std::vector<std::pair<std::string, Variant>> columns = {
        {"ID", Variant(7)},
        {"Folio", Variant("1001")},
        {"Total", Variant(1234.5)},
        {"Notes", Variant("uno\r\ndos")},
        {"Symbol", Variant("USD")},
        {"Alignment", Variant("R")},
        {"Logo", Variant(logo_)},
        {"Empty", Variant::Null()},
        {"PictureSourceDocument", Variant("C:\\fotos\\a\\doc1.png")},
        {"LineNumber", Variant(3)},
    };
    for (auto& [name, value] : extra) {
      bool replaced = false;
      for (auto& column : columns) {
        if (column.first == name) {
          column.second = value;
          replaced = true;
        }
      }
      if (!replaced) columns.emplace_back(name, value);
    }
    std::vector<Column> names;
    std::vector<Variant> row;
    for (auto& [name, value] : columns) {
      names.push_back(Column{name});
      row.push_back(value);
    }
    return Recordset::Create(RowSet(std::move(names), {row}));
  }

  Variant Fill(std::string block, const std::shared_ptr<Recordset>& row) {
    return FillFields(state_, block, row, &section_);
  }
  std::string FillText(std::string block) {
    return Fill(block, row_).AsString();
  }

  TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<CapturingMessageSink> sink_ =
      std::make_shared<CapturingMessageSink>();
  tmpl::Section section_;
  std::string logo_;
  std::shared_ptr<Recordset> row_;
};

TEST_F(FillFieldsTest, EachFormGivesItsValue) {
  state_->set_image_base_url("fotos/");
  struct Case {
    std::string block;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no placeholders ] here", "no placeholders ] here"},
      {"<b>[Folio]</b> [Folio]", "<b>1001</b> 1001"},
      {"[Notes]", "uno<BR>dos"},
      {"[FORMAT(Total,#,##0.00)]", "1,234.50"},
      {"[format(Total,0.0)]", "1234.5"},
      {"[FORMAT(Empty,0.00)]", ""},
      {"[FORMAT(Total, symbol )]", "1,234.50USD"},
      {"[FORMAT(SUM(Total),0.00)]", "300.50"},
      {"[FORMAT( sum( Total ) ,0)]", "301"},
      {"[TRANSLATE(7)]", "No transtlation available"},
      {"[SUM(Total)]", "300.5"},
      {"[SUM( Total )]", "300.5"},
      {"[BASE64(Logo)]", "data:image/peg;base64,SlBFRw=="},
      {"[BASE64(Nope)]", ""},
      {"[PictureSourceDocument]", "fotos/doc1.png"},
      {"[picturesourcedocument]", "C:\\fotos\\a\\doc1.png"},
      {"rep_documentosrelacionados_itemsinfo, "
       "rep_documentosrelacionados_itemsinfo",
       "rep_documentosrelacionados_itemsinfo3, "
       "rep_documentosrelacionados_itemsinfo3"},
      // The first matching test decides.
      {"[SUM(Total) FORMAT(Total,0)]", "301"},
      {"[SUM(Total) HTML(x,y)]", "300.5"},
      {"[BASE64(Logo) HTML(x)]", "??BASE64(Logo) HTML(x)??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(FillText(c.block), c.expected);
  }
  EXPECT_TRUE(sink_->messages.empty());
}

TEST_F(FillFieldsTest, CurrencyAndSymbolPaths) {
  // With a CurrencyID column the host formats the amount in that currency.
  EXPECT_EQ(Fill("[FORMAT(Total,currency)]", Row({{"CurrencyID", Variant(2)}}))
                .AsString(),
            "US$1,234.50");
  EXPECT_EQ(FillText("[FORMAT(Total,CURRENCY)]"), "$1,234.50");
  // Only the exact lower-cased argument is the currency path.
  EXPECT_EQ(FillText("[FORMAT(Total, currency)]"),
            Format(Variant("1234.5"), " currency"));
  // The symbol goes after only for an exact "R".
  EXPECT_EQ(Fill("[FORMAT(Total,SYMBOL)]", Row({{"Alignment", Variant("r")}}))
                .AsString(),
            "USD1,234.50");
  EXPECT_EQ(
      Fill("[FORMAT(Total,symbol)]", Row({{"Alignment", Variant::Null()}}))
          .AsString(),
      "USD1,234.50");
}

TEST_F(FillFieldsTest, QrCodesAndAmountsInWordsTakeOnlyTheirOwnForm) {
  const std::string url = "https://example.com/v?id=1&tt=1234.5";
  const auto row = Row({{"Url", Variant(url)}, {"Moneda", Variant("usd")}});
  struct Case {
    std::string block;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"<img src=\"[QR(Url)]\">",
       "<img src=\"" + QrDataUri(url, QrLevel::kM) + "\">"},
      {"[qr( Url , H )]", QrDataUri(url, QrLevel::kH)},
      {"[QR(Empty)]", ""},
      {"[IMPORTECONLETRA(Total)]",
       "MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N."},
      {"[ImporteConLetra(Total,Moneda)]",
       "MIL DOSCIENTOS TREINTA Y CUATRO DÓLARES 50/100 USD"},
      {"[IMPORTECONLETRA(Folio,Empty)]", "MIL UN PESOS 00/100 M.N."},
      {"[IMPORTECONLETRA(Empty)]", ""},
      // Failures, and placeholders whose own form comes first.
      {"[QR(Nope)]", "??QR(Nope)??"},
      {"[QR(Url,X)]", "??QR(Url,X)??"},
      {"[IMPORTECONLETRA(Notes)]", "??IMPORTECONLETRA(Notes)??"},
      {"[IMPORTECONLETRA(Total,Nope)]", "??IMPORTECONLETRA(Total,Nope)??"},
      {"[SUM(Total) QR(Url)]", "300.5"},
      {"[TRANSLATE(1) IMPORTECONLETRA(Total)]", "No transtlation available"},
      {"[QR(Url)x]", "??QR(Url)x??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(Fill(c.block, row).AsString(), c.expected);
  }
}

TEST_F(FillFieldsTest, FailuresShowTheNameBetweenQuestionMarks) {
  const std::vector<std::string> blocks = {
      "[TRANSLATE(x)]",     "[SUM(Nope)]",      "[FORMAT(Total)]",
      "[FORMAT(Total,0) ]", "[HTML(rel.html)]", "[FORMAT(SUM(Nope),0)]",
  };
  for (const std::string& block : blocks) {
    SCOPED_TRACE(block);
    const std::string name = block.substr(1, block.size() - 2);
    const std::string failed = "??" + name + "??";
    EXPECT_EQ(
        FillText(std::string("a ").append(block).append(" b ").append(block)),
        std::string("a ").append(failed).append(" b ").append(failed));
  }
  // A row without the columns the symbol path reads.
  const RowSet bare({Column{"Total"}}, {{Variant(5.0)}});
  EXPECT_EQ(Fill("[FORMAT(Total,symbol)]", Recordset::Create(bare)).AsString(),
            "??FORMAT(Total,symbol)??");
  // No section to hold totals.
  std::string block = "[SUM(Total)]";
  EXPECT_EQ(FillFields(state_, block, row_, nullptr).AsString(),
            "??SUM(Total)??");
  // An unknown name with the search off, and the empty placeholder.
  EXPECT_EQ(FillText("[Nope][]"), "??Nope??????");
}

TEST_F(FillFieldsTest, ValuesThatBringInBracketsAreWorkedOutAgain) {
  const auto row =
      Row({{"Inner", Variant("[Folio]")},
           {"Self", Variant("[FORMAT(Self,@)]")},
           {"Twice", Variant("[FORMAT(Twice,@)][FORMAT(Twice,@)]")},
           {"Open", Variant("x[y")}});
  EXPECT_EQ(Fill("[FORMAT(Inner,@)]!", row).AsString(), "1001!");
  // A plain name loses the brackets of its value.
  EXPECT_EQ(Fill("[Inner]", row).AsString(), "Folio");
  // Values that name themselves stop as failures instead of running on.
  EXPECT_EQ(Fill("<[FORMAT(Self,@)]>", row).AsString(),
            "<??FORMAT(Self,@)??"
            ">");
  const std::string doubled = Fill("[FORMAT(Twice,@)]", row).AsString();
  EXPECT_LT(doubled.size(), std::size_t{20} << 20);
  EXPECT_NE(doubled.find("??FORMAT(Twice,@)??"), std::string::npos);
  // A value with a "[" and no "]" after it stops the block.
  EXPECT_TRUE(Fill("[FORMAT(Open,@)]", row).IsEmpty());
  ASSERT_EQ(sink_->messages.size(), 1u);
}

TEST_F(FillFieldsTest, AMissingClosingBracketStopsTheBlock) {
  std::string block = "[Folio] and [Folio";
  EXPECT_TRUE(FillFields(state_, block, row_, &section_).IsEmpty());
  ASSERT_EQ(sink_->messages.size(), 1u);
  EXPECT_EQ(sink_->messages[0].text, "Missing '[' !");
  EXPECT_EQ(sink_->messages[0].icon, MessageIcon::kInformation);
}

TEST_F(FillFieldsTest, StrayAndNestedBracketsEndInPlainText) {
  struct Case {
    std::string block;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // A "]" before the first "[" is text; the block is still filled.
      {"a] [Folio] b]", "a] 1001 b]"},
      {"]]][Folio]", "]]]1001"},
      // The placeholder runs from the first "[" to the first "]" after it.
      {"[[Folio]]", "1001]"},
      {"[a[Folio]b]", "??aFolio??b]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(FillText(c.block), c.expected);
  }
}

TEST_F(FillFieldsTest, OddInputIsFilledWithoutHarm) {
  const std::string long_pattern(10'000, '0');
  EXPECT_EQ(FillText("[FORMAT(Total," + long_pattern + ")]"),
            std::string(10'000 - 4, '0') + "1235");
  EXPECT_TRUE(Fill("[FORMAT(Total,;;;\"\\)]", row_).IsString());
  EXPECT_TRUE(sink_->messages.empty());
  // Picture paths no file can have.
  for (const std::string& path :
       {std::string(5'000, 'a'), std::string("\xFF\xFE.png"),
        std::string("a\0b", 3), dir_.path().string()}) {
    EXPECT_EQ(Fill("[BASE64(Logo)]", Row({{"Logo", Variant(path)}})).AsString(),
              "");
  }
  const auto row = Row({{"Bytes", Variant("\xFF\xFE[\xC3")}});
  EXPECT_EQ(Fill("[Bytes]", row).AsString(), "\xFF\xFE\xC3");
  EXPECT_EQ(Fill("[FORMAT(Bytes,@)]", row).IsEmpty(), true);
}

TEST_F(FillFieldsTest, Base64OfAPictureThatGivesNoTextIsEmpty) {
  const std::string big = dir_.Write("big.png", "");
  std::filesystem::resize_file(big, kMaxPictureSize + 1);
  for (const std::string& path : {dir_.Write("empty.png", ""), big}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Fill("[BASE64(Logo)]", Row({{"Logo", Variant(path)}})).AsString(),
              "");
  }
}

TEST_F(FillFieldsTest, ABracketAnywhereInAPlainValueIsDropped) {
  // Values are scanned several bytes at a time; a bracket at any place of
  // any length, the last bytes of a length that is no multiple of the step
  // included, must be seen.
  for (std::size_t length = 1; length <= 70; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (const char bracket : {'[', ']'}) {
        std::string value(length, 'x');
        value[at] = bracket;
        SCOPED_TRACE(value);
        EXPECT_EQ(
            Fill("<[Value]>", Row({{"Value", Variant(value)}})).AsString(),
            "<" + std::string(length - 1, 'x') + ">");
      }
    }
  }
  // Bytes one away from the brackets are plain text.
  const std::string near = "ZZ\\\\^^Z\\Z^^\xDB\xDDZ\\ZZ^";
  EXPECT_EQ(Fill("[Value]", Row({{"Value", Variant(near)}})).AsString(), near);
}

TEST_F(FillFieldsTest, PlaceholdersMetBeforeAValueWithBracketsStayFilled) {
  // Values met before the first one that brings a bracket in, repeated
  // ones among them, are in place, here and further on, when the rule
  // takes the rest of the block over.
  const auto row =
      Row({{"Inner", Variant("[Folio]")}, {"Other", Variant("x")}});
  EXPECT_EQ(
      Fill("a[Folio]b[Other]c[Folio]d[FORMAT(Inner,@)]e[Other]f[Folio]g", row)
          .AsString(),
      "a1001bxc1001d1001exf1001g");
  EXPECT_EQ(
      Fill("[Other][FORMAT(Inner,@)][FORMAT(Inner,@)][Other]", row).AsString(),
      "x10011001x");
}

// The rule written out plainly, for blocks of plain names and
// "[FORMAT(name,@)]" over the columns of `row`; nothing after the
// "Missing '[' !" stop.
std::optional<std::string> FillByTheRule(
    std::string text, const std::map<std::string, std::string>& row) {
  for (std::size_t open = text.find('['); open != std::string::npos;
       open = text.find('[', open)) {
    const std::size_t close = text.find(']', open);
    if (close == std::string::npos) return std::nullopt;
    const std::string placeholder = text.substr(open, close - open + 1);
    const std::string name = placeholder.substr(1, placeholder.size() - 2);
    std::string value = "??" + name + "??";
    if (name.starts_with("FORMAT(")) {
      value = row.at(name.substr(7, name.find(',') - 7));
    } else if (row.contains(name)) {
      value = WithoutBrackets(row.at(name));
    }
    for (std::size_t at = text.find(placeholder, open); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
      text.replace(at, placeholder.size(), value);
    }
  }
  return text;
}

TEST_F(FillFieldsTest, RandomBlocksAreFilledAsTheRuleFillsThem) {
  const std::map<std::string, std::string> values = {
      {"Folio", "1001"},
      {"Other", "x"},
      {"Close", "a]b"},
      {"Inner", "[Folio]"},
  };
  const auto row = Row({{"Other", Variant("x")},
                        {"Close", Variant("a]b")},
                        {"Inner", Variant("[Folio]")}});
  const std::vector<std::string> pieces = {"[Folio]",
                                           "[Other]",
                                           "[Close]",
                                           "[Inner]",
                                           "[Nope]",
                                           "[FORMAT(Folio,@)]",
                                           "[FORMAT(Close,@)]",
                                           "[FORMAT(Inner,@)]",
                                           "]",
                                           "t",
                                           "<td>"};
  std::mt19937 random(16);
  for (int round = 0; round < 2000; ++round) {
    std::string block;
    for (int n = random() % 12; n >= 0; --n) {
      block += pieces[random() % pieces.size()];
    }
    SCOPED_TRACE(block);
    const std::optional<std::string> expected = FillByTheRule(block, values);
    const Variant filled = Fill(block, row);
    if (expected) {
      EXPECT_EQ(filled.AsString(), *expected);
    } else {
      EXPECT_TRUE(filled.IsEmpty());
    }
  }
}

TEST_F(FillFieldsTest, EveryOccurrenceOfManyPlaceholdersGetsItsValue) {
  // Many distinct placeholders, each standing again further on.
  std::string block;
  std::string expected;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 40; ++i) {
      const std::string name = "N" + std::to_string(i);
      block += "<[" + name + "]|[Folio]>";
      expected += "<??" + name + "??|1001>";
    }
  }
  EXPECT_EQ(FillText(block), expected);
}

TEST_F(FillFieldsTest, AppendingGivesWhatFillingGivesAfterTheTextBefore) {
  const auto row = Row(
      {{"Inner", Variant("[Folio]")}, {"Self", Variant("[FORMAT(Self,@)]")}});
  const std::vector<std::string> blocks = {
      "<b>[Folio]</b> [Folio] [Notes]",
      "[FORMAT(Inner,@)] and [Folio]",
      "<[FORMAT(Self,@)]> [Folio]",
      "a] [[Folio]] [a[Folio]b]",
      "rep_documentosrelacionados_itemsinfo [Folio]",
      "plain text",
      "",
  };
  for (const std::string& block : blocks) {
    SCOPED_TRACE(block);
    std::string filled = block;
    const Variant expected = FillFields(state_, filled, row, &section_);
    std::string out = "before[Folio]";
    FillFields(out, state_, block, row, &section_);
    EXPECT_EQ(out, "before[Folio]" + expected.AsString());
  }
  EXPECT_TRUE(sink_->messages.empty());
}

TEST_F(FillFieldsTest, AppendingABlockWithoutItsClosingBracketAddsNothing) {
  const auto row = Row({{"Open", Variant("x[y")}});
  for (const std::string block :
       {"[Folio] and [Folio", "[Folio] [FORMAT(Open,@)]"}) {
    SCOPED_TRACE(block);
    std::string out = "before";
    FillFields(out, state_, block, row, &section_);
    EXPECT_EQ(out, "before");
  }
  ASSERT_EQ(sink_->messages.size(), 2u);
  EXPECT_EQ(sink_->messages[1].text, "Missing '[' !");
}

TEST_F(FillFieldsTest, FailedPlaceholdersAreDiagnosedWithTheirBlock) {
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  state_->set_diagnostic_listener(listener);
  const std::string block = "[Folio] [Nope] [TRANSLATE(x)] [SUM(Folio)]";
  EXPECT_EQ(FillText(block), "1001 ??Nope?? ??TRANSLATE(x)?? ??SUM(Folio)??");
  std::vector<std::string> names;
  for (const Diagnostic& d : listener->diagnostics) {
    EXPECT_EQ(d.kind, DiagnosticKind::kPlaceholderFailed);
    // The functions' failures come with their block.
    if (d.subject != "Nope") {
      EXPECT_EQ(d.context, block);
    }
    EXPECT_FALSE(d.detail.empty());
    names.push_back(d.subject);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{"Nope", "TRANSLATE(x)", "SUM(Folio)"}));
}

TEST(HtmlPlaceholderCall, ARowIdThatIsNoNumberIsQuoted) {
  EXPECT_EQ(HtmlPlaceholderCall("[HTML(r.html,docRel)]",
                                Variant("1 OR 1=1; DROP TABLE x"), "")
                .statement,
            "SELECT * FROM [docRel] WHERE ID='1 OR 1=1; DROP TABLE x' ORDER "
            "By LineNumber");
  EXPECT_EQ(HtmlPlaceholderCall("[HTML(r.html,docRel)]", Variant("O'Hara"), "")
                .statement,
            "SELECT * FROM [docRel] WHERE ID='O''Hara' ORDER By LineNumber");
}

TEST(HtmlPlaceholderCall, BuildsTheNestedReportsStatementAndPaths) {
  const NestedReportCall call = HtmlPlaceholderCall(
      "[HTML( rel.html , docRel )]", Variant(15), "/srv/models/");
  EXPECT_EQ(call.statement,
            "SELECT * FROM [docRel] WHERE ID=15 ORDER By LineNumber");
  EXPECT_EQ(call.template_path, "/srv/models/rel.html ");
  EXPECT_EQ(call.destination, "/srv/models/tmpx.html");
  // Before any template was opened the paths stay relative.
  const NestedReportCall relative =
      HtmlPlaceholderCall("[HTML(rel.html,docRel)]", Variant(15), "");
  EXPECT_EQ(relative.template_path, "rel.html");
  EXPECT_EQ(relative.destination, "tmpx.html");
  EXPECT_AUTOMATION_ERROR(
      HtmlPlaceholderCall("[HTML(rel.html)]", Variant(15), ""),
      errors::kInvalidArgument);
}

}  // namespace
}  // namespace nerolin::fields
