-- Sales of two days; a counter sale has no customer (Null).
CREATE TABLE Venta (
  VentaID INTEGER PRIMARY KEY,
  Fecha DATE NOT NULL,
  Cliente TEXT,
  Importe MONEY NOT NULL
);
INSERT INTO Venta VALUES (1, '2024-02-01', 'Aceros del Bajío', 50);
INSERT INTO Venta VALUES (2, '2024-01-31', 'Aceros del Bajío', 1000);
INSERT INTO Venta VALUES (3, '2024-02-01', NULL, 99.90);
INSERT INTO Venta VALUES (4, '2024-01-31', 'Aceros del Bajío', 200);
