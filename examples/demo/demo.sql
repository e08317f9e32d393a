-- The demo database: run after data/schema.sql.
--
-- One issuing company, Aceros y Herrajes Puerta del Bajío (a steel and
-- hardware distributor of Celaya, Gto., with its own trucks), and three
-- documents to print:
--
--   A-1187  a CFDI 4.0 invoice to a builder: eight lines with IVA 16%,
--           payment on credit (PPD), substituting two earlier invoices
--           (related CFDI listed through a docRel extra detail). The
--           builder's supplier portal asks for an addenda: its data, the
--           builder's codes for each line and the delivery's weight.
--   T-87    a transfer voucher ("T - Traslado") moving stock to the León
--           branch with its Carta Porte complement: goods listed through a
--           vwVADTransportMercancia extra detail, vehicle, trailer and
--           driver from the Carta Porte data the company keeps.
--   P-215   a payment received (docFinancialOperation) for two freight
--           invoices on which the customer withheld 4% IVA: its template
--           holds one retention block per retention complement type and
--           only the block of the payment's own type stays.
--
-- The invoice and the transfer print from the plain print view: what their
-- templates show beyond its columns the engine looks up by name (the
-- FindMatchIfFieldDoesntExists switch is on), in the document tables, in
-- the stored statements of engAddendaFieldRef and in the addenda
-- definitions of the document's customer.
--
-- Every name, RFC, address, folio and seal is invented.
--
-- Print formats: engModulePrintFormat.FileName holds a template's path
-- relative to examples/demo/templates/. The engine takes the extra-detail
-- templates from the folder of FileName and resolves a relative path
-- against the working folder, so the demo builder (nerolin-report demo)
-- turns every relative FileName into the absolute path of that folder once
-- the script has run. A host stores absolute paths in the first place.

-- Settings and currencies -------------------------------------------------

INSERT INTO engParameter ("Key", "Value") VALUES
  ('OwnedBusinessEntityID', '1'),
  ('DocSalesUnitPriceDecimals', '2'),
  ('ConvertImagesToBase64', 'False');

INSERT INTO engCurrency (CurrencyID, Code, Symbol, Decimals) VALUES
  (1, 'MXN', '$', 2),
  (2, 'USD', 'US$', 2),
  (3, 'XXX', '', 2);

-- Customers of company 1 (the company itself is the receiver of its own
-- transfer vouchers), each with the addenda definition its documents carry
-- (see the addenda and Carta Porte sections below) ------------------------

INSERT INTO orgCustomer (CustomerID, BusinessEntityID, OwnedBusinessEntityID,
    AddendaDefinicionID, Name, RFC, GLN, CodigoPostal, RegimenFiscal, Email)
VALUES
  (1, 1, 1, 2, 'ACEROS Y HERRAJES PUERTA DEL BAJÍO', 'AHP150318KT7', NULL,
   '38020', '601 - General de Ley Personas Morales',
   'logistica@puertadelbajio.example'),
  (2, 101, 1, 1, 'EDIFICACIONES SIERRA MORENA DEL CENTRO', 'ESM120904PL3',
   NULL, '76090', '601 - General de Ley Personas Morales',
   'compras@sierramorena.example'),
  (3, 102, 1, NULL, 'ALIMENTOS CAMPO SERRANO', 'ACS080715RD9', NULL, '36815',
   '601 - General de Ley Personas Morales',
   'cuentasporpagar@camposerrano.example');

-- Documents ---------------------------------------------------------------
--
-- Modules: 10 invoices, 12 transfer vouchers, 14 payment receipts (the
-- stamped CFDI of type P of a payment), 30 payments received.

INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
    OwnedBusinessEntityID, Serie, Folio, DocumentDate, DueDate, CurrencyID,
    ExchangeRate, SubTotal, DiscountTotal, TaxTotal, Total, Notes,
    PictureSourceDocument, CreatedOn, DeletedOn)
VALUES
  (1001, 10, 101, 1, 'A', '1187', '2024-05-14', '2024-06-13', 1, 1,
   52571.00, 0, 8411.36, 60982.36,
   'Sustituye a las facturas A-1179 y A-1180, canceladas por corrección '
   || 'del régimen fiscal del receptor.' || char(13) || char(10)
   || 'Recibe en obra: Ing. Mauricio Treviño Olvera, residente de obra. '
   || 'Descarga con montacargas del cliente.',
   NULL, '2024-05-14 10:32:17', NULL),
  (1002, 10, 102, 1, 'F', '388', '2024-04-22', '2024-05-22', 1, 1,
   8500.00, 0, 1020.00, 9520.00, NULL, NULL, '2024-04-22 16:05:40', NULL),
  (1003, 10, 102, 1, 'F', '394', '2024-04-29', '2024-05-29', 1, 1,
   12000.00, 0, 1440.00, 13440.00, NULL, NULL, '2024-04-29 12:48:03', NULL),
  (1004, 14, 102, 1, 'P', '215', '2024-05-20', NULL, 3, 1,
   0, 0, 0, 0, NULL, NULL, '2024-05-20 13:10:52', NULL),
  (1005, 12, 1, 1, 'T', '87', '2024-05-16', NULL, 1, 1,
   0, 0, 0, 0,
   'Reabasto semanal de la sucursal León. Material peligroso (thinner) '
   || 'embalado y señalizado conforme a la NOM-004-SCT.',
   NULL, '2024-05-16 07:02:44', NULL);

INSERT INTO docDocumentItem (DocumentItemID, DocumentID, LineNumber,
    ProductID, NoIdentificacion, ClaveProdServ, Descripcion, Unidad,
    ClaveUnidad, Cantidad, ValorUnitario, Descuento, Importe, TasaIVA, IVA,
    IsConsignmentNote, PesoEnKg, MaterialPeligroso)
