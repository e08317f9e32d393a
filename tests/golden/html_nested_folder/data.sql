-- Two invoices with their related CFDI and their delivery notes. Nota has
-- no index, so its rows come back in the order stored unless the statement
-- sorts them.
INSERT INTO docDocument (DocumentID, ModuleID, Serie, Folio)
VALUES (1, 10, 'A', '1201'), (2, 10, 'A', '1202');
INSERT INTO docRel
  (DocRelID, ID, LineNumber, TipoRelacion, CFDIFolioFiscal, Serie, Folio)
VALUES (1, 1, 1, '07', '0A1B2C3D-4E5F-4A6B-8C7D-8E9F0A1B2C3D', 'AN', '12'),
       (2, 2, 1, '01', '1B2C3D4E-5F6A-4B7C-8D8E-9F0A1B2C3D4E', 'NC', '3');
CREATE TABLE Nota (
  NotaID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  LineNumber INTEGER NOT NULL,
  Texto TEXT NOT NULL
);
INSERT INTO Nota VALUES (1, 1, 2, 'Entregar en la obra de Av. Tecnológico');
INSERT INTO Nota VALUES (2, 1, 1, 'Llamar al residente antes de llegar');
INSERT INTO Nota VALUES (3, 2, 1, 'Pago contra entrega');
