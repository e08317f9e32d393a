-- Articles with their photos: a path to a picture, a path to nothing, and
-- no path at all.
CREATE TABLE Articulo (
  ArticuloID INTEGER PRIMARY KEY,
  Descripcion TEXT NOT NULL,
  Foto TEXT
);
INSERT INTO Articulo VALUES
  (1, 'Varilla corrugada', '{dir}/fotos/varilla.png'),
  (2, 'Alambrón', '{dir}/fotos/no-existe.png'),
  (3, 'Clavo estándar', NULL);