VALUES
  -- A-1187
  (1, 1001, 1, 201, 'ACE-VC38', '30102403',
   'Varilla corrugada de acero 3/8" x 12 m, grado 42', 'Pieza', 'H87',
   120, 138.50, 0, 16620.00, 0.16, 2659.20, 0, 806.4, 'No'),
  (2, 1001, 2, 202, 'CEM-CPC30', '30111601',
   'Cemento gris CPC 30R, saco de 50 kg', 'Saco', 'XSA',
   80, 228.00, 0, 18240.00, 0.16, 2918.40, 0, 4000, 'No'),
  (3, 1001, 3, 203, 'ALA-REC16', '31151701',
   'Alambre recocido calibre 16', 'Kilogramo', 'KGM',
   50, 34.90, 0, 1745.00, 0.16, 279.20, 0, 50, 'No'),
  (4, 1001, 4, 204, 'CLA-212', '31162001',
   'Clavo estándar 2 1/2", caja de 25 kg', 'Caja', 'XBX',
   6, 865.00, 0, 5190.00, 0.16, 830.40, 0, 150, 'No'),
  (5, 1001, 5, 205, 'BLK-1520', '30131502',
   'Block de concreto hueco 15 x 20 x 40 cm', 'Pieza', 'H87',
   400, 14.75, 0, 5900.00, 0.16, 944.00, 0, 4400, 'No'),
  (6, 1001, 6, 206, 'TOR-HEX12', '31161620',
   'Tornillo hexagonal galvanizado 1/2" x 3" con tuerca y rondana',
   'Pieza', 'H87', 200, 9.80, 0, 1960.00, 0.16, 313.60, 0, 30, 'No'),
  (7, 1001, 7, 207, 'GUA-CARN', '46181504',
   'Guante de carnaza reforzado, talla única', 'Par', 'PR',
   24, 62.50, 0, 1500.00, 0.16, 240.00, 0, 6, 'No'),
  (8, 1001, 8, 208, 'FLX-5M', '27111801',
   'Flexómetro de 5 m x 19 mm con freno', 'Pieza', 'H87',
   12, 118.00, 0, 1416.00, 0.16, 226.56, 0, 3.6, 'No'),
  -- F-388 and F-394: freight services
  (9, 1002, 1, 301, 'SRV-FLETE', '78101802',
   'Servicio de flete Celaya, Gto. - Irapuato, Gto., caja seca 12 t',
   'Unidad de servicio', 'E48', 1, 8500.00, 0, 8500.00, 0.16, 1360.00, 0,
   NULL, NULL),
  (10, 1003, 1, 301, 'SRV-FLETE', '78101802',
   'Servicio de flete Celaya, Gto. - Irapuato, Gto., dos viajes',
   'Unidad de servicio', 'E48', 1, 12000.00, 0, 12000.00, 0.16, 1920.00,
   0, NULL, NULL),
  -- T-87: stock moved at cost to the León branch
  (11, 1005, 1, 201, 'ACE-VC38', '30102403',
   'Varilla corrugada de acero 3/8" x 12 m, grado 42', 'Pieza', 'H87',
   300, 112.40, 0, 33720.00, NULL, NULL, 1, 2016, 'No'),
  (12, 1005, 2, 202, 'CEM-CPC30', '30111601',
   'Cemento gris CPC 30R, saco de 50 kg', 'Saco', 'XSA',
   120, 185.00, 0, 22200.00, NULL, NULL, 1, 6000, 'No'),
  (13, 1005, 3, 203, 'ALA-REC16', '31151701',
   'Alambre recocido calibre 16', 'Kilogramo', 'KGM',
   250, 28.10, 0, 7025.00, NULL, NULL, 1, 250, 'No'),
  (14, 1005, 4, 209, 'LAM-GAL26', '30102203',
   'Lámina galvanizada acanalada calibre 26, 3.05 m', 'Pieza', 'H87',
   80, 410.00, 0, 32800.00, NULL, NULL, 1, 1160, 'No'),
  (15, 1005, 5, 210, 'THN-20L', '12191501',
   'Thinner estándar, garrafa de 20 L', 'Pieza', 'H87',
   20, 395.00, 0, 7900.00, NULL, NULL, 1, 352, 'Sí - UN1263'),
  (16, 1005, 6, 204, 'CLA-212', '31162001',
   'Clavo estándar 2 1/2", caja de 25 kg', 'Caja', 'XBX',
   40, 720.00, 0, 28800.00, NULL, NULL, 1, 1000, 'No');

INSERT INTO docDocumentCFD (DocumentID, Version, CFDIFolioFiscal,
    TipoComprobante33, FormaPago33, MetodoPago33, UsoCFDI33,
    CondicionesDePago, LugarExpedicion, RegimenFiscal33, NoCertificado,
    NoCertificadoSAT, FechaTimbrado, SelloCFD, SelloSAT, CadenaOriginal,
    CodigoQR, XMLFileName)
