#include "cli/demo_build.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "fields/qr_code.h"
#include "support/test_support.h"

namespace nerolin::cli {
namespace {

using testing::ReadFile;
using testing::TempDir;

struct DemoRun {
  int status;
  std::vector<std::string> reports;
  std::string errors;
};

DemoRun BuildDemo(const std::string& out_dir) {
  std::ostringstream out;
  std::ostringstream err;
  DemoRun run{BuildAndRenderDemo(out_dir, out, err), {}, err.str()};
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    run.reports.push_back(line);
  }
  return run;
}

// Sets an environment variable for one test and puts back what was there.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(BuildAndRenderDemo, WritesEveryDocumentAndListsItsPath) {
  TempDir dir;
  const DemoRun run = BuildDemo(dir.File("salida"));
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  const std::filesystem::path folder = dir.path() / "salida";
  EXPECT_EQ(run.reports,
            (std::vector<std::string>{(folder / "factura-A-1187.html").string(),
                                      (folder / "traslado-T-87.html").string(),
                                      (folder / "pago-P-215.html").string()}));
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / "demo.db"));
  for (const std::string& report : run.reports) {
    SCOPED_TRACE(report);
    const std::string html = ReadFile(report);
    // Every placeholder found its value; nothing was left for the engine's
    // later steps.
    EXPECT_EQ(html.find("??"), std::string::npos);
    EXPECT_EQ(html.find("name=\"extradetail\""), std::string::npos);
    EXPECT_EQ(html.find("<Remove>"), std::string::npos);
    EXPECT_NE(html.find("src=\"data:image/png;base64,"), std::string::npos);
  }
}

TEST(BuildAndRenderDemo, FillsTheDocumentsFromRowsLookUpsAndExtraDetails) {
  TempDir dir;
  const DemoRun run = BuildDemo(dir.path().string());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string invoice = ReadFile(run.reports[0]);
  // A line's computed amount, its IVA looked up in docDocumentItem, the
  // total, and the related CFDI of the docRel sub-report.
  EXPECT_NE(invoice.find("$16,620.00"), std::string::npos);
  EXPECT_NE(invoice.find("2,659.20"), std::string::npos);
  EXPECT_NE(invoice.find("$60,982.36"), std::string::npos);
  EXPECT_NE(invoice.find("429AD289-D8DA-4265-AAA5-12AA40CC5F8D"),
            std::string::npos);
  const std::string transfer = ReadFile(run.reports[1]);
  // The goods of the vwVADTransportMercancia sub-report and their weight.
  EXPECT_NE(transfer.find("S&iacute; - UN1263"), std::string::npos);
  EXPECT_NE(transfer.find("10,778.000"), std::string::npos);
}

// The part of `html` from `start` up to `end`, or "" when either is
// missing.
std::string Between(const std::string& html, const std::string& start,
                    const std::string& end) {
  const std::size_t from = html.find(start);
  if (from == std::string::npos) return {};
  const std::size_t to = html.find(end, from);
  if (to == std::string::npos) return {};
  return html.substr(from, to - from);
}

