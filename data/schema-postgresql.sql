-- The host schema the engine reads, for PostgreSQL: data/schema.sql with
-- the same tables, views and columns (a test keeps the two equal).
--
-- Every name is quoted and spelled as data/schema.sql spells it, so the
-- catalog keeps the host's case: the data library quotes the names of a
-- statement with the catalog's spelling, and SELECT * gives the columns
-- the templates name. Types give the value types the ODBC library hands
-- out: INTEGER ids and counts (Long), DOUBLE PRECISION quantities, rates and
-- unit prices (Double), NUMERIC(19,4) amounts (Currency), TEXT, DATE for
-- calendar days, TIMESTAMP for moments, BOOLEAN flags. Key-like texts that
-- statements compare (references, keys, list groups, fiscal folios) are
-- CITEXT, which compares without regard to case as the host's own database
-- does. No foreign keys are declared: the engine only reads, and partial
-- data (a test, a demo) must load without the whole catalogue around it.

CREATE EXTENSION IF NOT EXISTS citext;

-- The host's statements compare flags with numbers ("FormatIsDefault<>0"),
-- as Jet and SQLite allow; a flag counts as 1 or 0 there.
CREATE FUNCTION nerolin_flag_number(boolean) RETURNS integer
  LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN $1 THEN 1 ELSE 0 END';
CREATE FUNCTION nerolin_flag_equals(boolean, integer) RETURNS boolean
  LANGUAGE sql IMMUTABLE AS 'SELECT nerolin_flag_number($1) = $2';
CREATE FUNCTION nerolin_flag_differs(boolean, integer) RETURNS boolean
  LANGUAGE sql IMMUTABLE AS 'SELECT nerolin_flag_number($1) <> $2';
CREATE OPERATOR = (LEFTARG = boolean, RIGHTARG = integer,
                   FUNCTION = nerolin_flag_equals, NEGATOR = <>);
CREATE OPERATOR <> (LEFTARG = boolean, RIGHTARG = integer,
                    FUNCTION = nerolin_flag_differs, NEGATOR = =);

-- Settings --------------------------------------------------------------

CREATE TABLE "engParameter" (
  "Key" CITEXT PRIMARY KEY NOT NULL,
  "Value" TEXT
);

CREATE TABLE "engCurrency" (
  "CurrencyID" INTEGER PRIMARY KEY,
  "Code" TEXT NOT NULL,
  "Symbol" TEXT NOT NULL,
  "Decimals" INTEGER NOT NULL DEFAULT 2
);

-- Customers ------------------------------------------------------------

-- One row per customer and issuing company: which addenda definition the
-- customer's documents from that company carry.
CREATE TABLE "orgCustomer" (
  "CustomerID" INTEGER PRIMARY KEY,
  "BusinessEntityID" INTEGER NOT NULL,
  "OwnedBusinessEntityID" INTEGER NOT NULL,
  "AddendaDefinicionID" INTEGER,
  "Name" TEXT NOT NULL DEFAULT '',
  "RFC" TEXT,
  "GLN" TEXT,
  "CodigoPostal" TEXT,
  "RegimenFiscal" TEXT,
  "Email" TEXT,
  UNIQUE ("BusinessEntityID", "OwnedBusinessEntityID")
);

-- Documents -------------------------------------------------------------

-- Invoices, credit notes, transfer vouchers, retention vouchers: every
-- module that issues a document writes here.
CREATE TABLE "docDocument" (
  "DocumentID" INTEGER PRIMARY KEY,
  "ModuleID" INTEGER NOT NULL,
  "BusinessEntityID" INTEGER,
  "OwnedBusinessEntityID" INTEGER,
  "Serie" TEXT,
  "Folio" TEXT,
  "DocumentDate" DATE,
  "DueDate" DATE,
  "CurrencyID" INTEGER,
  "ExchangeRate" DOUBLE PRECISION NOT NULL DEFAULT 1,
  "SubTotal" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "DiscountTotal" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "TaxTotal" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "Total" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "Notes" TEXT,
  "PictureSourceDocument" TEXT,
  "CreatedOn" TIMESTAMP,
  "DeletedOn" TIMESTAMP
);
CREATE INDEX "docDocument_Customer"
  ON "docDocument" ("BusinessEntityID", "OwnedBusinessEntityID");