VALUES
  (1001, '4.0', '3E1A9B42-F5FB-49F0-AD1B-05D97491BC66', 'I - Ingreso',
   '99 - Por definir', 'PPD - Pago en parcialidades o diferido',
   'G03 - Gastos en general', 'Crédito a 30 días', '38020',
   '601 - General de Ley Personas Morales', '00001000000509846713',
   '00001000000705250068', '2024-05-14 10:33:02',
   'sDKgyKoU4BW5SUtl2hnrGQase4iuH5Rti3yEALROalDw/T8Uci+1gOuxoaDN5ebQyuduI5FZqcQ/JkOffBSv7LsxGGc8VJ9mKqEoUs1wmA3FsTYI+tItIYacu6gwg0UCHv+4se4Np6TlU1yQAqtn/tTqTBZxGK5yXuehfbj8FnDfSMjvx8g+MGqx0tj/7D5TZ16A3clC2SroEvRfTRfXhHqe3hBeGH+mqycCdaYlIDXBil8ikCzRzdRzSTo/q0CeIO47OXVse9kPcxQtFL1ULpTdnCkGUi39lwK5750p+Ik0E4sw+M6iz8lGZtDl9UPzxUAem6jpjgJfCeCg7tmH9A==',
   'QZZtcYdQN/8r8Q0dAyg5Q1T2qLR5Wo3anHGzlC4yozS2yGi3jDRbAyZbyiGZa1kEGRkjrWePXxUWcuoVOXbR6xvqM32zuRfBq0T9uAjgmenB6EX8HbAETz/ieXuUOtW15sbtk0gmoi3bltEKEp1/bpH8zPM5zaTu9ovZBesj6ZVKb4RsEjC8ghTGbCIFmBQKJXW9jeaJI6kV7lrt6P0na09wOq7ZEIAniQFi2iWc++Z9MrH3tJB4+9C31YoVpeJB8gZ0Jyuwlq5fRlN1+rGYx0KaVndo043WSCIJ3f3WZs3qLhZB+Bvpy2dNZN6d6ePl16Q4/zpwoMO2u4RfMx9IBw==',
   '||1.1|3E1A9B42-F5FB-49F0-AD1B-05D97491BC66|2024-05-14T10:33:02|STI091128KL1|sDKgyKoU4BW5SUtl2hnrGQase4iuH5Rti3yEALROalDw/T8Uci+1gOuxoaDN5ebQyuduI5FZqcQ/JkOffBSv7LsxGGc8VJ9mKqEoUs1wmA3FsTYI+tItIYacu6gwg0UCHv+4se4Np6TlU1yQAqtn/tTqTBZxGK5yXuehfbj8FnDfSMjvx8g+MGqx0tj/7D5TZ16A3clC2SroEvRfTRfXhHqe3hBeGH+mqycCdaYlIDXBil8ikCzRzdRzSTo/q0CeIO47OXVse9kPcxQtFL1ULpTdnCkGUi39lwK5750p+Ik0E4sw+M6iz8lGZtDl9UPzxUAem6jpjgJfCeCg7tmH9A==|00001000000705250068||',
   'https://verificacfdi.facturaelectronica.sat.gob.mx/default.aspx?id=3E1A9B42-F5FB-49F0-AD1B-05D97491BC66&re=AHP150318KT7&rr=ESM120904PL3&tt=60982.36&fe=7tmH9A==',
   'AHP150318KT7_A_1187.xml'),
  (1002, '4.0', '676E8273-3C93-4205-910F-614BB4396A55', 'I - Ingreso',
   '99 - Por definir', 'PPD - Pago en parcialidades o diferido',
   'G03 - Gastos en general', 'Crédito a 30 días', '38020',
   '601 - General de Ley Personas Morales', '00001000000509846713',
   '00001000000705250068', '2024-04-22 16:06:11', NULL, NULL, NULL, NULL,
   'AHP150318KT7_F_388.xml'),
  (1003, '4.0', '30BB0794-6AC6-4F3F-8BB8-03A49C20486A', 'I - Ingreso',
   '99 - Por definir', 'PPD - Pago en parcialidades o diferido',
   'G03 - Gastos en general', 'Crédito a 30 días', '38020',
   '601 - General de Ley Personas Morales', '00001000000509846713',
   '00001000000705250068', '2024-04-29 12:48:37', NULL, NULL, NULL, NULL,
   'AHP150318KT7_F_394.xml'),
  (1004, '4.0', '67078855-91AC-43CD-B165-0F0767CD0CA5', 'P - Pago', NULL,
   NULL, 'CP01 - Pagos', NULL, '38020',
   '601 - General de Ley Personas Morales', '00001000000509846713',
   '00001000000705250068', '2024-05-20 13:11:26',
   'U35Y1Mhf+/AQ8XGajpme3y2hazJr7eGa2OxbrZz0SkxsttGeAbByMuolgxi57iPF75l6FNT1iLMAEfWbb99kDqxS1x4xUUOb8QMpT2lk3MOvsBmpPOthJEa0Ov1IB1JjdQaztnuJI8bKZdB150CcwN3ociaHr7WHdYCKJ5a+Rh9Sgn1hqepLZtDFq4r4u72lOmQmT+WuaExVaD4WCHrSY7eH5ITsNb+e/qFpfGnAE9x/TR5gN43TyZ4bZgbcRw7la8J6xy+6KqV0xYFBp0wvANWb9qtETY4vdarouc5E19CfFDmqsu0XCKwvL3KqL2wCuRwzM2eeHSLs8X0y73nLpA==',
   'nk3q6RT3q8wcE6FSPkPtYYfuEAG3pLGfc1oZ3mIG+wCJNPfQva/1e32pQwKMjAw1qw8cVAhIO1ahXZyo8jBueX3OTgrhDmYrhCREhfiComXvixTAGwewxvzmd8/+BQmipvwj6SCLcgyRC5BUhRKCYi4CT31huV4VWL1Btku42iUdcLKRqPCcF7Z0qlHwBt91QKXoxTFC+BQHIYkbqmS/jk2QyN+XJZp/PncmZkySit+EYOWwZgS4+qHavWRH0BcS8TggfSnYisIFJi2+MFDxODdDMDhIlOHawV+zzqkP/tbF2nmJbLK7McnTsMDjxxrHAjsXW+RfgbAd65Zawvj2+w==',
   '||1.1|67078855-91AC-43CD-B165-0F0767CD0CA5|2024-05-20T13:11:26|STI091128KL1|U35Y1Mhf+/AQ8XGajpme3y2hazJr7eGa2OxbrZz0SkxsttGeAbByMuolgxi57iPF75l6FNT1iLMAEfWbb99kDqxS1x4xUUOb8QMpT2lk3MOvsBmpPOthJEa0Ov1IB1JjdQaztnuJI8bKZdB150CcwN3ociaHr7WHdYCKJ5a+Rh9Sgn1hqepLZtDFq4r4u72lOmQmT+WuaExVaD4WCHrSY7eH5ITsNb+e/qFpfGnAE9x/TR5gN43TyZ4bZgbcRw7la8J6xy+6KqV0xYFBp0wvANWb9qtETY4vdarouc5E19CfFDmqsu0XCKwvL3KqL2wCuRwzM2eeHSLs8X0y73nLpA==|00001000000705250068||',
   'https://verificacfdi.facturaelectronica.sat.gob.mx/default.aspx?id=67078855-91AC-43CD-B165-0F0767CD0CA5&re=AHP150318KT7&rr=ACS080715RD9&tt=0&fe=73nLpA==',
   'AHP150318KT7_P_215.xml'),
  (1005, '4.0', '043EE98B-BC6A-4718-9C46-F3A9155DC0E2', 'T - Traslado', NULL,
   NULL, 'S01 - Sin efectos fiscales', NULL, '38020',
   '601 - General de Ley Personas Morales', '00001000000509846713',
   '00001000000705250068', '2024-05-16 07:03:15',
   'VG6TsqQHXgeIQMh2lbZWohEXqgHoSoB05Hw9T3HLCUN+hJClowa0GiblJtZqrYC4TW6kHieav94mjt+51fWwLL9lqtT9p5CeLPbFUw7UqUa9MoSLpm9O0BKIoKu55uvop/Z/PDsZUJVsM4rd8Mi7JJL3whk9DJoMehFOJr9fixAW8bch50+ivSdkNXlHTWV6xQGFxAumdL5pgaXHyVnlpDGRxTVXKPmItrDoA5eqC3/OGXB5r9z7v3SuxrzkLMNjn+BDkwEDkDGz4tB52YT8i4Tn5rH79fZJfsNDbt2BcTySSomvBQeZRqIJnrhBogWz4HLyE9p3xTg/ZRGvD+i+7g==',
   'ACGtlkQravS50GtcuYGpprOdohVbxstysBp5xEDavyON4evrntX3nYL0wvWU/UgdM4+Tfq9+4vkLcrqybvKrQhQj3GdeHN6f7Fg58VK1+3i956JFUTime9BVOfQcxvphnEB/SeYnL63tXXDN99j2HJiONiMhKAd8WkGJ/oEv+RlnUYle9UDQlQubK+4OgWB3sQ+9aa1aD0gXZr0WLPmH+LwhwuvmZXf0RgpGtvspg+ULmNNPvFTE05CpTsquMa0mAJebBSaW89Ld7dbNtxPQFP0Bu9EBgceUXN9mBs2+yj6wSJvQZLejkflb5S2AbJlImGsaB/AgZ6PQ7bDmNqMpVg==',
   '||1.1|043EE98B-BC6A-4718-9C46-F3A9155DC0E2|2024-05-16T07:03:15|STI091128KL1|VG6TsqQHXgeIQMh2lbZWohEXqgHoSoB05Hw9T3HLCUN+hJClowa0GiblJtZqrYC4TW6kHieav94mjt+51fWwLL9lqtT9p5CeLPbFUw7UqUa9MoSLpm9O0BKIoKu55uvop/Z/PDsZUJVsM4rd8Mi7JJL3whk9DJoMehFOJr9fixAW8bch50+ivSdkNXlHTWV6xQGFxAumdL5pgaXHyVnlpDGRxTVXKPmItrDoA5eqC3/OGXB5r9z7v3SuxrzkLMNjn+BDkwEDkDGz4tB52YT8i4Tn5rH79fZJfsNDbt2BcTySSomvBQeZRqIJnrhBogWz4HLyE9p3xTg/ZRGvD+i+7g==|00001000000705250068||',
   'https://verificacfdi.facturaelectronica.sat.gob.mx/default.aspx?id=043EE98B-BC6A-4718-9C46-F3A9155DC0E2&re=AHP150318KT7&rr=AHP150318KT7&tt=0&fe=D+i+7g==',
   'AHP150318KT7_T_87.xml');

