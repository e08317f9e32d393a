-- The host schema the engine reads.
--
-- Declared types decide the value types the SQLite host library hands out:
-- INTEGER ids and counts (Long), REAL quantities, rates and unit prices
-- (Double), MONEY amounts (Currency), TEXT, DATE for calendar days stored as
-- 'yyyy-mm-dd' (group conditions compare them with such literals), DATETIME
-- for moments stored as 'yyyy-mm-dd hh:nn:ss', BOOLEAN flags stored as 0 / 1
-- (a host that writes -1 for true is read the same way; filters test "<>0").
-- Key-like texts that statements compare (references, keys, list groups,
-- fiscal folios) compare without regard to case, as the host's own database
-- does. No foreign keys are declared: the engine only reads, and partial
-- data (a test, a demo) must load without the whole catalogue around it.

-- Settings --------------------------------------------------------------

CREATE TABLE engParameter (
  "Key" TEXT PRIMARY KEY NOT NULL COLLATE NOCASE,
  "Value" TEXT
);

CREATE TABLE engCurrency (
  CurrencyID INTEGER PRIMARY KEY,
  Code TEXT NOT NULL,
  Symbol TEXT NOT NULL,
  Decimals INTEGER NOT NULL DEFAULT 2
);

-- Customers ------------------------------------------------------------

-- One row per customer and issuing company: which addenda definition the
-- customer's documents from that company carry.
CREATE TABLE orgCustomer (
  CustomerID INTEGER PRIMARY KEY,
  BusinessEntityID INTEGER NOT NULL,
  OwnedBusinessEntityID INTEGER NOT NULL,
  AddendaDefinicionID INTEGER,
  Name TEXT NOT NULL DEFAULT '',
  RFC TEXT,
  GLN TEXT,
  CodigoPostal TEXT,
  RegimenFiscal TEXT,
  Email TEXT,
  UNIQUE (BusinessEntityID, OwnedBusinessEntityID)
);

-- Documents -------------------------------------------------------------

-- Invoices, credit notes, transfer vouchers, retention vouchers: every
-- module that issues a document writes here.
CREATE TABLE docDocument (
  DocumentID INTEGER PRIMARY KEY,
  ModuleID INTEGER NOT NULL,
  BusinessEntityID INTEGER,
  OwnedBusinessEntityID INTEGER,
  Serie TEXT,
  Folio TEXT,
  DocumentDate DATE,
  DueDate DATE,
  CurrencyID INTEGER,
  ExchangeRate REAL NOT NULL DEFAULT 1,
  SubTotal MONEY NOT NULL DEFAULT 0,
  DiscountTotal MONEY NOT NULL DEFAULT 0,
  TaxTotal MONEY NOT NULL DEFAULT 0,
  Total MONEY NOT NULL DEFAULT 0,
  Notes TEXT,
  PictureSourceDocument TEXT,
  CreatedOn DATETIME,
  DeletedOn DATETIME
);
CREATE INDEX docDocument_Customer
  ON docDocument (BusinessEntityID, OwnedBusinessEntityID);

-- The lines of a document. Unit prices stay REAL: they are kept with more
-- decimals than a Currency holds and rounded to DocSalesUnitPriceDecimals
-- when a line amount is computed.
CREATE TABLE docDocumentItem (
  DocumentItemID INTEGER PRIMARY KEY,
  DocumentID INTEGER NOT NULL,
  LineNumber INTEGER NOT NULL DEFAULT 0,
  ProductID INTEGER,
  NoIdentificacion TEXT,
  ClaveProdServ TEXT,
  Descripcion TEXT,
  Unidad TEXT,
  ClaveUnidad TEXT,
  Cantidad REAL NOT NULL DEFAULT 0,
  ValorUnitario REAL NOT NULL DEFAULT 0,
  Descuento MONEY NOT NULL DEFAULT 0,
  Importe MONEY NOT NULL DEFAULT 0,
  TasaIVA REAL,
  IVA MONEY,
  IsConsignmentNote BOOLEAN NOT NULL DEFAULT 0,
  PesoEnKg REAL,
  MaterialPeligroso TEXT
);
CREATE INDEX docDocumentItem_Document
  ON docDocumentItem (DocumentID, LineNumber);

