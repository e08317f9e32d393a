#include "engine/retention_filter.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "component/component_state.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "support/test_support.h"

namespace nerolin::engine {
namespace {

using ado::DataType;
using ado::Recordset;
using ado::RowSet;
using testing::ReadFile;
using testing::TempDir;

// One payment row whose retention complement type is `type`.
std::shared_ptr<Recordset> PaymentOfType(Variant type) {
  return Recordset::Create(
      RowSet{{{"ID", DataType::kInteger},
              {"RetentionComplementTypeID", DataType::kInteger}},
             {{Variant(7), std::move(type)}}});
}

constexpr const char* kHead =
    "<html><head><style>td {-ms-word-break: break-all;}</style></head><body>";
constexpr const char* kBlock1 =
    "<div name=\"complementretention\" id=\"1\">a</div>";
constexpr const char* kBlock2 =
    "<div name=\"complementretention\" id=\"2\">b</div>";
constexpr const char* kBlock3 =
    "<div name=\"complementretention\" id=\"3\">c</div>";
constexpr const char* kTail = "<p>Total</p></body></html>";
// The head as it comes back: the legacy word-break style rewritten.
constexpr const char* kCleanHead =
    "<html><head><style>td {word-break: break-all}</style></head><body>";

std::string Report(std::string_view blocks) {
  return "<!DOCTYPE html>\r\n" + std::string(kHead) + std::string(blocks) +
         kTail;
}

TEST(FilterRetentionComplements, KeepsOnlyTheBlocksOfTheRowsType) {
  const std::string all = std::string(kBlock1) + kBlock2 + kBlock3;
  const struct {
    const char* name;
    Variant type;
    std::string blocks;
    std::string kept;
  } cases[] = {
      {"type 2", Variant(2), all, kBlock2},
      {"type as text", Variant("3"), all, kBlock3},
      {"no block of the type", Variant(9), all, ""},
      {"Null type removes nothing", Variant::Null(), all, all},
      {"id read as a number", Variant(2),
       "<p name=\"complementretention\" id=\" 02 \">x</p>" + all,
       "<p name=\"complementretention\" id=\" 02 \">x</p>" +
           std::string(kBlock2)},
      // A foreign block goes with what it holds; a foreign block inside a
      // kept one goes alone.
      {"nested", Variant(2),
       "<div name=\"complementretention\" id=\"1\">" + std::string(kBlock2) +
           "</div><div name=\"complementretention\" id=\"2\">" + kBlock3 +
           "</div>",
       "<div name=\"complementretention\" id=\"2\"></div>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string destination = dir.File("pago.html");
    const std::string cleaned = FilterRetentionComplements(
        Report(c.blocks), PaymentOfType(c.type), destination);
    EXPECT_EQ(cleaned, kCleanHead + c.kept + kTail);
    EXPECT_EQ(ReadFile(destination), cleaned + "\r\n");
  }
}

TEST(FilterRetentionComplements, AReportWithoutBlocksKeepsItsRootAsWritten) {
  const struct {
    const char* name;
    std::string html;
    std::shared_ptr<Recordset> rst;
    std::string cleaned;
  } cases[] = {
      {"whole root",
       "<!DOCTYPE html>\r\n<HTML><BODY><P>uno<td style=\"-ms-word-break: "
       "break-all;\">x</td></HTML>\r\n",
       PaymentOfType(Variant(2)),
       "<HTML><BODY><P>uno<td style=\"word-break: break-all\">x</td></HTML>"},
      // No block is looked for, so the type field is not needed.
      {"no type field", "<html><p>x</p></html>",
       Recordset::Create(RowSet{{{"ID", DataType::kInteger}}, {{Variant(7)}}}),
       "<html><p>x</p></html>"},
      // Markup after the root's end tag goes into the root.
      {"markup after the root", "<html><body>a</body></html><p>b</p>",
       PaymentOfType(Variant(2)), "<html><body>a</body><p>b</p></html>"},
      {"fragment", "<p>a</p>", PaymentOfType(Variant(2)),
       "<html><body><p>a</p></body></html>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string destination = dir.File("r.html");
    EXPECT_EQ(FilterRetentionComplements(c.html, c.rst, destination),
              c.cleaned);
    EXPECT_EQ(ReadFile(destination), c.cleaned + "\r\n");
  }
}

TEST(FilterRetentionComplements, GivesBackTheTextUntouchedWhenItCannotFinish) {
  TempDir dir;
  const std::string all = std::string(kBlock1) + kBlock2 + kBlock3;
  auto moved_past_the_end = PaymentOfType(Variant(2));
  moved_past_the_end->MoveNext();
  auto closed = PaymentOfType(Variant(2));
  closed->Close();
  const struct {
    const char* name;
    std::string html;
    std::shared_ptr<Recordset> rst;
    std::string destination;
  } cases[] = {
      {"id that is no number",
       Report(std::string(kBlock1) +
              "<div name=\"complementretention\" id=\"x\">?</div>" + kBlock3),
       PaymentOfType(Variant(2)), dir.File("a.html")},
      {"block without id",
       Report("<div name=\"complementretention\">?</div>" + all),
       PaymentOfType(Variant(2)), dir.File("a.html")},
      {"no rows", Report(all),
       Recordset::Create(
           RowSet{{{"RetentionComplementTypeID", DataType::kInteger}}, {}}),
       dir.File("a.html")},
      {"at the end", Report(all), moved_past_the_end, dir.File("a.html")},
      {"closed", Report(all), closed, dir.File("a.html")},
      {"no recordset", Report(all), nullptr, dir.File("a.html")},
      {"no type field", Report(all),
       Recordset::Create(RowSet{{{"ID", DataType::kInteger}}, {{Variant(7)}}}),
       dir.File("a.html")},
      {"file that cannot be written", Report(all), PaymentOfType(Variant(2)),
       dir.File("no-such-folder/a.html")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("a.html", "as written before");
    EXPECT_EQ(FilterRetentionComplements(c.html, c.rst, c.destination), c.html);
    EXPECT_EQ(ReadFile(dir.File("a.html")), "as written before");
  }
}

TEST(FilterRetentionComplements, AFilterThatCannotFinishIsReportedSkipped) {
  TempDir dir;
  ComponentState state;
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  state.set_diagnostic_listener(listener);
  const std::string html =
      Report("<div name=\"complementretention\" id=\"x\">?</div>");
  EXPECT_EQ(FilterRetentionComplements(html, PaymentOfType(Variant(2)),
                                       dir.File("a.html"), state),
            html);
  ASSERT_EQ(listener->diagnostics.size(), 1u);
  const Diagnostic& skipped = listener->diagnostics[0];
  EXPECT_EQ(skipped.kind, DiagnosticKind::kStepSkipped);
  EXPECT_EQ(skipped.subject, "FilterRetentionComplements");
  EXPECT_EQ(skipped.detail, "Error 13: Type mismatch: \"x\" is not a number");
}

// A rewrite that the disk cannot hold leaves the earlier report whole and
// says so.
TEST(FilterRetentionComplements, ARewriteThatDoesNotFitKeepsTheEarlierReport) {
  TempDir dir;
  const std::string destination = dir.Write("r.html", "earlier report");
  const std::string html = Report(kBlock2 + std::string(8000, 'x'));
  ComponentState state;
  auto sink = std::make_shared<CapturingMessageSink>();
  state.set_message_sink(sink);
  const auto said_and_gave_the_text_back = [&] {
    return FilterRetentionComplements(html, PaymentOfType(Variant(2)),
                                      destination, state) == html &&
           sink->messages.size() == 1;
  };
  EXPECT_EQ(testing::RunInChild(
                [&] { return said_and_gave_the_text_back() ? 0 : 1; }, 4096),
            0);
  EXPECT_EQ(ReadFile(destination), "earlier report");
}

}  // namespace
}  // namespace nerolin::engine