-- The freight invoices carry the retention complement of the 4% IVA their
-- customer withholds (retention complement type 3, the clave de retención
-- 03 "Autotransporte terrestre de carga").
INSERT INTO docDocumentExtra (DocumentID, OrdenCompra, NumeroProveedor,
    LugarEntrega, Observaciones, RetentionComplementTypeID, CveRetenc,
    DescRetenc, MontoTotOperacion, MontoTotGrav, MontoTotExent, MontoTotRet)
VALUES
  (1001, 'OC-SM-24-0517', 'PRV-0388',
   'Obra Residencial Los Arcos, lote 14, Av. Paseo del Bosque 220, '
   || 'Corregidora, Qro., C.P. 76900', NULL,
   NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1002, 'OS-CS-1146', 'AC-7702', NULL, NULL,
   3, '03', 'Autotransporte terrestre de carga', 8500.00, 8500.00, 0, 340.00),
  (1003, 'OS-CS-1158', 'AC-7702', NULL, NULL,
   3, '03', 'Autotransporte terrestre de carga', 12000.00, 12000.00, 0,
   480.00);

INSERT INTO docDocumentTaxSum (DocumentID, TotalImpuestosTrasladados,
    TotalImpuestosRetenidos, IVATrasladado, IEPSTrasladado, IVARetenido,
    ISRRetenido)
VALUES
  (1001, 8411.36, 0, 8411.36, 0, 0, 0),
  (1002, 1360.00, 340.00, 1360.00, 0, 340.00, 0),
  (1003, 1920.00, 480.00, 1920.00, 0, 480.00, 0),
  (1004, 0, 0, 0, 0, 0, 0),
  (1005, 0, 0, 0, 0, 0, 0);

-- A-1187 substitutes A-1179 (lines 1 to 3) and A-1180 (lines 4 to 8),
-- issued the day before.
INSERT INTO docRel (DocRelID, ID, LineNumber, TipoRelacion, CFDIFolioFiscal,
    Serie, Folio, DocumentDate, Total)
