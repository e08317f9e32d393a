#include "fiscal/addenda_definition.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fiscal/fiscal_testing.h"

namespace nerolin::fiscal {
namespace {

// Company 5 issues documents 7 and 8 to customer 30, whose addenda
// definition is 1, document 9 to customer 31 (definition 2, deleted) and
// document 10 to customer 32, who has definition 1 only with company 6.
// Customer 40 has the Carta Porte definition 3: document 20 carries vehicle
// 900 and trailer 950, document 21 no complement, document 22 a vehicle
// only.
constexpr std::string_view kAddendaRows = R"sql(
INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
  OwnedBusinessEntityID) VALUES (7, 1, 30, 5), (8, 1, 30, 5), (9, 1, 31, 5),
  (10, 1, 32, 5), (20, 2, 40, 5), (21, 2, 40, 5), (22, 2, 40, 5);
INSERT INTO docDocumentItem (DocumentItemID, DocumentID, LineNumber,
  ProductID, NoIdentificacion) VALUES (70, 7, 1, 500, 'NI-70'),
  (71, 7, 2, 501, 'NI-71'), (80, 8, 1, 500, NULL);
INSERT INTO orgCustomer (BusinessEntityID, OwnedBusinessEntityID,
  AddendaDefinicionID) VALUES (30, 5, 1), (31, 5, 2), (32, 6, 1), (40, 5, 3);
INSERT INTO engAddendaDefinicion (AddendaDefinicionID, Nombre, DeletedOn)
  VALUES (1, 'Cliente', NULL), (2, 'Baja', '2024-01-01 00:00:00'),
  (3, 'Carta Porte', NULL);
INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
  AddendaDefinicionID, Referencia, ModuleTypeID, ListaSencilla, ClaveLista,
  CampoExistente) VALUES
  (101, 1, 'NumProveedor', 1, NULL, NULL, NULL),
  (102, 1, 'Pedido', 2, NULL, NULL, NULL),
  (103, 1, 'CodigoProducto', 3, NULL, NULL, NULL),
  (104, 1, 'LineaCliente', 4, NULL, NULL, NULL),
  (105, 1, 'Sucursal', 5, NULL, NULL, NULL),
  (106, 1, 'TipoEntrega', 2, '1=Uno;2=Dos', NULL, NULL),
  (107, 1, 'Clase', 2, 'A=Alfa', NULL, NULL),
  (108, 1, 'UnidadLinea', 4, 'Pieza=Pza.', 'Unidades', NULL),
  (109, 1, 'ClaveExistente', 4, NULL, NULL, 'NoIdentificacion'),
  (110, 1, 'CampoFaltante', 2, '??CampoFaltante??=x', 'Unidades',
   'NoSuchColumn'),
  (111, 1, 'Nombre''Comercial', 1, NULL, NULL, NULL),
  (112, 1, 'SinTipo', 9, NULL, 'Unidades', NULL),
  (113, 1, 'Grande', 2, NULL, NULL, NULL),
  (201, 2, 'Pedido', 2, NULL, NULL, NULL),
  (301, 3, 'CartaPorte_AutotransporteID', 2, NULL, NULL, NULL),
  (302, 3, 'CartaPorte_RemolqueID', 2, NULL, NULL, NULL),
  (303, 3, 'PlacaVM', 6, NULL, NULL, NULL),
  (304, 3, 'SubTipoRem', 6, NULL, NULL, NULL);
INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor) VALUES
  (101, 30, 'PROV-30'), (102, 7, 'PED-7'), (103, 500, 'SKU-500'),
  (103, 501, 'SKU-501'), (104, 70, 'L-70'), (104, 71, 'L-71'),
  (105, 5, 'Matriz'), (106, 7, '2'), (106, 8, '3'), (107, 7, 'B'),
  (107, 8, 'a'), (108, 70, '3'), (108, 71, 'KGM'), (108, 80, 'XXX'),
  (111, 30, 'D''Angelo'), (201, 9, 'PED-9'),
  (301, 20, '900'), (302, 20, '950'), (301, 22, '901'),
  (303, 900, 'ABC-123'), (303, 950, 'REM-1'), (303, 901, 'XYZ-9'),
  (304, 950, 'CTR004'), (304, 900, 'not a trailer');
