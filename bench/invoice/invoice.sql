-- One invoice of {LINES} lines over the host schema: a docDocument row of
-- 30 header fields and 3 totals, docDocumentItem lines of 8 fields. Run
-- after data/schema.sql with {LINES} replaced.
ALTER TABLE docDocument ADD COLUMN EmisorNombre TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorRFC TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorRegimen TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorCalle TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorColonia TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorCiudad TEXT;
ALTER TABLE docDocument ADD COLUMN EmisorCP TEXT;
ALTER TABLE docDocument ADD COLUMN ReceptorNombre TEXT;
ALTER TABLE docDocument ADD COLUMN ReceptorRFC TEXT;
ALTER TABLE docDocument ADD COLUMN ReceptorRegimen TEXT;
ALTER TABLE docDocument ADD COLUMN ReceptorCalle TEXT;
ALTER TABLE docDocument ADD COLUMN ReceptorCP TEXT;
ALTER TABLE docDocument ADD COLUMN UsoCFDI TEXT;
ALTER TABLE docDocument ADD COLUMN FormaPago TEXT;
ALTER TABLE docDocument ADD COLUMN MetodoPago TEXT;
ALTER TABLE docDocument ADD COLUMN LugarExpedicion TEXT;
INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');
INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
INSERT INTO docDocument VALUES (
  1, 1, 7, 1, 'A', '1187', '2024-03-15', '2024-04-14', 1, 1,
  0, 0, 0, 0, 'Entrega en almacen central', NULL, '2024-03-15 10:20:00', NULL,
  'Aceros del Norte SA de CV', 'ANO150318KT7', '601', 'Av. Industria 400',
  'Parque Industrial', 'Monterrey', '64000', 'Construcciones del Bajio SA de CV',
  'CBA0101019Z8', '601', 'Calle Hidalgo 12', '37000', 'G03', '99', 'PPD',
  '64000');
WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k
                        WHERE n < {LINES})
INSERT INTO docDocumentItem (DocumentItemID, DocumentID, LineNumber,
  ClaveProdServ, Descripcion, Unidad, Cantidad, ValorUnitario, Importe, IVA)
SELECT n, 1, n, '43211503', 'Lamina de acero calibre ' || (10 + n % 17) ||
  ' rollo ' || n, 'Pieza', 1 + n % 7, 1234 + (n % 100) / 4.0,
  (1 + n % 7) * (1234 + (n % 100) / 4.0),
  round((1 + n % 7) * (1234 + (n % 100) / 4.0) * 0.16, 2)
FROM k;
UPDATE docDocument SET
  SubTotal = (SELECT sum(Importe) FROM docDocumentItem),
  TaxTotal = (SELECT sum(IVA) FROM docDocumentItem),
  Total = (SELECT sum(Importe) + sum(IVA) FROM docDocumentItem);