VALUES
  (1, 1001, 1, '04 - Sustitución de los CFDI previos',
   '429AD289-D8DA-4265-AAA5-12AA40CC5F8D', 'A', '1179', '2024-05-13',
   42461.80),
  (2, 1001, 2, '04 - Sustitución de los CFDI previos',
   'B0E3C5A1-7D24-4F6B-9C18-5E2A7F90D437', 'A', '1180', '2024-05-13',
   18520.56);

-- The payment ---------------------------------------------------------------
--
-- Alimentos Campo Serrano pays F-388 and F-394 in full: the invoice totals
-- less the 4% IVA it withheld. The stamped receipt of the payment (CFDI of
-- type P) is document 1004, found through the shared fiscal folio.

INSERT INTO docFinancialOperation (FinancialOperationID, ModuleID,
    BusinessEntityID, OwnedBusinessEntityID, OperationDate, Reference,
    FormaPago, CurrencyID, ExchangeRate, Amount, CFDIFolioFiscal, Notes,
    CreatedOn, DeletedOn)
VALUES
  (7001, 30, 102, 1, '2024-05-20', 'SPEI 2024052040014471',
   '03 - Transferencia electrónica de fondos', 1, 1, 22960.00,
   '67078855-91AC-43CD-B165-0F0767CD0CA5',
   'Depósito por SPEI a la cuenta con terminación 4471.',
   '2024-05-20 13:09:58', NULL);

INSERT INTO docDocumentPayment (DocumentPaymentID, FinancialOperationID,
    DocumentID, LineNumber, NumParcialidad, ImpSaldoAnt, ImpPagado,
    ImpSaldoInsoluto, MonedaDR, EquivalenciaDR)
VALUES
  (1, 7001, 1002, 1, 1, 9520.00, 9520.00, 0, 'MXN', 1),
  (2, 7001, 1003, 2, 1, 13440.00, 13440.00, 0, 'MXN', 1);

-- Addenda of Edificaciones Sierra Morena ------------------------------------
--
-- The builder's supplier portal takes an invoice only with its addenda,
-- addenda definition 1, which orgCustomer gives to the builder. Each item's
-- ModuleTypeID says whose value it is, and so which identifier
-- orgAddendaValor.ID holds: the customer's (1, its BusinessEntityID), the
-- document's (2, DocumentID), a product's (3, ProductID), a line's (4,
-- DocumentItemID) or the issuing company's (5, OwnedBusinessEntityID).
-- Templates name an item by its Referencia. The engine reads the values of
-- types 1, 2 and 5 in header and footer blocks, those of types 3 and 4 line
-- by line in the detail block.
--
-- - SM_TipoProveedor is kept as a short code that its simple list
--   (ListaSencilla, "code=text;code=text") turns into text.
-- - SM_OrdenCompra stores nothing: CampoExistente names the column of
--   vwCFDAddendas that already holds the purchase order.
-- - SM_Familia and SM_Frente are codes of the builder's own pick lists in
--   engRefCombo (ClaveLista names the group): a numeric code is found by
--   ItemData, a text code by Custom1.

INSERT INTO engAddendaDefinicion (AddendaDefinicionID, Nombre, Descripcion,
    CreatedOn, DeletedOn)
VALUES
  (1, 'Addenda Sierra Morena',
   'Portal de proveedores de Edificaciones Sierra Morena del Centro',
   '2023-09-04 12:00:00', NULL);

INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
    AddendaDefinicionID, Referencia, Descripcion, ModuleTypeID, ListaSencilla,
    ClaveLista, CampoExistente, Orden)
VALUES
  (101, 1, 'SM_NumProveedor', 'Número de proveedor', 5, NULL, NULL, NULL, 1),
  (102, 1, 'SM_TipoProveedor', 'Tipo de proveedor', 1,
   'MAT=Materiales de construcción;SRV=Servicios;ARR=Arrendamiento de equipo',
   NULL, NULL, 2),
  (103, 1, 'SM_Comprador', 'Comprador asignado', 1, NULL, NULL, NULL, 3),
  (104, 1, 'SM_Obra', 'Obra', 2, NULL, NULL, NULL, 4),
  (105, 1, 'SM_OrdenCompra', 'Orden de compra', 2, NULL, NULL, 'OrdenCompra',
   5),
  (106, 1, 'SM_HojaEntrada', 'Hoja de entrada de almacén', 2, NULL, NULL,
   NULL, 6),
  (107, 1, 'SM_PartidaOC', 'Partida de la orden de compra', 4, NULL, NULL,
   NULL, 7),
  (108, 1, 'SM_CodigoMaterial', 'Código de material del cliente', 3, NULL,
   NULL, NULL, 8),
  (109, 1, 'SM_Familia', 'Familia de insumo', 3, NULL, 'SM_FamiliaInsumo',
   NULL, 9),
  (110, 1, 'SM_Frente', 'Frente de obra', 4, NULL, 'SM_FrenteObra', NULL, 10);

INSERT INTO orgAddendaValor (AddendaValorID, AddendaDefinicionItemID, ID,
    Valor)
VALUES
  -- The issuing company (1) and the customer (101).
  (101, 101, 1, 'PRV-0388'),
  (102, 102, 101, 'MAT'),
  (103, 103, 101, 'Araceli Domínguez Rivas'),
  -- Invoice A-1187.
  (104, 104, 1001, 'OB-2417 Residencial Los Arcos'),
  (105, 106, 1001, 'HE-24-03318'),
  -- Its lines: the purchase-order item each one fills, and the front of
  -- the building site its material goes to.
  (111, 107, 1, '10'), (112, 107, 2, '20'), (113, 107, 3, '30'),
  (114, 107, 4, '40'), (115, 107, 5, '50'), (116, 107, 6, '60'),
  (117, 107, 7, '70'), (118, 107, 8, '80'),
  (121, 110, 1, 'CIM'), (122, 110, 2, 'CIM'), (123, 110, 3, 'CIM'),
  (124, 110, 4, 'EST'), (125, 110, 5, 'ALB'), (126, 110, 6, 'EST'),
  (127, 110, 7, 'GEN'), (128, 110, 8, 'GEN'),
  -- The products: the builder's material code and family.
  (131, 108, 201, 'ACR-0038'), (132, 108, 202, 'CEM-0030'),
  (133, 108, 203, 'ACR-0116'), (134, 108, 204, 'FIJ-0212'),
  (135, 108, 205, 'MAM-1520'), (136, 108, 206, 'FIJ-1203'),
  (137, 108, 207, 'SEG-0024'), (138, 108, 208, 'HER-0005'),
  (141, 109, 201, '1'), (142, 109, 202, '2'), (143, 109, 203, '1'),
  (144, 109, 204, '3'), (145, 109, 205, '4'), (146, 109, 206, '3'),
  (147, 109, 207, '5'), (148, 109, 208, '6');