-- The lines of a document. Unit prices stay REAL: they are kept with more
-- decimals than a Currency holds and rounded to DocSalesUnitPriceDecimals
-- when a line amount is computed.
CREATE TABLE "docDocumentItem" (
  "DocumentItemID" INTEGER PRIMARY KEY,
  "DocumentID" INTEGER NOT NULL,
  "LineNumber" INTEGER NOT NULL DEFAULT 0,
  "ProductID" INTEGER,
  "NoIdentificacion" TEXT,
  "ClaveProdServ" TEXT,
  "Descripcion" TEXT,
  "Unidad" TEXT,
  "ClaveUnidad" TEXT,
  "Cantidad" DOUBLE PRECISION NOT NULL DEFAULT 0,
  "ValorUnitario" DOUBLE PRECISION NOT NULL DEFAULT 0,
  "Descuento" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "Importe" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "TasaIVA" DOUBLE PRECISION,
  "IVA" NUMERIC(19,4),
  "IsConsignmentNote" BOOLEAN NOT NULL DEFAULT FALSE,
  "PesoEnKg" DOUBLE PRECISION,
  "MaterialPeligroso" TEXT
);
CREATE INDEX "docDocumentItem_Document"
  ON "docDocumentItem" ("DocumentID", "LineNumber");

-- The electronic-invoice (CFDI) data of a stamped document, one row a
-- document.
CREATE TABLE "docDocumentCFD" (
  "DocumentID" INTEGER PRIMARY KEY,
  "Version" TEXT,
  "CFDIFolioFiscal" CITEXT,
  "TipoComprobante33" TEXT,
  "FormaPago33" TEXT,
  "MetodoPago33" TEXT,
  "UsoCFDI33" TEXT,
  "CondicionesDePago" TEXT,
  "LugarExpedicion" TEXT,
  "RegimenFiscal33" TEXT,
  "NoCertificado" TEXT,
  "NoCertificadoSAT" TEXT,
  "FechaTimbrado" TIMESTAMP,
  "SelloCFD" TEXT,
  "SelloSAT" TEXT,
  "CadenaOriginal" TEXT,
  "CodigoQR" TEXT,
  "XMLFileName" TEXT
);
CREATE INDEX "docDocumentCFD_Folio" ON "docDocumentCFD" ("CFDIFolioFiscal");

-- Data a document may carry beyond the voucher itself: purchase-order
-- references and, for retention vouchers, the retention complement.
CREATE TABLE "docDocumentExtra" (
  "DocumentID" INTEGER PRIMARY KEY,
  "OrdenCompra" TEXT,
  "NumeroProveedor" TEXT,
  "LugarEntrega" TEXT,
  "Observaciones" TEXT,
  "RetentionComplementTypeID" INTEGER,
  "CveRetenc" TEXT,
  "DescRetenc" TEXT,
  "MontoTotOperacion" NUMERIC(19,4),
  "MontoTotGrav" NUMERIC(19,4),
  "MontoTotExent" NUMERIC(19,4),
  "MontoTotRet" NUMERIC(19,4)
);

-- Tax totals of a document, one row a document.
CREATE TABLE "docDocumentTaxSum" (
  "DocumentID" INTEGER PRIMARY KEY,
  "TotalImpuestosTrasladados" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "TotalImpuestosRetenidos" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "IVATrasladado" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "IEPSTrasladado" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "IVARetenido" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "ISRRetenido" NUMERIC(19,4) NOT NULL DEFAULT 0
);