INSERT INTO engRefCombo (cboGroupName, ItemData, Custom1, ItemValue) VALUES
  ('Unidades', 3, 'H87', 'Pieza'), ('Unidades', 4, 'KGM', 'Kilogramo');
)sql";

class AddendaDefinitionTest : public FiscalTest {
 protected:
  void SetUp() override { Connect(kAddendaRows); }
};

TEST_F(AddendaDefinitionTest, HeaderBlocksReadEveryModuleType) {
  struct Case {
    std::string name;
    int document;
    std::vector<std::string> expected;  // any one of them
  };
  const std::vector<Case> cases = {
      {"NumProveedor", 7, {"PROV-30"}},
      {"Pedido", 7, {"PED-7"}},
      // Product and line values: whichever line the database gives first.
      {"CodigoProducto", 7, {"SKU-500", "SKU-501"}},
      {"LineaCliente", 7, {"L-70", "L-71"}},
      {"Sucursal", 7, {"Matriz"}},
      {"Nombre'Comercial", 7, {"D'Angelo"}},
      {"PlacaVM", 20, {"ABC-123"}},
      {"SubTipoRem", 20, {"CTR004"}},
      {"PlacaVM", 22, {"XYZ-9"}},
      // A complement without a trailer has nothing to show for it.
      {"SubTipoRem", 22, {""}},
      {"PlacaVM", 21, {"??PlacaVM??"}},
      // A deleted definition, a customer without a definition for the
      // issuing company, an unknown reference.
      {"Pedido", 9, {"??Pedido??"}},
      {"Pedido", 10, {"??Pedido??"}},
      {"Desconocido", 7, {"??Desconocido??"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " of " + std::to_string(c.document));
    EXPECT_THAT(Header(c.name, Document(c.document)),
                ::testing::AnyOfArray(c.expected));
  }
}

TEST_F(AddendaDefinitionTest, DetailBlocksReadOnlyLineAndProductValues) {
  EXPECT_EQ(Detail("CodigoProducto", Line(7, 71)), "SKU-501");
  EXPECT_EQ(Detail("LineaCliente", Line(7, 70)), "L-70");
  for (const char* name : {"NumProveedor", "Pedido", "Sucursal"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Detail(name, Line(7, 70)), "??" + std::string(name) + "??");
  }
}

TEST_F(AddendaDefinitionTest, ListsTranslateCodedValues) {
  // The simple list: first key equal without regard to case.
  EXPECT_EQ(Header("TipoEntrega", Document(7)), "Dos");
  EXPECT_EQ(Header("TipoEntrega", Document(8)), "3");
  EXPECT_EQ(Header("Clase", Document(7)), "B");
  EXPECT_EQ(Header("Clase", Document(8)), "Alfa");
  // The pick list by ItemData for a number, by Custom1 otherwise, then the
  // simple list; nothing when the pick list has no entry.
  EXPECT_EQ(Detail("UnidadLinea", Line(7, 70)), "Pza.");
  EXPECT_EQ(Detail("UnidadLinea", Line(7, 71)), "Kilogramo");
  EXPECT_EQ(Detail("UnidadLinea", Line(8, 80)), "");
  // Header blocks translate only items of no known type, whose value is
  // still the default text.
  EXPECT_EQ(Header("SinTipo", Document(7)), "");
}

TEST_F(AddendaDefinitionTest, PickListNamesAndCodesWithApostrophesAreFound) {
  Connect(std::string(kAddendaRows) +
              "UPDATE engAddendaDefinicionItem SET ClaveLista = 'Unidad''es' "
              "WHERE AddendaDefinicionItemID = 108;"
              "INSERT INTO engRefCombo (cboGroupName, ItemData, Custom1, "
              "ItemValue) VALUES ('Unidad''es', 5, 'D''Or', 'Doble');"
              "UPDATE orgAddendaValor SET Valor = 'D''Or' "
              "WHERE AddendaDefinicionItemID = 108 AND ID = 80;",
          "apostrophes.db");
  EXPECT_EQ(Detail("UnidadLinea", Line(8, 80)), "Doble");
}

TEST_F(AddendaDefinitionTest, ExistingColumnsAreShownUntranslated) {
  EXPECT_EQ(Detail("ClaveExistente", Line(7, 71)), "NI-71");
  EXPECT_EQ(Header("ClaveExistente",
                   Row({"ID", "DocumentItemID"}, {Variant(7), Variant(70)})),
            "NI-70");
  EXPECT_EQ(Detail("CampoFaltante", Line(7, 70)), "??CampoFaltante??");
  // A header row without a line identifier cannot reach the column.
  EXPECT_EQ(Header("ClaveExistente", Document(7)), "");
}

TEST_F(AddendaDefinitionTest, LookupReportsOnlyWhetherAnItemWasSeen) {
  AddendaItem item;
  ASSERT_TRUE(LookupAddendaItem(*state_, "unidadlinea", 7, item));
  EXPECT_EQ(item.module_type_id, 4);
  EXPECT_EQ(item.lista_sencilla, "Pieza=Pza.");
  EXPECT_EQ(item.clave_lista, "Unidades");
  EXPECT_EQ(item.campo_existente, "");
  EXPECT_FALSE(LookupAddendaItem(*state_, "x') OR ('1'='1", 7, item));
  state_->set_host_library(nullptr);
  EXPECT_FALSE(LookupAddendaItem(*state_, "Pedido", 7, item));
}

TEST_F(AddendaDefinitionTest, BadDefinitionsGiveTheirFailureForm) {
  // A list of 10,000 entries is walked to its last one.
  std::string list;
  for (int i = 0; i < 10000; ++i) {
    list += "K" + std::to_string(i) + "=V" + std::to_string(i) + ";";
  }
  Connect(std::string(kAddendaRows) +
              "UPDATE engAddendaDefinicionItem SET ListaSencilla = '" + list +
              "' WHERE AddendaDefinicionItemID = 113;"
              "INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, "
              "Valor) VALUES (113, 7, 'k9999');",
          "long_list.db");
  EXPECT_EQ(Header("Grande", Document(7)), "V9999");

  // A Null module type: the item counts as found but has nothing to read.
  Connect(std::string(kAddendaRows) +
              "CREATE TABLE Items AS SELECT * FROM engAddendaDefinicionItem;"
              "DROP TABLE engAddendaDefinicionItem;"
              "CREATE TABLE engAddendaDefinicionItem (AddendaDefinicionItemID "
              "INTEGER PRIMARY KEY, AddendaDefinicionID INTEGER, Referencia "
              "TEXT COLLATE NOCASE, Descripcion TEXT, ModuleTypeID INTEGER, "
              "ListaSencilla TEXT, ClaveLista TEXT, CampoExistente TEXT, Orden "
              "INTEGER);"
              "INSERT INTO engAddendaDefinicionItem SELECT * FROM Items;"
              "UPDATE engAddendaDefinicionItem SET ModuleTypeID = NULL "
              "WHERE AddendaDefinicionItemID = 106;",
          "null_type.db");
  AddendaItem item;
  EXPECT_TRUE(LookupAddendaItem(*state_, "TipoEntrega", 7, item));
  EXPECT_EQ(item.module_type_id, 0);
  EXPECT_EQ(item.lista_sencilla, "");
  EXPECT_EQ(Header("TipoEntrega", Document(7)), "??TipoEntrega??");
  EXPECT_EQ(Detail("TipoEntrega", Line(7, 70)), "??TipoEntrega??");
}

}  // namespace
}  // namespace nerolin::fiscal