INSERT INTO engRefCombo (RefComboID, cboGroupName, ItemData, Custom1,
    ItemValue, SortOrder)
VALUES
  (1, 'SM_FamiliaInsumo', 1, NULL, 'Acero de refuerzo', 1),
  (2, 'SM_FamiliaInsumo', 2, NULL, 'Cementantes', 2),
  (3, 'SM_FamiliaInsumo', 3, NULL, 'Fijación y tornillería', 3),
  (4, 'SM_FamiliaInsumo', 4, NULL, 'Mampostería', 4),
  (5, 'SM_FamiliaInsumo', 5, NULL, 'Equipo de protección personal', 5),
  (6, 'SM_FamiliaInsumo', 6, NULL, 'Herramienta menor', 6),
  (11, 'SM_FrenteObra', 1, 'CIM', 'Cimentación', 1),
  (12, 'SM_FrenteObra', 2, 'EST', 'Estructura', 2),
  (13, 'SM_FrenteObra', 3, 'ALB', 'Albañilería', 3),
  (14, 'SM_FrenteObra', 4, 'GEN', 'Generales de obra', 4);

-- Carta Porte data -------------------------------------------------------
--
-- The company keeps the Carta Porte complement of its own transfers as
-- values of addenda definition 2, given to itself as a customer: the
-- document's data (module type 2, under the DocumentID, each Referencia
-- starting with "CartaPorte_") and the data of its vehicles and trailers
-- (module type 6, under vehicle 501 and trailer 601). A document names its
-- vehicle in CartaPorte_AutotransporteID and its trailer in
-- CartaPorte_RemolqueID; a template's type-6 reference reads the vehicle's
-- value, except SubTipoRem, the trailer's subtype. SAT catalogue keys carry
-- their text in a simple list: outside the detail block the engine shows
-- an engRefCombo code as it is stored.

INSERT INTO engAddendaDefinicion (AddendaDefinicionID, Nombre, Descripcion,
    CreatedOn, DeletedOn)
VALUES
  (2, 'Carta Porte 3.1', 'Complemento Carta Porte de los traslados propios',
   '2024-01-15 09:00:00', NULL);

INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
    AddendaDefinicionID, Referencia, Descripcion, ModuleTypeID, ListaSencilla,
    ClaveLista, CampoExistente, Orden)
VALUES
  (10, 2, 'CartaPorte_AutotransporteID', 'Vehículo', 2, NULL, NULL, NULL, 1),
  (11, 2, 'CartaPorte_RemolqueID', 'Remolque', 2, NULL, NULL, NULL, 2),
  (12, 2, 'CartaPorte_IdCCP', 'Identificador del complemento', 2, NULL,
   NULL, NULL, 3),
  (13, 2, 'CartaPorte_TranspInternac', 'Transporte internacional', 2, NULL,
   NULL, NULL, 4),
  (14, 2, 'CartaPorte_TotalDistRec', 'Distancia total recorrida (km)', 2,
   NULL, NULL, NULL, 5),
  (15, 2, 'CartaPorte_Origen', 'Ubicación de origen', 2, NULL, NULL, NULL, 6),
  (16, 2, 'CartaPorte_FechaHoraSalida', 'Fecha y hora de salida', 2, NULL,
   NULL, NULL, 7),
  (17, 2, 'CartaPorte_Destino', 'Ubicación de destino', 2, NULL, NULL, NULL,
   8),
  (18, 2, 'CartaPorte_FechaHoraLlegada', 'Fecha y hora de llegada', 2, NULL,
   NULL, NULL, 9),
  (19, 2, 'CartaPorte_Operador', 'Operador', 2, NULL, NULL, NULL, 10),
  (20, 2, 'CartaPorte_RFCOperador', 'RFC del operador', 2, NULL, NULL, NULL,
   11),
  (21, 2, 'CartaPorte_NumLicencia', 'Licencia federal', 2, NULL, NULL, NULL,
   12),
  (22, 2, 'CartaPorte_URLVerificacion',
   'URL de verificación del complemento (código QR)', 2, NULL, NULL, NULL,
   13),
  (30, 2, 'PermSCT', 'Tipo de permiso SCT', 6,
   'TPAF01=TPAF01 - Autotransporte federal de carga general;'
   || 'TPAF02=TPAF02 - Transporte privado de carga', NULL, NULL, 20),
  (31, 2, 'NumPermisoSCT', 'Número de permiso SCT', 6, NULL, NULL, NULL, 21),
  (32, 2, 'ConfigVehicular', 'Configuración vehicular', 6,
   'C2=C2 - Camión unitario de 2 ejes;C3=C3 - Camión unitario de 3 ejes;'
   || 'T3S2=T3S2 - Tractocamión de 3 ejes con semirremolque de 2 ejes',
   NULL, NULL, 22),
  (33, 2, 'PesoBrutoVehicular', 'Peso bruto vehicular (t)', 6, NULL, NULL,
   NULL, 23),
  (34, 2, 'PlacaVM', 'Placa', 6, NULL, NULL, NULL, 24),
  (35, 2, 'AnioModeloVM', 'Año del modelo', 6, NULL, NULL, NULL, 25),
  (36, 2, 'AseguraRespCivil', 'Aseguradora (responsabilidad civil)', 6, NULL,
   NULL, NULL, 26),
  (37, 2, 'PolizaRespCivil', 'Póliza (responsabilidad civil)', 6, NULL, NULL,
   NULL, 27),
  (38, 2, 'SubTipoRem', 'Subtipo de remolque', 6,
   'CTR004=CTR004 - Caja cerrada;CTR007=CTR007 - Caja seca;'
   || 'CTR021=CTR021 - Plataforma', NULL, NULL, 28);