-- Documents related to a document or a payment (CFDI relations, paid
-- invoices). ID is the owner: a DocumentID or a FinancialOperationID.
CREATE TABLE "docRel" (
  "DocRelID" INTEGER PRIMARY KEY,
  "ID" INTEGER NOT NULL,
  "LineNumber" INTEGER NOT NULL DEFAULT 0,
  "TipoRelacion" TEXT,
  "CFDIFolioFiscal" CITEXT,
  "Serie" TEXT,
  "Folio" TEXT,
  "DocumentDate" DATE,
  "Total" NUMERIC(19,4)
);
CREATE INDEX "docRel_Owner" ON "docRel" ("ID", "LineNumber");

-- Financial operations ---------------------------------------------------

-- Payments received and other money movements, each issued by a module.
CREATE TABLE "docFinancialOperation" (
  "FinancialOperationID" INTEGER PRIMARY KEY,
  "ModuleID" INTEGER NOT NULL,
  "BusinessEntityID" INTEGER,
  "OwnedBusinessEntityID" INTEGER,
  "OperationDate" DATE,
  "Reference" TEXT,
  "FormaPago" TEXT,
  "CurrencyID" INTEGER,
  "ExchangeRate" DOUBLE PRECISION NOT NULL DEFAULT 1,
  "Amount" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "CFDIFolioFiscal" CITEXT,
  "Notes" TEXT,
  "CreatedOn" TIMESTAMP,
  "DeletedOn" TIMESTAMP
);

-- How a financial operation is applied to documents (the payment
-- complement's related documents).
CREATE TABLE "docDocumentPayment" (
  "DocumentPaymentID" INTEGER PRIMARY KEY,
  "FinancialOperationID" INTEGER NOT NULL,
  "DocumentID" INTEGER NOT NULL,
  "LineNumber" INTEGER NOT NULL DEFAULT 0,
  "NumParcialidad" INTEGER,
  "ImpSaldoAnt" NUMERIC(19,4),
  "ImpPagado" NUMERIC(19,4) NOT NULL DEFAULT 0,
  "ImpSaldoInsoluto" NUMERIC(19,4),
  "MonedaDR" TEXT,
  "EquivalenciaDR" DOUBLE PRECISION
);
CREATE INDEX "docDocumentPayment_Operation"
  ON "docDocumentPayment" ("FinancialOperationID", "LineNumber");

-- Addenda and complements -------------------------------------------------

-- An addenda or complement layout given to customers; active while DeletedOn
-- is Null.
CREATE TABLE "engAddendaDefinicion" (
  "AddendaDefinicionID" INTEGER PRIMARY KEY,
  "Nombre" TEXT NOT NULL DEFAULT '',
  "Descripcion" TEXT,
  "CreatedOn" TIMESTAMP,
  "DeletedOn" TIMESTAMP
);

-- One datum of a definition, named in templates by its Referencia.
-- ModuleTypeID says whose value it is: 1 customer, 2 document, 3 product,
-- 4 document line, 5 issuing company, 6 Carta Porte vehicle or trailer.
-- ListaSencilla holds "key=text;key=text", ClaveLista names an engRefCombo
-- group, CampoExistente a vwCFDAddendas column that already holds the value.
CREATE TABLE "engAddendaDefinicionItem" (
  "AddendaDefinicionItemID" INTEGER PRIMARY KEY,
  "AddendaDefinicionID" INTEGER NOT NULL,
  "Referencia" CITEXT NOT NULL,
  "Descripcion" TEXT,
  "ModuleTypeID" INTEGER NOT NULL,
  "ListaSencilla" TEXT,
  "ClaveLista" TEXT,
  "CampoExistente" TEXT,
  "Orden" INTEGER NOT NULL DEFAULT 0,
  UNIQUE ("AddendaDefinicionID", "Referencia")
);
CREATE INDEX "engAddendaDefinicionItem_Referencia"
  ON "engAddendaDefinicionItem" ("Referencia");

-- Stored values: one per item and owner. ID is the owner's identifier, as
-- the item's ModuleTypeID says (a BusinessEntityID, DocumentID, ProductID,
-- DocumentItemID, OwnedBusinessEntityID, or a vehicle or trailer id).
CREATE TABLE "orgAddendaValor" (
  "AddendaValorID" INTEGER PRIMARY KEY,
  "AddendaDefinicionItemID" INTEGER NOT NULL,
  "ID" INTEGER NOT NULL,
  "Valor" TEXT,
  UNIQUE ("AddendaDefinicionItemID", "ID")
);
CREATE INDEX "orgAddendaValor_Owner" ON "orgAddendaValor" ("ID");

