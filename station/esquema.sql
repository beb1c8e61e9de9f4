-- The tables of the station database that the connector uses, with the
-- types that make its statements run. A station's own database has these
-- tables already (and many more); this script makes a new one.

CREATE TABLE tanques (
    codtanque   VARCHAR(10) NOT NULL,
    codprod     VARCHAR(10),
    descricao   VARCHAR(40),
    CONSTRAINT pk_tanques PRIMARY KEY (codtanque)
);

-- One row per nozzle. codconcentrador is the nozzle's address on its
-- concentrator: slave, pump and nozzle in two digits each ("010203").
CREATE TABLE bombas (
    codbico         VARCHAR(10),
    codempresa      VARCHAR(10),
    codtanque       VARCHAR(10),
    descricao       VARCHAR(40),
    precovenda      NUMERIC(15,3),
    statusbico      VARCHAR(1),
    codconcentrador VARCHAR(10)
);

CREATE INDEX idx_bombas_codconcentrador ON bombas (codconcentrador);
CREATE INDEX idx_bombas_codbico ON bombas (codbico);

-- The fuelings, as the point-of-sale programs take them.
CREATE TABLE mvabast (
    data            DATE,
    hora            TIME,
    codbico         VARCHAR(10),
    combustivel     VARCHAR(40),
    litragem        NUMERIC(15,3),
    valor           NUMERIC(15,2),
    codprod         VARCHAR(10),
    codgrade        VARCHAR(10),
    codfid          VARCHAR(20),
    precounit       NUMERIC(15,3),
    desconto        NUMERIC(15,2),
    emitido         VARCHAR(1),
    id              INTEGER,
    sequencia       INTEGER,
    encerrantefinal NUMERIC(18,3)
);

CREATE INDEX idx_mvabast_data ON mvabast (data);

-- The station's parameters; the connector uses the fueling sequence.
CREATE TABLE paraposto (
    sequenciaabast  INTEGER
);
