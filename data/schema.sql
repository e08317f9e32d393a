-- The host schema the engine reads.
CREATE TABLE engParameter (
  "Key" TEXT PRIMARY KEY NOT NULL COLLATE NOCASE,
  "Value" TEXT
);

CREATE TABLE engCurrency (
  CurrencyID INTEGER PRIMARY KEY,
  Code TEXT NOT NULL,
  Symbol TEXT NOT NULL,
  Decimals INTEGER NOT NULL DEFAULT 2
);