TEST(BuildAndRenderDemo, FillsAddendaAndCartaPorteDataThroughTheLookUps) {
  TempDir dir;
  const DemoRun run = BuildDemo(dir.path().string());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string invoice = ReadFile(run.reports[0]);
  const std::string addenda =
      Between(invoice, "class=\"caja addenda\"", "class=\"fiscal\"");
  const std::string transfer = ReadFile(run.reports[1]);
  struct Case {
    const std::string* text;
    std::string value;
    std::string source;
  };
  const std::vector<Case> cases = {
      {&addenda, "PRV-0388", "issuer's value (module type 5)"},
      {&addenda, "Materiales de construcci&oacute;n",
       "customer's value (type 1) through its simple list"},
      {&addenda, "OB-2417 Residencial Los Arcos", "document's value (type 2)"},
      {&addenda, "OC-SM-24-0517", "existing column of vwCFDAddendas"},
      {&addenda, "9,446.00 kg", "stored SELECT with {DOCUMENTID}"},
      {&addenda,
       "429AD289-D8DA-4265-AAA5-12AA40CC5F8D, "
       "B0E3C5A1-7D24-4F6B-9C18-5E2A7F90D437",
       "stored ConcatRelated call over docRel"},
      {&invoice,
       "Partida OC 10 &middot; material ACR-0038 &middot; Acero de refuerzo "
       "&middot; Cimentaci&oacute;n",
       "line (type 4) and product (type 3) values, pick lists by ItemData and "
       "by Custom1"},
      {&invoice, "compras@sierramorena.example",
       "stored SELECT with {BUSINESSENTITYID}"},
      {&transfer, "CCC9C45A-2C0D-4D1E-9602-22FBF88701FF",
       "Carta Porte datum of the document"},
      {&transfer, "71-AN-3K &middot; modelo 2019", "the vehicle's values"},
      {&transfer, "CTR007 - Caja seca", "the trailer's SubTipoRem"},
      {&transfer, "94-UJ-8C", "stored SELECT with [CartaPorte_RemolqueID]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_NE(c.text->find(c.value), std::string::npos) << c.value;
  }
}

TEST(BuildAndRenderDemo, PrintsTheStoredUrlsAsQrCodesAndTheTotalsInWords) {
  TempDir dir;
  const DemoRun run = BuildDemo(dir.path().string());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string invoice = ReadFile(run.reports[0]);
  const std::string transfer = ReadFile(run.reports[1]);
  const std::string payment = ReadFile(run.reports[2]);
  const auto qr = [](std::string_view url) {
    return "src=\"" + fields::QrDataUri(url, fields::QrLevel::kM) + "\"";
  };
  constexpr std::string_view kSat =
      "https://verificacfdi.facturaelectronica.sat.gob.mx/";
  struct Case {
    const std::string* text;
    std::string value;
    std::string source;
  };
  const std::vector<Case> cases = {
      {&invoice,
       qr(std::string(kSat) +
          "default.aspx?id=3E1A9B42-F5FB-49F0-AD1B-05D97491BC66"
          "&re=AHP150318KT7&rr=ESM120904PL3&tt=60982.36&fe=7tmH9A=="),
       "CodigoQR of the print view"},
      {&invoice, "SESENTA MIL NOVECIENTOS OCHENTA Y DOS PESOS 36/100 M.N.",
       "Total in the row's CurrencyCode"},
      {&invoice, "content: \"Factura \\00B7  serie A \\00B7  folio 1187\"",
       "the style of the report header, filled from the first row"},
      {&transfer,
       qr(std::string(kSat) +
          "verificaccp/default.aspx?IdCCP=CCC9C45A-2C0D-4D1E-9602-22FBF88701FF"
          "&FechaOrig=2024-05-16T07:30:00&FechaTimb=2024-05-16T07:03:15"),
       "Carta Porte datum of the document"},
      {&transfer,
       qr(std::string(kSat) +
          "default.aspx?id=043EE98B-BC6A-4718-9C46-F3A9155DC0E2"
          "&re=AHP150318KT7&rr=AHP150318KT7&tt=0&fe=D+i+7g=="),
       "CodigoQR of the print view"},
      {&payment,
       qr(std::string(kSat) +
          "default.aspx?id=67078855-91AC-43CD-B165-0F0767CD0CA5"
          "&re=AHP150318KT7&rr=ACS080715RD9&tt=0&fe=73nLpA=="),
       "CodigoQR of the receipt joined by the print statement"},
      // Written again by the retention filter, the accented letter comes
      // back as a character.
      {&payment, "S MIL NOVECIENTOS SESENTA PESOS 00/100 M.N.",
       "Amount in the row's CurrencyCode"},
      {&payment,
       "content: \"Folio fiscal 67078855-91AC-43CD-B165-0F0767CD0CA5\"",
       "the style of the report header, through the retention filter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_NE(c.text->find(c.value), std::string::npos) << c.value;
  }
}

TEST(BuildAndRenderDemo, KeepsOnlyThePaymentsOwnRetentionBlock) {
  TempDir dir;
  const DemoRun run = BuildDemo(dir.path().string());
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string payment = ReadFile(run.reports[2]);
  EXPECT_NE(payment.find("id=\"3\""), std::string::npos);
  EXPECT_EQ(payment.find("id=\"1\""), std::string::npos);
  EXPECT_EQ(payment.find("id=\"5\""), std::string::npos);
}

TEST(BuildAndRenderDemo, ReplacesTheDatabaseOfAnEarlierRun) {
  TempDir dir;
  ASSERT_EQ(BuildDemo(dir.path().string()).status, 0);
  const DemoRun again = BuildDemo(dir.path().string());
  EXPECT_EQ(again.status, 0) << again.errors;
  EXPECT_EQ(again.reports.size(), 3u);
}

TEST(BuildAndRenderDemo, SaysWhatFailedAndWritesNothing) {
  TempDir dir;
  const std::string file = dir.Write("un-archivo", "x");
  struct Case {
    std::string out_dir;
    std::optional<std::string> source;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"", std::nullopt, "the output folder is empty\n"},
      {file, std::nullopt,
       "cannot create the folder " + file + ": Not a directory\n"},
      {dir.File("salida"), dir.path().string(),
       "NEROLIN_SOURCE_DIR=" + dir.path().string() +
           " holds no data/schema.sql and examples/demo/demo.sql\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out_dir);
    std::optional<ScopedEnvironment> source;
    if (c.source) source.emplace("NEROLIN_SOURCE_DIR", *c.source);
    const DemoRun run = BuildDemo(c.out_dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, c.error);
    EXPECT_TRUE(run.reports.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "salida"));
}

}  // namespace
}  // namespace nerolin::cli