-- The electronic-invoice (CFDI) data of a stamped document, one row a
-- document.
CREATE TABLE docDocumentCFD (
  DocumentID INTEGER PRIMARY KEY,
  Version TEXT,
  CFDIFolioFiscal TEXT COLLATE NOCASE,
  TipoComprobante33 TEXT,
  FormaPago33 TEXT,
  MetodoPago33 TEXT,
  UsoCFDI33 TEXT,
  CondicionesDePago TEXT,
  LugarExpedicion TEXT,
  RegimenFiscal33 TEXT,
  NoCertificado TEXT,
  NoCertificadoSAT TEXT,
  FechaTimbrado DATETIME,
  SelloCFD TEXT,
  SelloSAT TEXT,
  CadenaOriginal TEXT,
  CodigoQR TEXT,
  XMLFileName TEXT
);
CREATE INDEX docDocumentCFD_Folio ON docDocumentCFD (CFDIFolioFiscal);

-- Data a document may carry beyond the voucher itself: purchase-order
-- references and, for retention vouchers, the retention complement.
CREATE TABLE docDocumentExtra (
  DocumentID INTEGER PRIMARY KEY,
  OrdenCompra TEXT,
  NumeroProveedor TEXT,
  LugarEntrega TEXT,
  Observaciones TEXT,
  RetentionComplementTypeID INTEGER,
  CveRetenc TEXT,
  DescRetenc TEXT,
  MontoTotOperacion MONEY,
  MontoTotGrav MONEY,
  MontoTotExent MONEY,
  MontoTotRet MONEY
);

-- Tax totals of a document, one row a document.
CREATE TABLE docDocumentTaxSum (
  DocumentID INTEGER PRIMARY KEY,
  TotalImpuestosTrasladados MONEY NOT NULL DEFAULT 0,
  TotalImpuestosRetenidos MONEY NOT NULL DEFAULT 0,
  IVATrasladado MONEY NOT NULL DEFAULT 0,
  IEPSTrasladado MONEY NOT NULL DEFAULT 0,
  IVARetenido MONEY NOT NULL DEFAULT 0,
  ISRRetenido MONEY NOT NULL DEFAULT 0
);

-- Documents related to a document or a payment (CFDI relations, paid
-- invoices). ID is the owner: a DocumentID or a FinancialOperationID.
CREATE TABLE docRel (
  DocRelID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  LineNumber INTEGER NOT NULL DEFAULT 0,
  TipoRelacion TEXT,
  CFDIFolioFiscal TEXT COLLATE NOCASE,
  Serie TEXT,
  Folio TEXT,
  DocumentDate DATE,
  Total MONEY
);
CREATE INDEX docRel_Owner ON docRel (ID, LineNumber);

-- Financial operations ---------------------------------------------------

-- Payments received and other money movements, each issued by a module.
CREATE TABLE docFinancialOperation (
  FinancialOperationID INTEGER PRIMARY KEY,
  ModuleID INTEGER NOT NULL,
  BusinessEntityID INTEGER,
  OwnedBusinessEntityID INTEGER,
  OperationDate DATE,
  Reference TEXT,
  FormaPago TEXT,
  CurrencyID INTEGER,
  ExchangeRate REAL NOT NULL DEFAULT 1,
  Amount MONEY NOT NULL DEFAULT 0,
  CFDIFolioFiscal TEXT COLLATE NOCASE,
  Notes TEXT,
  CreatedOn DATETIME,
  DeletedOn DATETIME
);

