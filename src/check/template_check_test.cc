#include "check/template_check.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "hostlib/host_library.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::check {
namespace {

using testing::TempDir;

// Each finding as "LINE:COLUMN: severity: code".
std::vector<std::string> Findings(const TempDir& dir, std::string_view bytes,
                                  const CheckOptions& options = {}) {
  std::vector<std::string> lines;
  for (const Finding& finding :
       CheckTemplateFile(dir.Write("t.html", bytes), options)) {
    lines.push_back(std::to_string(finding.position.line) + ":" +
                    std::to_string(finding.position.column) + ": " +
                    std::string(SeverityName(finding.severity)) + ": " +
                    finding.code);
  }
  return lines;
}

using Lines = std::vector<std::string>;

struct Case {
  std::string_view name;
  std::string_view text;
  Lines expected;
};

void RunCases(const TempDir& dir, const std::vector<Case>& cases,
              const CheckOptions& options = {}) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Findings(dir, c.text, options), c.expected);
  }
}

TEST(TemplateCheck, BlockMarkup) {
  TempDir dir;
  const std::string_view kGroup =
      "<GROUPH G [C]>h</GROUPH G><DETAIL>d</DETAIL><GROUPF G [C]>f</GROUPF G>";
  RunCases(
      dir,
      {
          {"clean", kGroup, {}},
          {"lower-case detail",
           "a\r\n <detail>d</DETAIL>",
           {"2:2: error: tag-case"}},
          {"closing tag in mixed case",
           "<DETAIL>d</Detail>",
           {"1:10: error: tag-case"}},
          {"group tags in lower case",
           "<grouph G [C]>h</grouph G><GROUPF G [C]>f</GROUPF G>",
           {"1:1: error: tag-case", "1:16: error: tag-case"}},
          {"doubled space before the field",
           "<GROUPH G  [C]>h</GROUPH G><GROUPF G [C]>f</GROUPF G>",
           {"1:1: error: tag-spacing"}},
          {"line break between name and field, joined by the reading",
           "<GROUPH G\r\n[C]>h</GROUPH G>\r\n<GROUPF G [C]>f</GROUPF G>",
           {"1:1: error: tag-spacing"}},
          {"space before >",
           "<GROUPH G [C] >h</GROUPH G><GROUPF G [C]>f</GROUPF G>",
           {"1:1: error: tag-spacing"}},
          {"header without its closing tag",
           "x\n<GROUPH G [C]>h<GROUPF G [C]>f</GROUPF G>",
           {"2:1: error: block-unclosed"}},
          {"second detail",
           "<DETAIL>a</DETAIL>\r\n<DETAIL>b</DETAIL>",
           {"2:1: error: detail-repeated"}},
          {"group named Report",
           "<GROUPH Report [C]>h</GROUPH Report><GROUPF Report [C]>f</GROUPF "
           "Report>",
           {"1:1: error: group-reserved-name",
            "1:37: error: group-reserved-name"}},
          {"header without footer",
           "<GROUPH G [C]>h</GROUPH G>",
           {"1:1: warning: group-no-footer"}},
          {"footer without header",
           "<GROUPF G [C]>f</GROUPF G>",
           {"1:1: warning: group-no-header"}},
          {"text between blocks",
           "<DETAIL>d</DETAIL>\r\n  lost\r\n<GROUPF G [C]>f</GROUPF G>",
           {"2:3: warning: text-dropped", "3:1: warning: group-no-header"}},
      });
}

TEST(TemplateCheck, Brackets) {
  TempDir dir;
  RunCases(
      dir,
      {
          {"clean", "<p>[A] and [B]</p>", {}},
          {"unclosed", "<p>[A]\r\n[B</p>", {"2:1: error: bracket-unclosed"}},
          // Each block is filled alone: the "]" of the detail
          // does not close the header's "[".
          {"unclosed before a block",
           "[A<DETAIL>]</DETAIL>",
           {"1:1: error: bracket-unclosed", "1:11: warning: bracket-stray"}},
          {"stray", "<p>a] [B]</p>", {"1:5: warning: bracket-stray"}},
      });
}

TEST(TemplateCheck, Functions) {
  TempDir dir;
  dir.Write("lines.html", "<DETAIL>[A]</DETAIL>");
  RunCases(
      dir,
      {
          {"clean",
           "[FORMAT(A,#,##0.00)][FORMAT(A,symbol)][TRANSLATE(7)][HTML(lines."
           "html,docLines)][BASE64(Logo)][QR(Url,H)][IMPORTECONLETRA(Total,"
           "MXN)]<GROUPH G [C]>[SUM(A)][FORMAT(SUM(A),0.00)]</GROUPH G>"
           "<GROUPF G [C]>[SUM(A)]</GROUPF G>",
           {}},
          {"unknown function",
           "x [TOTAL(A)]",
           {"1:3: error: function-unknown"}},
          {"space before (",
           "[FORMAT (A,0)]",
           {"1:1: error: function-unknown"}},
          {"FORMAT without a pattern",
           "[FORMAT(A)]",
           {"1:1: error: function-arguments"}},
          {"TRANSLATE of a text",
           "[TRANSLATE(x)]",
           {"1:1: error: function-arguments"}},
          {"HTML without a table",
           "[HTML(lines.html)]",
           {"1:1: error: function-arguments"}},
          {"BASE64 of nothing",
           "[BASE64( )]",
           {"1:1: error: function-arguments"}},
          {"QR with a level that is none",
           "[QR(Url,X)]",
           {"1:1: error: function-arguments"}},
          {"QR with three arguments",
           "[QR(Url,H,x)]",
           {"1:1: error: function-arguments"}},
          {"IMPORTECONLETRA without a name",
           "[IMPORTECONLETRA()]",
           {"1:1: error: function-arguments"}},
          {"pattern with an open quote",
           "\r\n  [FORMAT(A,0 \"kg)]",
           {"2:13: error: format-pattern"}},
          {"nested template missing",
           "[HTML(none.html,docLines)]",
           {"1:1: error: html-template-missing"}},
          {"SUM in the detail",
           "<DETAIL>[SUM(A)]</DETAIL>",
           {"1:9: warning: sum-outside-group"}},
          {"FORMAT(SUM in the report header",
           "[FORMAT(SUM(A),0)]",
           {"1:1: warning: sum-outside-group"}},
      });
}