-- Pick lists ------------------------------------------------------------

-- Shared pick lists: a group, a numeric code, a text code and the text
-- shown.
CREATE TABLE "engRefCombo" (
  "RefComboID" INTEGER PRIMARY KEY,
  "cboGroupName" CITEXT NOT NULL,
  "ItemData" INTEGER,
  "Custom1" CITEXT,
  "ItemValue" TEXT,
  "SortOrder" INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX "engRefCombo_Group" ON "engRefCombo" ("cboGroupName", "ItemData");

-- Stored field references -------------------------------------------------

-- Per placeholder key, a statement that computes its value: an SQL query or
-- a ConcatRelated call. Deleted keys keep their row with DeletedOn set.
CREATE TABLE "engAddendaFieldRef" (
  "FieldRefID" INTEGER PRIMARY KEY,
  "FieldRefKey" CITEXT NOT NULL,
  "SQL" TEXT,
  "Description" TEXT,
  "CreatedOn" TIMESTAMP,
  "DeletedOn" TIMESTAMP
);
CREATE UNIQUE INDEX "engAddendaFieldRef_Key"
  ON "engAddendaFieldRef" ("FieldRefKey") WHERE "DeletedOn" IS NULL;

-- Print formats -----------------------------------------------------------

-- The templates a module prints with; FileName is the template's path, its
-- folder holds the extra-detail templates.
CREATE TABLE "engModulePrintFormat" (
  "PrintFormatID" INTEGER PRIMARY KEY,
  "ModuleID" INTEGER NOT NULL,
  "FormatName" TEXT NOT NULL DEFAULT '',
  "FileName" TEXT NOT NULL DEFAULT '',
  "FormatIsDefault" BOOLEAN NOT NULL DEFAULT FALSE
);
CREATE INDEX "engModulePrintFormat_Module"
  ON "engModulePrintFormat" ("ModuleID", "FormatIsDefault");

-- Addenda and complement views --------------------------------------------

-- Values that already live in ordinary columns, one row a document line,
-- addressed by an item's CampoExistente.
CREATE VIEW "vwCFDAddendas" AS
SELECT
  "docDocumentItem"."DocumentItemID" AS "DocumentItemID",
  "docDocumentItem"."DocumentID" AS "DocumentID",
  "docDocumentItem"."LineNumber" AS "LineNumber",
  "docDocumentItem"."ProductID" AS "ProductID",
  "docDocumentItem"."NoIdentificacion" AS "NoIdentificacion",
  "docDocumentItem"."ClaveProdServ" AS "ClaveProdServ",
  "docDocumentItem"."Descripcion" AS "Descripcion",
  "docDocumentItem"."Unidad" AS "Unidad",
  "docDocumentItem"."ClaveUnidad" AS "ClaveUnidad",
  "docDocumentItem"."Cantidad" AS "Cantidad",
  "docDocumentItem"."ValorUnitario" AS "ValorUnitario",
  "docDocumentItem"."Importe" AS "Importe",
  "docDocument"."Serie" AS "Serie",
  "docDocument"."Folio" AS "Folio",
  "docDocument"."DocumentDate" AS "DocumentDate",
  "docDocument"."Total" AS "Total",
  "docDocumentCFD"."CFDIFolioFiscal" AS "CFDIFolioFiscal",
  "orgCustomer"."RFC" AS "CustomerRFC",
  "orgCustomer"."Name" AS "CustomerName",
  "orgCustomer"."GLN" AS "CustomerGLN",
  "docDocumentExtra"."OrdenCompra" AS "OrdenCompra",
  "docDocumentExtra"."NumeroProveedor" AS "NumeroProveedor"
FROM "docDocumentItem"
  INNER JOIN "docDocument" ON "docDocument"."DocumentID" = "docDocumentItem"."DocumentID"
  LEFT JOIN "docDocumentCFD" ON "docDocumentCFD"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "docDocumentExtra"
    ON "docDocumentExtra"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "orgCustomer"
    ON "orgCustomer"."BusinessEntityID" = "docDocument"."BusinessEntityID"
   AND "orgCustomer"."OwnedBusinessEntityID" = "docDocument"."OwnedBusinessEntityID";

-- The issuing company's addenda data (items of module type 5): ID is the
-- OwnedBusinessEntityID.
CREATE VIEW "vwCFDAddendaDatosEmisor" AS
SELECT
  "orgAddendaValor"."ID" AS "ID",
  "engAddendaDefinicionItem"."Referencia" AS "Referencia",
  "orgAddendaValor"."Valor" AS "Valor",
  "engAddendaDefinicionItem"."AddendaDefinicionItemID" AS "AddendaDefinicionItemID",
  "engAddendaDefinicionItem"."AddendaDefinicionID" AS "AddendaDefinicionID"
FROM "orgAddendaValor"
  INNER JOIN "engAddendaDefinicionItem"
    ON "engAddendaDefinicionItem"."AddendaDefinicionItemID" =
       "orgAddendaValor"."AddendaDefinicionItemID"
  INNER JOIN "engAddendaDefinicion"
    ON "engAddendaDefinicion"."AddendaDefinicionID" =
       "engAddendaDefinicionItem"."AddendaDefinicionID"
WHERE "engAddendaDefinicionItem"."ModuleTypeID" = 5
  AND "engAddendaDefinicion"."DeletedOn" IS NULL;

-- The Carta Porte definition a document uses: the active definition under
-- which the document stores a Carta Porte datum of its own (its vehicle,
-- its trailer).
CREATE VIEW "vwCFDAddendaValor_DocumentIDComplementoCartaPorte" AS
SELECT DISTINCT
  "docDocument"."DocumentID" AS "DocumentID",
  "engAddendaDefinicionItem"."AddendaDefinicionID" AS "AddendaDefinicionID"
FROM "orgAddendaValor"
  INNER JOIN "engAddendaDefinicionItem"
    ON "engAddendaDefinicionItem"."AddendaDefinicionItemID" =
       "orgAddendaValor"."AddendaDefinicionItemID"
  INNER JOIN "engAddendaDefinicion"
    ON "engAddendaDefinicion"."AddendaDefinicionID" =
       "engAddendaDefinicionItem"."AddendaDefinicionID"
  INNER JOIN "docDocument" ON "docDocument"."DocumentID" = "orgAddendaValor"."ID"
WHERE "engAddendaDefinicionItem"."ModuleTypeID" = 2
  AND "engAddendaDefinicionItem"."Referencia" LIKE 'CartaPorte!_%' ESCAPE '!'
  AND "engAddendaDefinicion"."DeletedOn" IS NULL;

-- Goods carried under a Carta Porte complement: the consignment-note lines
-- of a document, and every line of a transfer voucher. ID is the
-- DocumentID, so an extra-detail element titled with this view lists the
-- goods of the current document.
CREATE VIEW "vwVADTransportMercancia" AS
SELECT
  "docDocumentItem"."DocumentID" AS "ID",
  "docDocumentItem"."LineNumber" AS "LineNumber",
  "docDocumentItem"."DocumentItemID" AS "DocumentItemID",
  "docDocumentItem"."ProductID" AS "ProductID",
  "docDocumentItem"."ClaveProdServ" AS "BienesTransp",
  "docDocumentItem"."Descripcion" AS "Descripcion",
  "docDocumentItem"."Cantidad" AS "Cantidad",
  "docDocumentItem"."ClaveUnidad" AS "ClaveUnidad",
  "docDocumentItem"."Unidad" AS "Unidad",
  "docDocumentItem"."PesoEnKg" AS "PesoEnKg",
  "docDocumentItem"."MaterialPeligroso" AS "MaterialPeligroso",
  "docDocumentItem"."Importe" AS "ValorMercancia",
  "engCurrency"."Code" AS "Moneda"
FROM "docDocumentItem"
  INNER JOIN "docDocument" ON "docDocument"."DocumentID" = "docDocumentItem"."DocumentID"
  LEFT JOIN "docDocumentCFD" ON "docDocumentCFD"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "engCurrency" ON "engCurrency"."CurrencyID" = "docDocument"."CurrencyID"
WHERE "docDocumentItem"."IsConsignmentNote" <> 0
   OR "docDocumentCFD"."TipoComprobante33" IN ('T - Traslado', 'T -Traslado');

-- Print views --------------------------------------------------------------

-- A document as it is printed: one row a line, the document's identifier
-- as ID. Alignment places the currency symbol of "symbol" formats (L before
-- the amount, R after it).
CREATE VIEW "vwVADDocDocumentPrint" AS
SELECT
  "docDocument"."DocumentID" AS "ID",
  "docDocument"."ModuleID" AS "ModuleID",
  "docDocument"."BusinessEntityID" AS "BusinessEntityID",
  "docDocument"."OwnedBusinessEntityID" AS "OwnedBusinessEntityID",
  "orgCustomer"."Name" AS "CustomerName",
  "orgCustomer"."RFC" AS "CustomerRFC",
  "docDocument"."Serie" AS "Serie",
  "docDocument"."Folio" AS "Folio",
  "docDocument"."DocumentDate" AS "DocumentDate",
  "docDocument"."DueDate" AS "DueDate",
  "docDocument"."CurrencyID" AS "CurrencyID",
  "engCurrency"."Code" AS "CurrencyCode",
  "engCurrency"."Symbol" AS "Symbol",
  'L' AS "Alignment",
  "docDocument"."ExchangeRate" AS "ExchangeRate",
  "docDocument"."SubTotal" AS "SubTotal",
  "docDocument"."DiscountTotal" AS "DiscountTotal",
  "docDocument"."TaxTotal" AS "TaxTotal",
  "docDocument"."Total" AS "Total",
  "docDocument"."Notes" AS "Notes",
  "docDocument"."PictureSourceDocument" AS "PictureSourceDocument",
  "docDocumentCFD"."CFDIFolioFiscal" AS "CFDIFolioFiscal",
  "docDocumentCFD"."TipoComprobante33" AS "TipoComprobante33",
  "docDocumentCFD"."FormaPago33" AS "FormaPago33",
  "docDocumentCFD"."MetodoPago33" AS "MetodoPago33",
  "docDocumentCFD"."UsoCFDI33" AS "UsoCFDI33",
  "docDocumentCFD"."FechaTimbrado" AS "FechaTimbrado",
  "docDocumentCFD"."CodigoQR" AS "CodigoQR",
  "docDocumentExtra"."RetentionComplementTypeID" AS "RetentionComplementTypeID",
  "docDocumentItem"."DocumentItemID" AS "DocumentItemID",
  "docDocumentItem"."LineNumber" AS "LineNumber",
  "docDocumentItem"."ProductID" AS "ProductID",
  "docDocumentItem"."NoIdentificacion" AS "NoIdentificacion",
  "docDocumentItem"."ClaveProdServ" AS "ClaveProdServ",
  "docDocumentItem"."Descripcion" AS "Descripcion",
  "docDocumentItem"."Unidad" AS "Unidad",
  "docDocumentItem"."ClaveUnidad" AS "ClaveUnidad",
  "docDocumentItem"."Cantidad" AS "Cantidad",
  "docDocumentItem"."ValorUnitario" AS "ValorUnitario",
  "docDocumentItem"."Descuento" AS "Descuento",
  "docDocumentItem"."Importe" AS "Importe",
  "docDocumentItem"."IsConsignmentNote" AS "IsConsignmentNote"
FROM "docDocument"
  LEFT JOIN "docDocumentItem"
    ON "docDocumentItem"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "docDocumentCFD" ON "docDocumentCFD"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "docDocumentExtra"
    ON "docDocumentExtra"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "orgCustomer"
    ON "orgCustomer"."BusinessEntityID" = "docDocument"."BusinessEntityID"
   AND "orgCustomer"."OwnedBusinessEntityID" = "docDocument"."OwnedBusinessEntityID"
  LEFT JOIN "engCurrency" ON "engCurrency"."CurrencyID" = "docDocument"."CurrencyID";

-- A financial operation as it is printed: one row a paid document, the
-- operation's identifier as ID, the paid document's fiscal folio as
-- DR_IdDocumento. Recordsets over this view take their module from
-- docFinancialOperation.
CREATE VIEW "vwVADDocFinancialOperationPrint" AS
SELECT
  "docFinancialOperation"."FinancialOperationID" AS "ID",
  "docFinancialOperation"."ModuleID" AS "ModuleID",
  "docFinancialOperation"."BusinessEntityID" AS "BusinessEntityID",
  "docFinancialOperation"."OwnedBusinessEntityID" AS "OwnedBusinessEntityID",
  "orgCustomer"."Name" AS "CustomerName",
  "orgCustomer"."RFC" AS "CustomerRFC",
  "docFinancialOperation"."OperationDate" AS "OperationDate",
  "docFinancialOperation"."Reference" AS "Reference",
  "docFinancialOperation"."FormaPago" AS "FormaPago",
  "docFinancialOperation"."CurrencyID" AS "CurrencyID",
  "engCurrency"."Code" AS "CurrencyCode",
  "engCurrency"."Symbol" AS "Symbol",
  'L' AS "Alignment",
  "docFinancialOperation"."ExchangeRate" AS "ExchangeRate",
  "docFinancialOperation"."Amount" AS "Amount",
  "docFinancialOperation"."CFDIFolioFiscal" AS "CFDIFolioFiscal",
  "docFinancialOperation"."Notes" AS "Notes",
  "docDocumentPayment"."DocumentPaymentID" AS "DocumentPaymentID",
  "docDocumentPayment"."LineNumber" AS "LineNumber",
  "docDocumentPayment"."DocumentID" AS "DocumentID",
  "docDocumentPayment"."NumParcialidad" AS "NumParcialidad",
  "docDocumentPayment"."ImpSaldoAnt" AS "ImpSaldoAnt",
  "docDocumentPayment"."ImpPagado" AS "ImpPagado",
  "docDocumentPayment"."ImpSaldoInsoluto" AS "ImpSaldoInsoluto",
  "docDocumentPayment"."MonedaDR" AS "MonedaDR",
  "docDocumentCFD"."CFDIFolioFiscal" AS "DR_IdDocumento",
  "docDocument"."Serie" AS "DR_Serie",
  "docDocument"."Folio" AS "DR_Folio"
FROM "docFinancialOperation"
  LEFT JOIN "docDocumentPayment"
    ON "docDocumentPayment"."FinancialOperationID" =
       "docFinancialOperation"."FinancialOperationID"
  LEFT JOIN "docDocument" ON "docDocument"."DocumentID" = "docDocumentPayment"."DocumentID"
  LEFT JOIN "docDocumentCFD" ON "docDocumentCFD"."DocumentID" = "docDocument"."DocumentID"
  LEFT JOIN "orgCustomer"
    ON "orgCustomer"."BusinessEntityID" = "docFinancialOperation"."BusinessEntityID"
   AND "orgCustomer"."OwnedBusinessEntityID" =
       "docFinancialOperation"."OwnedBusinessEntityID"
  LEFT JOIN "engCurrency"
    ON "engCurrency"."CurrencyID" = "docFinancialOperation"."CurrencyID";