-- How a financial operation is applied to documents (the payment
-- complement's related documents).
CREATE TABLE docDocumentPayment (
  DocumentPaymentID INTEGER PRIMARY KEY,
  FinancialOperationID INTEGER NOT NULL,
  DocumentID INTEGER NOT NULL,
  LineNumber INTEGER NOT NULL DEFAULT 0,
  NumParcialidad INTEGER,
  ImpSaldoAnt MONEY,
  ImpPagado MONEY NOT NULL DEFAULT 0,
  ImpSaldoInsoluto MONEY,
  MonedaDR TEXT,
  EquivalenciaDR REAL
);
CREATE INDEX docDocumentPayment_Operation
  ON docDocumentPayment (FinancialOperationID, LineNumber);

-- Addenda and complements -------------------------------------------------

-- An addenda or complement layout given to customers; active while DeletedOn
-- is Null.
CREATE TABLE engAddendaDefinicion (
  AddendaDefinicionID INTEGER PRIMARY KEY,
  Nombre TEXT NOT NULL DEFAULT '',
  Descripcion TEXT,
  CreatedOn DATETIME,
  DeletedOn DATETIME
);

-- One datum of a definition, named in templates by its Referencia.
-- ModuleTypeID says whose value it is: 1 customer, 2 document, 3 product,
-- 4 document line, 5 issuing company, 6 Carta Porte vehicle or trailer.
-- ListaSencilla holds "key=text;key=text", ClaveLista names an engRefCombo
-- group, CampoExistente a vwCFDAddendas column that already holds the value.
CREATE TABLE engAddendaDefinicionItem (
  AddendaDefinicionItemID INTEGER PRIMARY KEY,
  AddendaDefinicionID INTEGER NOT NULL,
  Referencia TEXT NOT NULL COLLATE NOCASE,
  Descripcion TEXT,
  ModuleTypeID INTEGER NOT NULL,
  ListaSencilla TEXT,
  ClaveLista TEXT,
  CampoExistente TEXT,
  Orden INTEGER NOT NULL DEFAULT 0,
  UNIQUE (AddendaDefinicionID, Referencia)
);
CREATE INDEX engAddendaDefinicionItem_Referencia
  ON engAddendaDefinicionItem (Referencia);

-- Stored values: one per item and owner. ID is the owner's identifier, as
-- the item's ModuleTypeID says (a BusinessEntityID, DocumentID, ProductID,
-- DocumentItemID, OwnedBusinessEntityID, or a vehicle or trailer id).
CREATE TABLE orgAddendaValor (
  AddendaValorID INTEGER PRIMARY KEY,
  AddendaDefinicionItemID INTEGER NOT NULL,
  ID INTEGER NOT NULL,
  Valor TEXT,
  UNIQUE (AddendaDefinicionItemID, ID)
);
CREATE INDEX orgAddendaValor_Owner ON orgAddendaValor (ID);

-- Pick lists ------------------------------------------------------------

