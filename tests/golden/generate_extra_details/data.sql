-- An invoice of module 10 with a related CFDI pair and one consignment-note
-- line; the module has an old non-default print format and a default one
-- in another folder.
INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');
INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
INSERT INTO orgCustomer (CustomerID, BusinessEntityID, OwnedBusinessEntityID,
                         Name, RFC)
VALUES (1, 501, 1, 'Constructora Río Laja', 'CRL0902146T3');
INSERT INTO docDocument
  (DocumentID, ModuleID, BusinessEntityID, OwnedBusinessEntityID, Serie,
   Folio, DocumentDate, CurrencyID, SubTotal, TaxTotal, Total, Notes)
VALUES (1, 10, 501, 1, 'A', '1187', '2024-05-20', 1, 3650, 584, 4234,
        'Entrega en obra');
INSERT INTO docDocumentCFD (DocumentID, CFDIFolioFiscal, TipoComprobante33)
VALUES (1, '5B1C2E7A-0F3D-4C8B-9A61-2D7E4F8A1B93', 'I - Ingreso');
INSERT INTO docDocumentItem
  (DocumentItemID, DocumentID, LineNumber, ClaveProdServ, Descripcion,
   Unidad, ClaveUnidad, Cantidad, ValorUnitario, Importe, IsConsignmentNote,
   PesoEnKg)
VALUES (1, 1, 1, '30102404', 'Varilla corrugada 3/8"', 'Pieza', 'H87', 25,
        98, 2450, 0, 133.5),
       (2, 1, 2, '78101802', 'Flete Celaya - León', 'Servicio', 'E48', 1,
        1200, 1200, 1, 1450.25);
INSERT INTO docRel
  (DocRelID, ID, LineNumber, TipoRelacion, CFDIFolioFiscal, Serie, Folio,
   DocumentDate, Total)
VALUES (7, 1, 2, '04', 'C3D4E5F6-A7B8-4C9D-8E0F-1A2B3C4D5E6F', 'A', '1150',
        '2024-05-02', 980),
       (6, 1, 1, '04', '9F8E7D6C-5B4A-4392-8170-6F5E4D3C2B1A', 'A', '1149',
        '2024-05-01', 4234);
INSERT INTO engModulePrintFormat
  (PrintFormatID, ModuleID, FormatName, FileName, FormatIsDefault)
VALUES (1, 10, 'Factura anterior', '{dir}/antigua/factura.html', 0),
       (2, 10, 'Factura', '{dir}/formatos/factura.html', 1);