INSERT INTO orgAddendaValor (AddendaValorID, AddendaDefinicionItemID, ID,
    Valor)
VALUES
  -- Transfer T-87.
  (10, 10, 1005, '501'),
  (11, 11, 1005, '601'),
  (12, 12, 1005, 'CCC9C45A-2C0D-4D1E-9602-22FBF88701FF'),
  (13, 13, 1005, 'No'),
  (14, 14, 1005, '152'),
  (15, 15, 1005, 'OR000001 - Almacén Celaya, Av. de las Industrias 1450, '
   || 'Parque Industrial Santa Fe, Celaya, Gto., C.P. 38020'),
  (16, 16, 1005, '16/05/2024 07:30'),
  (17, 17, 1005, 'DE000002 - Sucursal León, Blvd. de la Maquila 3120, '
   || 'Col. Industrial Delta, León, Gto., C.P. 37545'),
  (18, 18, 1005, '16/05/2024 10:15'),
  (19, 19, 1005, 'Rogelio Ibarra Quintanar'),
  (20, 20, 1005, 'IAQR850612H47'),
  (21, 21, 1005, 'GTO0481592'),
  -- What the Carta Porte's QR code holds: its IdCCP, the departure from
  -- the origin and the stamp of the CFDI, both as yyyy-mm-ddThh:nn:ss.
  (22, 22, 1005, 'https://verificacfdi.facturaelectronica.sat.gob.mx/'
   || 'verificaccp/default.aspx?IdCCP=CCC9C45A-2C0D-4D1E-9602-22FBF88701FF'
   || '&FechaOrig=2024-05-16T07:30:00&FechaTimb=2024-05-16T07:03:15'),
  -- Vehicle 501, a tractor.
  (30, 30, 501, 'TPAF01'),
  (31, 31, 501, '1104AHP150318'),
  (32, 32, 501, 'T3S2'),
  (33, 33, 501, '36.5'),
  (34, 34, 501, '71-AN-3K'),
  (35, 35, 501, '2019'),
  (36, 36, 501, 'Aseguradora Meseta Central'),
  (37, 37, 501, 'RC-4471-2024'),
  -- Trailer 601, a dry van.
  (40, 34, 601, '94-UJ-8C'),
  (41, 38, 601, 'CTR007');