-- Shared pick lists: a group, a numeric code, a text code and the text
-- shown.
CREATE TABLE engRefCombo (
  RefComboID INTEGER PRIMARY KEY,
  cboGroupName TEXT NOT NULL COLLATE NOCASE,
  ItemData INTEGER,
  Custom1 TEXT COLLATE NOCASE,
  ItemValue TEXT,
  SortOrder INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX engRefCombo_Group ON engRefCombo (cboGroupName, ItemData);

-- Stored field references -------------------------------------------------

-- Per placeholder key, a statement that computes its value: an SQL query or
-- a ConcatRelated call. Deleted keys keep their row with DeletedOn set.
CREATE TABLE engAddendaFieldRef (
  FieldRefID INTEGER PRIMARY KEY,
  FieldRefKey TEXT NOT NULL COLLATE NOCASE,
  SQL TEXT,
  Description TEXT,
  CreatedOn DATETIME,
  DeletedOn DATETIME
);
CREATE UNIQUE INDEX engAddendaFieldRef_Key
  ON engAddendaFieldRef (FieldRefKey) WHERE DeletedOn IS NULL;

-- Print formats -----------------------------------------------------------

-- The templates a module prints with; FileName is the template's path, its
-- folder holds the extra-detail templates.
CREATE TABLE engModulePrintFormat (
  PrintFormatID INTEGER PRIMARY KEY,
  ModuleID INTEGER NOT NULL,
  FormatName TEXT NOT NULL DEFAULT '',
  FileName TEXT NOT NULL DEFAULT '',
  FormatIsDefault BOOLEAN NOT NULL DEFAULT 0
);
CREATE INDEX engModulePrintFormat_Module
  ON engModulePrintFormat (ModuleID, FormatIsDefault);

-- Addenda and complement views --------------------------------------------

-- Values that already live in ordinary columns, one row a document line,
-- addressed by an item's CampoExistente.
CREATE VIEW vwCFDAddendas AS
SELECT
  docDocumentItem.DocumentItemID AS DocumentItemID,
  docDocumentItem.DocumentID AS DocumentID,
  docDocumentItem.LineNumber AS LineNumber,
  docDocumentItem.ProductID AS ProductID,
  docDocumentItem.NoIdentificacion AS NoIdentificacion,
  docDocumentItem.ClaveProdServ AS ClaveProdServ,
  docDocumentItem.Descripcion AS Descripcion,
  docDocumentItem.Unidad AS Unidad,
  docDocumentItem.ClaveUnidad AS ClaveUnidad,
  docDocumentItem.Cantidad AS Cantidad,
  docDocumentItem.ValorUnitario AS ValorUnitario,
  docDocumentItem.Importe AS Importe,
  docDocument.Serie AS Serie,
  docDocument.Folio AS Folio,
  docDocument.DocumentDate AS DocumentDate,
  docDocument.Total AS Total,
  docDocumentCFD.CFDIFolioFiscal AS CFDIFolioFiscal,
  orgCustomer.RFC AS CustomerRFC,
  orgCustomer.Name AS CustomerName,
  orgCustomer.GLN AS CustomerGLN,
  docDocumentExtra.OrdenCompra AS OrdenCompra,
  docDocumentExtra.NumeroProveedor AS NumeroProveedor
FROM docDocumentItem
  INNER JOIN docDocument ON docDocument.DocumentID = docDocumentItem.DocumentID
  LEFT JOIN docDocumentCFD ON docDocumentCFD.DocumentID = docDocument.DocumentID
  LEFT JOIN docDocumentExtra
    ON docDocumentExtra.DocumentID = docDocument.DocumentID
  LEFT JOIN orgCustomer
    ON orgCustomer.BusinessEntityID = docDocument.BusinessEntityID
   AND orgCustomer.OwnedBusinessEntityID = docDocument.OwnedBusinessEntityID;

-- The issuing company's addenda data (items of module type 5): ID is the
-- OwnedBusinessEntityID.
CREATE VIEW vwCFDAddendaDatosEmisor AS
SELECT
  orgAddendaValor.ID AS ID,
  engAddendaDefinicionItem.Referencia AS Referencia,
  orgAddendaValor.Valor AS Valor,
  engAddendaDefinicionItem.AddendaDefinicionItemID AS AddendaDefinicionItemID,
  engAddendaDefinicionItem.AddendaDefinicionID AS AddendaDefinicionID
FROM orgAddendaValor
  INNER JOIN engAddendaDefinicionItem
    ON engAddendaDefinicionItem.AddendaDefinicionItemID =
       orgAddendaValor.AddendaDefinicionItemID
  INNER JOIN engAddendaDefinicion
    ON engAddendaDefinicion.AddendaDefinicionID =
       engAddendaDefinicionItem.AddendaDefinicionID
WHERE engAddendaDefinicionItem.ModuleTypeID = 5
  AND engAddendaDefinicion.DeletedOn IS NULL;

-- The Carta Porte definition a document uses: the active definition under
-- which the document stores a Carta Porte datum of its own (its vehicle,
-- its trailer).
CREATE VIEW vwCFDAddendaValor_DocumentIDComplementoCartaPorte AS
SELECT DISTINCT
  docDocument.DocumentID AS DocumentID,
  engAddendaDefinicionItem.AddendaDefinicionID AS AddendaDefinicionID
FROM orgAddendaValor
  INNER JOIN engAddendaDefinicionItem
    ON engAddendaDefinicionItem.AddendaDefinicionItemID =
       orgAddendaValor.AddendaDefinicionItemID
  INNER JOIN engAddendaDefinicion
    ON engAddendaDefinicion.AddendaDefinicionID =
       engAddendaDefinicionItem.AddendaDefinicionID
  INNER JOIN docDocument ON docDocument.DocumentID = orgAddendaValor.ID
WHERE engAddendaDefinicionItem.ModuleTypeID = 2
  AND engAddendaDefinicionItem.Referencia LIKE 'CartaPorte!_%' ESCAPE '!'
  AND engAddendaDefinicion.DeletedOn IS NULL;

-- Goods carried under a Carta Porte complement: the consignment-note lines
-- of a document, and every line of a transfer voucher. ID is the
-- DocumentID, so an extra-detail element titled with this view lists the
-- goods of the current document.
CREATE VIEW vwVADTransportMercancia AS
SELECT
  docDocumentItem.DocumentID AS ID,
  docDocumentItem.LineNumber AS LineNumber,
  docDocumentItem.DocumentItemID AS DocumentItemID,
  docDocumentItem.ProductID AS ProductID,
  docDocumentItem.ClaveProdServ AS BienesTransp,
  docDocumentItem.Descripcion AS Descripcion,
  docDocumentItem.Cantidad AS Cantidad,
  docDocumentItem.ClaveUnidad AS ClaveUnidad,
  docDocumentItem.Unidad AS Unidad,
  docDocumentItem.PesoEnKg AS PesoEnKg,
  docDocumentItem.MaterialPeligroso AS MaterialPeligroso,
  docDocumentItem.Importe AS ValorMercancia,
  engCurrency.Code AS Moneda
FROM docDocumentItem
  INNER JOIN docDocument ON docDocument.DocumentID = docDocumentItem.DocumentID
  LEFT JOIN docDocumentCFD ON docDocumentCFD.DocumentID = docDocument.DocumentID
  LEFT JOIN engCurrency ON engCurrency.CurrencyID = docDocument.CurrencyID
WHERE docDocumentItem.IsConsignmentNote <> 0
   OR docDocumentCFD.TipoComprobante33 IN ('T - Traslado', 'T -Traslado');

-- Print views --------------------------------------------------------------

-- A document as it is printed: one row a line, the document's identifier
-- as ID. Alignment places the currency symbol of "symbol" formats (L before
-- the amount, R after it).
CREATE VIEW vwVADDocDocumentPrint AS
SELECT
  docDocument.DocumentID AS ID,
  docDocument.ModuleID AS ModuleID,
  docDocument.BusinessEntityID AS BusinessEntityID,
  docDocument.OwnedBusinessEntityID AS OwnedBusinessEntityID,
  orgCustomer.Name AS CustomerName,
  orgCustomer.RFC AS CustomerRFC,
  docDocument.Serie AS Serie,
  docDocument.Folio AS Folio,
  docDocument.DocumentDate AS DocumentDate,
  docDocument.DueDate AS DueDate,
  docDocument.CurrencyID AS CurrencyID,
  engCurrency.Code AS CurrencyCode,
  engCurrency.Symbol AS Symbol,
  'L' AS Alignment,
  docDocument.ExchangeRate AS ExchangeRate,
  docDocument.SubTotal AS SubTotal,
  docDocument.DiscountTotal AS DiscountTotal,
  docDocument.TaxTotal AS TaxTotal,
  docDocument.Total AS Total,
  docDocument.Notes AS Notes,
  docDocument.PictureSourceDocument AS PictureSourceDocument,
  docDocumentCFD.CFDIFolioFiscal AS CFDIFolioFiscal,
  docDocumentCFD.TipoComprobante33 AS TipoComprobante33,
  docDocumentCFD.FormaPago33 AS FormaPago33,
  docDocumentCFD.MetodoPago33 AS MetodoPago33,
  docDocumentCFD.UsoCFDI33 AS UsoCFDI33,
  docDocumentCFD.FechaTimbrado AS FechaTimbrado,
  docDocumentCFD.CodigoQR AS CodigoQR,
  docDocumentExtra.RetentionComplementTypeID AS RetentionComplementTypeID,
  docDocumentItem.DocumentItemID AS DocumentItemID,
  docDocumentItem.LineNumber AS LineNumber,
  docDocumentItem.ProductID AS ProductID,
  docDocumentItem.NoIdentificacion AS NoIdentificacion,
  docDocumentItem.ClaveProdServ AS ClaveProdServ,
  docDocumentItem.Descripcion AS Descripcion,
  docDocumentItem.Unidad AS Unidad,
  docDocumentItem.ClaveUnidad AS ClaveUnidad,
  docDocumentItem.Cantidad AS Cantidad,
  docDocumentItem.ValorUnitario AS ValorUnitario,
  docDocumentItem.Descuento AS Descuento,
  docDocumentItem.Importe AS Importe,
  docDocumentItem.IsConsignmentNote AS IsConsignmentNote
FROM docDocument
  LEFT JOIN docDocumentItem
    ON docDocumentItem.DocumentID = docDocument.DocumentID
  LEFT JOIN docDocumentCFD ON docDocumentCFD.DocumentID = docDocument.DocumentID
  LEFT JOIN docDocumentExtra
    ON docDocumentExtra.DocumentID = docDocument.DocumentID
  LEFT JOIN orgCustomer
    ON orgCustomer.BusinessEntityID = docDocument.BusinessEntityID
   AND orgCustomer.OwnedBusinessEntityID = docDocument.OwnedBusinessEntityID
  LEFT JOIN engCurrency ON engCurrency.CurrencyID = docDocument.CurrencyID;

-- A financial operation as it is printed: one row a paid document, the
-- operation's identifier as ID, the paid document's fiscal folio as
-- DR_IdDocumento. Recordsets over this view take their module from
-- docFinancialOperation.
CREATE VIEW vwVADDocFinancialOperationPrint AS
SELECT
  docFinancialOperation.FinancialOperationID AS ID,
  docFinancialOperation.ModuleID AS ModuleID,
  docFinancialOperation.BusinessEntityID AS BusinessEntityID,
  docFinancialOperation.OwnedBusinessEntityID AS OwnedBusinessEntityID,
  orgCustomer.Name AS CustomerName,
  orgCustomer.RFC AS CustomerRFC,
  docFinancialOperation.OperationDate AS OperationDate,
  docFinancialOperation.Reference AS Reference,
  docFinancialOperation.FormaPago AS FormaPago,
  docFinancialOperation.CurrencyID AS CurrencyID,
  engCurrency.Code AS CurrencyCode,
  engCurrency.Symbol AS Symbol,
  'L' AS Alignment,
  docFinancialOperation.ExchangeRate AS ExchangeRate,
  docFinancialOperation.Amount AS Amount,
  docFinancialOperation.CFDIFolioFiscal AS CFDIFolioFiscal,
  docFinancialOperation.Notes AS Notes,
  docDocumentPayment.DocumentPaymentID AS DocumentPaymentID,
  docDocumentPayment.LineNumber AS LineNumber,
  docDocumentPayment.DocumentID AS DocumentID,
  docDocumentPayment.NumParcialidad AS NumParcialidad,
  docDocumentPayment.ImpSaldoAnt AS ImpSaldoAnt,
  docDocumentPayment.ImpPagado AS ImpPagado,
  docDocumentPayment.ImpSaldoInsoluto AS ImpSaldoInsoluto,
  docDocumentPayment.MonedaDR AS MonedaDR,
  docDocumentCFD.CFDIFolioFiscal AS DR_IdDocumento,
  docDocument.Serie AS DR_Serie,
  docDocument.Folio AS DR_Folio
FROM docFinancialOperation
  LEFT JOIN docDocumentPayment
    ON docDocumentPayment.FinancialOperationID =
       docFinancialOperation.FinancialOperationID
  LEFT JOIN docDocument ON docDocument.DocumentID = docDocumentPayment.DocumentID
  LEFT JOIN docDocumentCFD ON docDocumentCFD.DocumentID = docDocument.DocumentID
  LEFT JOIN orgCustomer
    ON orgCustomer.BusinessEntityID = docFinancialOperation.BusinessEntityID
   AND orgCustomer.OwnedBusinessEntityID =
       docFinancialOperation.OwnedBusinessEntityID
  LEFT JOIN engCurrency
    ON engCurrency.CurrencyID = docFinancialOperation.CurrencyID;
