-- A price list: prices in pesos, dollars and a currency the catalogue
-- lacks; the symbol goes after the amount only where Alignment is "R".
INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
INSERT INTO engCurrency VALUES (2, 'USD', 'US$', 2);
CREATE TABLE Precio (
  PrecioID INTEGER PRIMARY KEY,
  Categoria TEXT NOT NULL,
  Producto TEXT NOT NULL,
  Precio MONEY NOT NULL,
  Tasa REAL NOT NULL,
  Vigencia DATE NOT NULL,
  CurrencyID INTEGER,
  Symbol TEXT,
  Alignment TEXT,
  Notas TEXT
);
INSERT INTO Precio VALUES
  (1, 'Acero', 'Varilla 3/8', 1234.5, 0.16, '2024-01-05', 1, '$', 'L', NULL),
  (2, 'Acero', 'Viga IPR 8"', 98765.432, 0.08, '2024-12-31', 2, 'USD', 'R',
   'precio especial'),
  (3, 'Ferretería', 'Clavo 2"', 0, 0, '2024-07-15', 99, 'EUR', 'r', '12.5');