-- Stored field references ---------------------------------------------------
--
-- What a template may name beyond the print view's columns and the document
-- tables, kept once for every template: per placeholder key a query, or a
-- ConcatRelated call (its arguments quoted and separated by ", "; a text
-- holding SELECT, Select or select is taken for a query). Before
-- a statement runs, {DOCUMENTID} becomes the row's ID and {BUSINESSENTITYID}
-- the document's customer; in a statement that names a bracketed
-- "[CartaPorte_...]" reference, the reference becomes the value the
-- document stores for it (here the trailer's identifier). A key whose row
-- has DeletedOn set is no longer looked up.

INSERT INTO engAddendaFieldRef (FieldRefID, FieldRefKey, SQL, Description,
    CreatedOn, DeletedOn)
VALUES
  (1, 'ReceptorRegimenFiscal',
   'SELECT RegimenFiscal FROM orgCustomer '
   || 'WHERE BusinessEntityID = {BUSINESSENTITYID} '
   || 'AND OwnedBusinessEntityID = (SELECT OwnedBusinessEntityID '
   || 'FROM docDocument WHERE DocumentID = {DOCUMENTID})',
   'Régimen fiscal del receptor', '2023-06-01 09:00:00', NULL),
  (2, 'ReceptorCodigoPostal',
   'SELECT CodigoPostal FROM orgCustomer '
   || 'WHERE BusinessEntityID = {BUSINESSENTITYID} '
   || 'AND OwnedBusinessEntityID = (SELECT OwnedBusinessEntityID '
   || 'FROM docDocument WHERE DocumentID = {DOCUMENTID})',
   'Código postal del domicilio fiscal del receptor', '2023-06-01 09:00:00',
   NULL),
  (3, 'ReceptorCorreo',
   'SELECT Email FROM orgCustomer '
   || 'WHERE BusinessEntityID = {BUSINESSENTITYID} '
   || 'AND OwnedBusinessEntityID = (SELECT OwnedBusinessEntityID '
   || 'FROM docDocument WHERE DocumentID = {DOCUMENTID})',
   'Correo del receptor', '2023-06-01 09:00:00', NULL),
  (4, 'UUIDRelacionados',
   'ConcatRelated("CFDIFolioFiscal", "docRel", "ID = {DOCUMENTID}", '
   || '"LineNumber")',
   'Folios fiscales de los CFDI relacionados, separados por comas',
   '2023-09-04 12:00:00', NULL),
  (5, 'PesoTotalKg',
   'SELECT SUM(Cantidad) FROM docDocumentItem WHERE DocumentID = {DOCUMENTID}',
   'Sumaba las cantidades, no los pesos', '2023-09-04 12:00:00',
   '2023-10-02 17:45:00'),
  (6, 'PesoTotalKg',
   'SELECT SUM(PesoEnKg) FROM docDocumentItem WHERE DocumentID = {DOCUMENTID}',
   'Peso de la mercancía del documento en kg', '2023-10-02 17:45:00', NULL),
  (7, 'CartaPorteNumTotalMercancias',
   'SELECT COUNT(*) FROM vwVADTransportMercancia WHERE ID = {DOCUMENTID}',
   'Número de mercancías del complemento Carta Porte',
   '2024-01-15 09:00:00', NULL),
  (8, 'CartaPortePesoBrutoTotal',
   'SELECT SUM(PesoEnKg) FROM vwVADTransportMercancia WHERE ID = {DOCUMENTID}',
   'Peso bruto total de las mercancías en kg', '2024-01-15 09:00:00', NULL),
  (9, 'PlacaRemolque',
   'SELECT orgAddendaValor.Valor FROM orgAddendaValor '
   || 'INNER JOIN engAddendaDefinicionItem '
   || 'ON engAddendaDefinicionItem.AddendaDefinicionItemID = '
   || 'orgAddendaValor.AddendaDefinicionItemID '
   || 'WHERE engAddendaDefinicionItem.Referencia = ''PlacaVM'' '
   || 'AND orgAddendaValor.ID = [CartaPorte_RemolqueID]',
   'Placa del remolque del traslado', '2024-01-15 09:00:00', NULL);

-- Print formats ------------------------------------------------------------

INSERT INTO engModulePrintFormat (PrintFormatID, ModuleID, FormatName,
    FileName, FormatIsDefault)
VALUES
  (1, 10, 'Factura CFDI 4.0', 'factura.html', 1),
  (2, 12, 'Traslado con complemento Carta Porte', 'traslado.html', 1),
  (3, 30, 'Recibo electrónico de pago 2.0', 'pago.html', 1);

-- What the demo prints ------------------------------------------------------
--
-- Not part of the host schema: the reports nerolin-report demo writes, in
-- this order, each from the statement the company's system opens to print
-- the document. The invoice and the transfer print from the print view
-- alone. The payment's ID is no DocumentID, so the engine cannot look its
-- data up by ID: its statement brings the receiver's fiscal data, the stamp
-- of its receipt, its totals and the retention complement of the documents
-- it pays.

CREATE TABLE demoReport (
  Position INTEGER PRIMARY KEY,
  Name TEXT NOT NULL,
  Description TEXT NOT NULL,
  SQL TEXT NOT NULL
);

INSERT INTO demoReport (Position, Name, Description, SQL) VALUES
  (1, 'factura-A-1187', 'Factura CFDI 4.0 con ocho conceptos', '
SELECT * FROM vwVADDocDocumentPrint WHERE ID = 1001 ORDER BY LineNumber'),
  (2, 'traslado-T-87', 'Traslado con complemento Carta Porte', '
SELECT * FROM vwVADDocDocumentPrint WHERE ID = 1005 ORDER BY LineNumber'),
  (3, 'pago-P-215', 'Recibo de pago con retención de IVA', '
SELECT vwVADDocFinancialOperationPrint.*,
  orgCustomer.RegimenFiscal AS ReceptorRegimenFiscal,
  orgCustomer.CodigoPostal AS ReceptorCodigoPostal,
  recibo.Serie AS Serie,
  recibo.Folio AS Folio,
  reciboCFD.Version AS Version,
  reciboCFD.LugarExpedicion AS LugarExpedicion,
  reciboCFD.NoCertificado AS NoCertificado,
  reciboCFD.NoCertificadoSAT AS NoCertificadoSAT,
  reciboCFD.FechaTimbrado AS FechaTimbrado,
  reciboCFD.SelloCFD AS SelloCFD,
  reciboCFD.SelloSAT AS SelloSAT,
  reciboCFD.CadenaOriginal AS CadenaOriginal,
  reciboCFD.CodigoQR AS CodigoQR,
  totales.BaseIVA16 AS PagoBaseIVA16,
  totales.IVATrasladado AS PagoIVATrasladado,
  totales.IVARetenido AS PagoIVARetenido,
  totales.ISRRetenido AS PagoISRRetenido,
  docDocumentExtra.RetentionComplementTypeID AS RetentionComplementTypeID,
  docDocumentExtra.CveRetenc AS CveRetenc,
  docDocumentExtra.DescRetenc AS DescRetenc,
  docDocumentExtra.MontoTotGrav AS MontoTotGrav,
  docDocumentExtra.MontoTotRet AS MontoTotRet
FROM vwVADDocFinancialOperationPrint
  LEFT JOIN orgCustomer
    ON orgCustomer.BusinessEntityID =
       vwVADDocFinancialOperationPrint.BusinessEntityID
   AND orgCustomer.OwnedBusinessEntityID =
       vwVADDocFinancialOperationPrint.OwnedBusinessEntityID
  LEFT JOIN docDocumentCFD AS reciboCFD
    ON reciboCFD.CFDIFolioFiscal =
       vwVADDocFinancialOperationPrint.CFDIFolioFiscal
  LEFT JOIN docDocument AS recibo
    ON recibo.DocumentID = reciboCFD.DocumentID
  LEFT JOIN (
    SELECT docDocumentPayment.FinancialOperationID AS ID,
      SUM(docDocument.SubTotal) AS BaseIVA16,
      SUM(docDocumentTaxSum.IVATrasladado) AS IVATrasladado,
      SUM(docDocumentTaxSum.IVARetenido) AS IVARetenido,
      SUM(docDocumentTaxSum.ISRRetenido) AS ISRRetenido
    FROM docDocumentPayment
      INNER JOIN docDocument
        ON docDocument.DocumentID = docDocumentPayment.DocumentID
      INNER JOIN docDocumentTaxSum
        ON docDocumentTaxSum.DocumentID = docDocumentPayment.DocumentID
    GROUP BY docDocumentPayment.FinancialOperationID
  ) AS totales ON totales.ID = vwVADDocFinancialOperationPrint.ID
  LEFT JOIN docDocumentExtra
    ON docDocumentExtra.DocumentID = vwVADDocFinancialOperationPrint.DocumentID
WHERE vwVADDocFinancialOperationPrint.ID = 7001
ORDER BY vwVADDocFinancialOperationPrint.LineNumber');
