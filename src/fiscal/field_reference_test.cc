#include "fiscal/field_reference.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fiscal/fiscal_testing.h"

namespace nerolin::fiscal {
namespace {

// Document 7 of customer 30 with line 70 of product 500, related to two
// fiscal folios; a Carta Porte datum stored for the document and the line.
constexpr std::string_view kStatementRows = R"sql(
INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
  OwnedBusinessEntityID) VALUES (7, 1, 30, 5);
INSERT INTO docDocumentItem (DocumentItemID, DocumentID, ProductID)
  VALUES (70, 7, 500);
INSERT INTO docRel (ID, LineNumber, CFDIFolioFiscal) VALUES
  (7, 2, 'UUID-2'), (7, 1, 'UUID-1');
INSERT INTO engAddendaDefinicion (AddendaDefinicionID) VALUES (3);
INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
  AddendaDefinicionID, Referencia, ModuleTypeID)
  VALUES (301, 3, 'CartaPorte_Placa', 6);
INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor)
  VALUES (301, 7, 'DOC-PLACA'), (301, 70, 'LINE-PLACA');
INSERT INTO engAddendaFieldRef (FieldRefKey, SQL, DeletedOn) VALUES
  ('Tokens', 'SELECT ''{documentid}|{DOCUMENTITEMID}|{FINANCIALOPERATIONID}|'
    || '{DOCUMENTPAYMENTID}|{BUSINESSENTITYID}|{PRODUCTID}''', NULL),
  ('Placa', 'SELECT ''[CartaPorte_Placa]/{DOCUMENTID}/[CartaPorte_Placa]''',
    NULL),
  ('Upper', 'SELECT ''a''', NULL), ('Lower', 'select ''a''', NULL),
  ('Title', 'Select ''a''', NULL), ('Mixed', 'SeLeCt ''a''', NULL),
  ('MixedCall', 'SeLeCt count(*)', NULL),
  ('Related', 'ConcatRelated("CFDIFolioFiscal", "docRel", '
    || '"ID = {DOCUMENTID}", "LineNumber")', NULL),
  ('NoSpace', 'ConcatRelated("CFDIFolioFiscal","docRel")', NULL),
  ('Quotes', 'ConcatRelated("CFDIFolioFiscal, "docRel", "ID = 7")', NULL),
  ('Parenthesis', 'ConcatRelated("CFDIFolioFiscal", "docRel"', NULL),
  ('Member', 'Concatenate("a", "b")', NULL),
  ('Delete', 'DELETE FROM docRel', NULL),
  ('Broken', 'SELECT Valor FROM NoSuchTable', NULL),
  ('Folio''Rel', 'SELECT ''apostrophe''', NULL),
  ('Deleted', 'SELECT ''deleted''', '2024-01-01 00:00:00');
)sql";

class FieldReferenceTest : public FiscalTest {
 protected:
  void SetUp() override { Connect(kStatementRows); }
};

TEST_F(FieldReferenceTest, TokensTakeTheRowsIdentifiers) {
  // A line without DocumentPaymentID keeps that token.
  EXPECT_EQ(Detail("Tokens", Line(7, 70)), "7|70|7|{DOCUMENTPAYMENTID}|30|500");
  EXPECT_EQ(Detail("Tokens", Row({"ID", "DocumentItemID", "DocumentPaymentID"},
                                 {Variant(7), Variant(70), Variant(555)})),
            "7|70|7|555|30|500");
  // Header blocks never replace the payment and product tokens, and the
  // line token only when the row has a line.
  EXPECT_EQ(Header("Tokens", Line(7, 70)),
            "7|70|7|{DOCUMENTPAYMENTID}|30|{PRODUCTID}");
  EXPECT_EQ(Header("Tokens", Document(7)),
            "7|{DOCUMENTITEMID}|7|{DOCUMENTPAYMENTID}|30|{PRODUCTID}");
}

TEST_F(FieldReferenceTest, CartaPorteReferencesTakeTheStoredValues) {
  // Detail blocks read the value of the row's second column and still
  // replace the tokens; header blocks read the document's and leave them.
  EXPECT_EQ(Detail("Placa", Line(7, 70)), "LINE-PLACA/7/LINE-PLACA");
  EXPECT_EQ(Header("Placa", Document(7)), "DOC-PLACA/{DOCUMENTID}/DOC-PLACA");
  std::string text = "[x] [CartaPorte_Placa] [cartaporte_placa] [CartaPorte_";
  EXPECT_EQ(ReplaceAddendaReferences(*state_, 7, text),
            "[x] DOC-PLACA DOC-PLACA [CartaPorte_");
  EXPECT_EQ(text, "[x] DOC-PLACA DOC-PLACA [CartaPorte_");
}

TEST_F(FieldReferenceTest, StatementsRunAsQueriesOrCalls) {
  struct Case {
    std::string key;
    std::string expected;
    std::string message;  // "" for none
  };
  const std::vector<Case> cases = {
      {"Upper", "a", ""},
      {"Lower", "a", ""},
      {"Title", "a", ""},
      // Any other spelling is a call expression.
      {"Mixed", "??Mixed??", ""},
      {"MixedCall", "", "SeLeCt"},
      {"Related", "UUID-1, UUID-2", ""},
      // Without the space after the comma the texts are one argument.
      {"NoSpace", "", "Wrong number of arguments"},
      // Quotes are dropped, balanced or not.
      {"Quotes", "UUID-1, UUID-2", ""},
      {"Parenthesis", "??Parenthesis??", ""},
      {"Member", "", "Concatenate"},
      {"Delete", "??Delete??", ""},
      {"Broken", "", ""},
      {"Folio'Rel", "apostrophe", ""},
      {"Deleted", "??Deleted??", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    sink_->messages.clear();
    EXPECT_EQ(Header(c.key, Document(7)), c.expected);
    if (c.message.empty()) {
      EXPECT_TRUE(sink_->messages.empty());
      continue;
    }
    ASSERT_EQ(sink_->messages.size(), 1u);
    EXPECT_EQ(sink_->messages[0].title, "CallByNameEx");
    EXPECT_NE(sink_->messages[0].text.find(c.message), std::string::npos)
        << sink_->messages[0].text;
  }
}

}  // namespace
}  // namespace nerolin::fiscal
