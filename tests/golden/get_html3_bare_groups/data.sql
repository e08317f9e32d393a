-- Collections by customer; one customer name holds an apostrophe, and a
-- zero amount stays out of the statement's own condition.
CREATE TABLE Cobro (
  CobroID INTEGER PRIMARY KEY,
  Cliente TEXT NOT NULL,
  Folio TEXT NOT NULL,
  Importe MONEY NOT NULL
);
INSERT INTO Cobro VALUES (1, 'Materiales Ruiz', 'F-11', 20);
INSERT INTO Cobro VALUES (2, 'Ferretería O''Brien', 'F-10', 100);
INSERT INTO Cobro VALUES (3, 'Ferretería O''Brien', 'F-13', 0);
INSERT INTO Cobro VALUES (4, 'Ferretería O''Brien', 'F-12', 50.5);