TEST(TemplateCheck, ExtraDetailsAndPictures) {
  TempDir dir;
  dir.Write("rel.html", "<DETAIL>[A]</DETAIL>");
  dir.Write("logo.png", "png");
  RunCases(
      dir,
      {
          {"clean",
           "<span name=\"extradetail\" title=\"docRel\">rel.html</span>\n"
           "<img src=\"logo.png\"><img src=\"[Foto]\"><img "
           "src=\"https://x/y.png\">",
           {}},
          {"sub-template missing",
           "\n <span name=\"extradetail\" title=\"docRel\">none.html</span>",
           {"2:2: warning: extra-detail-template-missing"}},
          {"without /span>",
           "<span name=\"extradetail\">rel.html",
           {"1:7: warning: extra-detail-unclosed"}},
          {"picture missing",
           "<p>\r\n<IMG class=\"a\" src=\"none.png\">",
           {"2:21: warning: picture-missing"}},
      });
}

class TemplateCheckWithStatement : public ::testing::Test {
 protected:
  void SetUp() override {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(testing::MakeTestDatabase(
        dir_, "CREATE TABLE t (Nombre TEXT, Total REAL, Cliente TEXT);"));
    library_ = library;
  }
  std::vector<std::string> Columns(std::string_view sql) {
    hostlib::HostLibrary host(library_);
    return StatementColumns(host, sql);
  }

  TempDir dir_;
  ObjectRef library_;
};

TEST_F(TemplateCheckWithStatement, ColumnsComeFromTheStatement) {
  EXPECT_EQ(Columns("SELECT Nombre, Total AS Importe FROM t"),
            (Lines{"Nombre", "Importe"}));
  // A statement that cannot stand inside another is asked as it is.
  EXPECT_EQ(Columns("SELECT Nombre FROM t;"), (Lines{"Nombre"}));
  EXPECT_THROW(Columns("SELECT Nope FROM t"), AutomationError);
}

TEST_F(TemplateCheckWithStatement, NamesThatAreNoColumns) {
  CheckOptions options;
  options.columns = Columns("SELECT * FROM t");
  const std::string_view kTemplate =
      "<GROUPH G [Cliente]>[nombre]</GROUPH G>"
      "<GROUPF G [Cliente]>[FORMAT(SUM(Total),0)]</GROUPF G>"
      "<DETAIL>[Nombre][FORMAT(Total,0.00)][QR(Nombre)]</DETAIL>";
  RunCases(dir_,
           {
               {"clean", kTemplate, {}},
               {"group keyed by no column",
                "<GROUPH G [Nombres]>h</GROUPH G>"
                "<GROUPF G [Nombres]>f</GROUPF G>",
                {"1:1: error: group-field-unknown",
                 "1:33: error: group-field-unknown"}},
               {"unknown names",
                "[Descripcion]\r\n<DETAIL>[FORMAT(Importe,0)][BASE64(Logo)]"
                "[PictureSourceDocument]</DETAIL>",
                {"1:1: error: column-unknown", "2:9: error: column-unknown",
                 "2:28: error: column-unknown", "2:42: error: column-unknown"}},
           },
           options);
  options.find_match = true;
  RunCases(
      dir_,
      {{"with find-match", "[Descripcion]", {"1:1: warning: column-unknown"}}},
      options);
}

TEST(TemplateCheck, FindingsStopAtALimitAndKeepAnErrorLeftOut) {
  // Each stray "]" is a warning; the unclosed "[" after them is found last.
  const std::string text = std::string(5000, ']') + "[";
  const std::vector<Finding> findings = CheckTemplateBytes(text, "t.html", {});
  ASSERT_EQ(findings.size(), 1001u);
  EXPECT_EQ(findings.back().code, "too-many-findings");
  EXPECT_EQ(findings.back().severity, Severity::kError);
  EXPECT_EQ(findings.back().message,
            "4001 more findings (1 errors) are not shown");
}

TEST(TemplateCheck, UnreadableFile) {
  TempDir dir;
  const std::vector<Finding> findings =
      CheckTemplateFile(dir.File("none.html"), {});
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].code, "template-unreadable");
  EXPECT_EQ(findings[0].severity, Severity::kError);
}

}  // namespace
}  // namespace nerolin::check
