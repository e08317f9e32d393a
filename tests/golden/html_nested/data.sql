-- Three invoices and the payments applied to them; the second invoice has
-- none. Abono has no index, so its rows come back in the order stored
-- unless the statement sorts them.
INSERT INTO docDocument (DocumentID, ModuleID, Serie, Folio, Total)
VALUES (3, 10, 'A', '1203', 870), (1, 10, 'A', '1201', 2320),
       (2, 10, 'A', '1202', 464);
CREATE TABLE Abono (
  AbonoID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  LineNumber INTEGER NOT NULL,
  Fecha DATE NOT NULL,
  Importe MONEY NOT NULL
);
INSERT INTO Abono VALUES (1, 1, 2, '2024-04-30', 1320);
INSERT INTO Abono VALUES (2, 3, 1, '2024-05-02', 870);
INSERT INTO Abono VALUES (3, 1, 1, '2024-04-15', 1000);
