-- Sales by branch and seller: the rows (1, Ana), (1, Ana), (1, Beto),
-- (2, Beto), stored out of order so that the sorting shows.
CREATE TABLE Venta (
  VentaID INTEGER PRIMARY KEY,
  Sucursal INTEGER NOT NULL,
  Vendedor TEXT NOT NULL,
  Importe MONEY NOT NULL
);
INSERT INTO Venta VALUES (1, 2, 'Beto', 980);
INSERT INTO Venta VALUES (2, 1, 'Ana', 1200.50);
INSERT INTO Venta VALUES (3, 1, 'Beto', 75.25);
INSERT INTO Venta VALUES (4, 1, 'Ana', 300);
