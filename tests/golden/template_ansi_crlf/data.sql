-- Products; one name was typed with a line break (CR LF) in it.
CREATE TABLE Producto (
  ProductoID INTEGER PRIMARY KEY,
  Nombre TEXT NOT NULL
);
INSERT INTO Producto VALUES (1, 'Ángulo de 1"');
INSERT INTO Producto VALUES (2, 'Varilla' || char(13, 10) || 'corrugada 3/8');
