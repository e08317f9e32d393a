-- Four documents: an invoice with one consignment-note line, a transfer
-- voucher, a draft without CFDI data (its type is Null) and a transfer
-- written without the blank after the dash.
INSERT INTO docDocument (DocumentID, ModuleID, Serie, Folio, DocumentDate)
VALUES (1, 10, 'A', '100', '2024-03-04'),
       (2, 12, 'T', '5', '2024-03-04'),
       (3, 10, 'B', '7', '2024-03-05'),
       (4, 12, 'T', '6', '2024-03-05');
INSERT INTO docDocumentCFD (DocumentID, TipoComprobante33)
VALUES (1, 'I - Ingreso'), (2, 'T - Traslado'), (4, 'T -Traslado');
INSERT INTO docDocumentItem
  (DocumentItemID, DocumentID, LineNumber, Descripcion, Cantidad,
   ValorUnitario, Importe, IsConsignmentNote)
VALUES (11, 1, 1, 'Varilla corrugada 3/8', 10, 120, 1200, 0),
       (12, 1, 2, 'Flete de varilla', 1, 800, 800, 1),
       (13, 1, 3, 'Alambre recocido', 5, 35.125, 175.65, 0),
       (21, 2, 1, 'Tubo galvanizado', 4, 0, 0, 0),
       (22, 2, 2, 'Lámina acanalada', 6, 0, 0, 1),
       (31, 3, 1, 'Malla electrosoldada', 2, 650, 1300, 1),
       (41, 4, 1, 'Cemento gris', 20, 0, 0, 0);
-- Line amounts are computed from the unit price rounded to two places,
-- halves to even: 5 x 35.12, not the stored 175.65.
INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');
