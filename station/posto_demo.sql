-- A demo station: two concentrator slaves with four pumps each, two nozzles
-- per pump, four tanks with their products and prices.

INSERT INTO tanques (codtanque, codprod, descricao) VALUES ('01-01', '000001', 'TANQUE 1 - GASOLINA COMUM');
INSERT INTO tanques (codtanque, codprod, descricao) VALUES ('01-02', '000002', 'TANQUE 2 - GASOLINA ADITIVADA');
INSERT INTO tanques (codtanque, codprod, descricao) VALUES ('01-03', '000003', 'TANQUE 3 - ETANOL');
INSERT INTO tanques (codtanque, codprod, descricao) VALUES ('01-04', '000004', 'TANQUE 4 - DIESEL S10');

INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('01-01', '001', '01-01', 'GASOLINA COMUM', 5.799, 'L', '010101');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('01-02', '001', '01-03', 'ETANOL', 3.899, 'L', '010102');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('02-01', '001', '01-01', 'GASOLINA COMUM', 5.799, 'L', '010201');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('02-02', '001', '01-03', 'ETANOL', 3.899, 'L', '010202');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('03-01', '001', '01-01', 'GASOLINA COMUM', 5.799, 'L', '010301');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('03-02', '001', '01-03', 'ETANOL', 3.899, 'L', '010302');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('04-01', '001', '01-01', 'GASOLINA COMUM', 5.799, 'L', '010401');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('04-02', '001', '01-03', 'ETANOL', 3.899, 'L', '010402');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('05-01', '001', '01-02', 'GASOLINA ADITIVADA', 5.999, 'L', '020101');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('05-02', '001', '01-04', 'DIESEL S10', 6.099, 'L', '020102');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('06-01', '001', '01-02', 'GASOLINA ADITIVADA', 5.999, 'L', '020201');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('06-02', '001', '01-04', 'DIESEL S10', 6.099, 'L', '020202');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('07-01', '001', '01-02', 'GASOLINA ADITIVADA', 5.999, 'L', '020301');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('07-02', '001', '01-04', 'DIESEL S10', 6.099, 'L', '020302');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('08-01', '001', '01-02', 'GASOLINA ADITIVADA', 5.999, 'L', '020401');
INSERT INTO bombas (codbico, codempresa, codtanque, descricao, precovenda, statusbico, codconcentrador) VALUES ('08-02', '001', '01-04', 'DIESEL S10', 6.099, 'L', '020402');

INSERT INTO paraposto (sequenciaabast) VALUES (1);
