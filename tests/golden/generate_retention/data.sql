-- A payment (module 30) for two freight invoices (module 10) on which the
-- customer withheld IVA. The payment's related documents are its paid
-- invoices. Payments have a default print format; invoices only a
-- non-default one, in another folder.
INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
INSERT INTO orgCustomer (CustomerID, BusinessEntityID, OwnedBusinessEntityID,
                         Name, RFC)
VALUES (1, 777, 1, 'Transportes Ávila', 'TAV1103089K2');
INSERT INTO docDocument
  (DocumentID, ModuleID, BusinessEntityID, OwnedBusinessEntityID, Serie,
   Folio, DocumentDate, CurrencyID, Total)
VALUES (1, 10, 777, 1, 'F', '310', '2024-06-03', 1, 11600),
       (2, 10, 777, 1, 'F', '314', '2024-06-10', 1, 5800);
INSERT INTO docDocumentCFD (DocumentID, CFDIFolioFiscal, TipoComprobante33)
VALUES (1, 'AA11BB22-CC33-4D44-8E55-FF6600771188', 'I - Ingreso'),
       (2, 'BB22CC33-DD44-4E55-8F66-007711882299', 'I - Ingreso');
INSERT INTO docFinancialOperation
  (FinancialOperationID, ModuleID, BusinessEntityID, OwnedBusinessEntityID,
   OperationDate, Reference, FormaPago, CurrencyID, Amount, CFDIFolioFiscal)
VALUES (1, 30, 777, 1, '2024-07-01', 'P-215', '03', 1, 16800,
        'CC33DD44-EE55-4F66-8077-118822993300');
INSERT INTO docDocumentPayment
  (DocumentPaymentID, FinancialOperationID, DocumentID, LineNumber,
   NumParcialidad, ImpSaldoAnt, ImpPagado, ImpSaldoInsoluto, MonedaDR)
VALUES (1, 1, 1, 1, 1, 11600, 11200, 0, 'MXN'),
       (2, 1, 2, 2, 1, 5800, 5600, 0, 'MXN');
INSERT INTO docRel
  (DocRelID, ID, LineNumber, TipoRelacion, CFDIFolioFiscal, Serie, Folio,
   DocumentDate, Total)
VALUES (1, 1, 1, NULL, 'AA11BB22-CC33-4D44-8E55-FF6600771188', 'F', '310',
        '2024-06-03', 11600),
       (2, 1, 2, NULL, 'BB22CC33-DD44-4E55-8F66-007711882299', 'F', '314',
        '2024-06-10', 5800);
INSERT INTO engModulePrintFormat
  (PrintFormatID, ModuleID, FormatName, FileName, FormatIsDefault)
VALUES (1, 30, 'Recibo de pago', '{dir}/pagos/pago.html', 1),
       (2, 10, 'Factura de fletes', '{dir}/facturas/factura.html', 0);
