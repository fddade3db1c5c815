-- Schema of the print component's tables on SQLite.
--
-- Each object starts with a line "-- @KIND NAME [demo]"; `printctl db init` creates the objects
-- that are missing (and the columns missing from existing tables, and replaces triggers whose
-- text differs from the one here), `printctl db check` lists them. One column per line in
-- CREATE TABLE, so that a missing column can be added alone.
-- Objects marked "demo" belong to the demo host and are created only with --demo.

-- @table T_BILLMAIN
CREATE TABLE T_BILLMAIN (
    billid VARCHAR(10) NOT NULL,
    billname VARCHAR(60) NOT NULL,
    billstatus VARCHAR(1) NOT NULL DEFAULT 'Y',
    PRIMARY KEY (billid)
);

-- @table T_SUPPLYBALANCE
CREATE TABLE T_SUPPLYBALANCE (
    seqno VARCHAR(20) NOT NULL,
    djlb VARCHAR(2),
    PRIMARY KEY (seqno)
);

-- @table t_Privatepara
CREATE TABLE t_Privatepara (
    code VARCHAR(10) NOT NULL,
    value VARCHAR(400),
    PRIMARY KEY (code)
);

-- @table T_RPT_MODONE
CREATE TABLE T_RPT_MODONE (
    rtdocname VARCHAR(200) NOT NULL,
    rtname VARCHAR(100) NOT NULL,
    rtoperid VARCHAR(20) NOT NULL,
    rtflag VARCHAR(1) NOT NULL DEFAULT '0' CHECK (rtflag IN ('0', '1')),
    rtdefault VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (rtdefault IN ('Y', 'N')),
    rtdwname VARCHAR(100),
    rtdwcurname VARCHAR(100),
    rtoperdate TIMESTAMP,
    rtmdata BLOB,
    PRIMARY KEY (rtdocname, rtname, rtoperid)
);

-- @table T_RPT_MODTWO
CREATE TABLE T_RPT_MODTWO (
    rtdocname VARCHAR(200) NOT NULL,
    rtname VARCHAR(100) NOT NULL,
    rtoperid VARCHAR(20) NOT NULL,
    rtcdata BLOB,
    PRIMARY KEY (rtdocname, rtname, rtoperid)
);

-- @trigger TR_RPT_MODONE_NEW
-- The component never inserts into T_RPT_MODTWO; its row comes and goes with T_RPT_MODONE's.
-- A new template starts without syntax, even where a second row was left behind.
CREATE TRIGGER TR_RPT_MODONE_NEW BEFORE INSERT ON T_RPT_MODONE
WHEN NOT EXISTS (SELECT 1 FROM T_RPT_MODONE WHERE rtdocname = NEW.rtdocname
                 AND rtname = NEW.rtname AND rtoperid = NEW.rtoperid)
BEGIN
    DELETE FROM T_RPT_MODTWO
    WHERE rtdocname = NEW.rtdocname AND rtname = NEW.rtname AND rtoperid = NEW.rtoperid;
END;

-- @trigger TR_RPT_MODONE_INSERT
-- INSERT OR REPLACE on T_RPT_MODONE replaces its row and keeps the syntax, as an upsert does on
-- PostgreSQL. No conflict may arise in here: the INSERT's OR REPLACE would apply to it too and
-- put an empty row in place of the syntax.
CREATE TRIGGER TR_RPT_MODONE_INSERT AFTER INSERT ON T_RPT_MODONE
BEGIN
    INSERT INTO T_RPT_MODTWO (rtdocname, rtname, rtoperid, rtcdata)
    SELECT NEW.rtdocname, NEW.rtname, NEW.rtoperid, NULL
    WHERE NOT EXISTS (SELECT 1 FROM T_RPT_MODTWO WHERE rtdocname = NEW.rtdocname
                      AND rtname = NEW.rtname AND rtoperid = NEW.rtoperid);
END;

-- @trigger TR_RPT_MODONE_DELETE
CREATE TRIGGER TR_RPT_MODONE_DELETE AFTER DELETE ON T_RPT_MODONE
BEGIN
    DELETE FROM T_RPT_MODTWO
    WHERE rtdocname = OLD.rtdocname AND rtname = OLD.rtname AND rtoperid = OLD.rtoperid;
END;

-- @trigger TR_RPT_MODONE_RENAME
CREATE TRIGGER TR_RPT_MODONE_RENAME AFTER UPDATE OF rtdocname, rtname, rtoperid ON T_RPT_MODONE
BEGIN
    UPDATE T_RPT_MODTWO
    SET rtdocname = NEW.rtdocname, rtname = NEW.rtname, rtoperid = NEW.rtoperid
    WHERE rtdocname = OLD.rtdocname AND rtname = OLD.rtname AND rtoperid = OLD.rtoperid;
END;

-- @view VIEW_REPORT_MOD
CREATE VIEW VIEW_REPORT_MOD AS
SELECT a.rtdocname, a.rtname, a.rtoperid, a.rtflag, a.rtdefault, a.rtdwname, a.rtdwcurname,
       a.rtoperdate
FROM T_RPT_MODONE a
LEFT JOIN T_RPT_MODTWO b
    ON b.rtdocname = a.rtdocname AND b.rtname = a.rtname AND b.rtoperid = a.rtoperid;

-- @table T_GOODSPRINT1
CREATE TABLE T_GOODSPRINT1 (
    bpbid VARCHAR(10) NOT NULL,
    bpname VARCHAR(100) NOT NULL,
    bpdate TIMESTAMP,
    bpdefault VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (bpdefault IN ('Y', 'N')),
    bpdwname VARCHAR(100),
    bpoperid VARCHAR(20),
    bpmaindw BLOB,
    PRIMARY KEY (bpbid, bpname)
);

-- @table T_GOODSPRINT2
CREATE TABLE T_GOODSPRINT2 (
    bpbid VARCHAR(10) NOT NULL,
    bpname VARCHAR(100) NOT NULL,
    bpdetaildw BLOB,
    PRIMARY KEY (bpbid, bpname)
);

-- @trigger TR_GOODSPRINT1_NEW
CREATE TRIGGER TR_GOODSPRINT1_NEW BEFORE INSERT ON T_GOODSPRINT1
WHEN NOT EXISTS (SELECT 1 FROM T_GOODSPRINT1 WHERE bpbid = NEW.bpbid AND bpname = NEW.bpname)
BEGIN
    DELETE FROM T_GOODSPRINT2 WHERE bpbid = NEW.bpbid AND bpname = NEW.bpname;
END;

-- @trigger TR_GOODSPRINT1_INSERT
CREATE TRIGGER TR_GOODSPRINT1_INSERT AFTER INSERT ON T_GOODSPRINT1
BEGIN
    INSERT INTO T_GOODSPRINT2 (bpbid, bpname, bpdetaildw)
    SELECT NEW.bpbid, NEW.bpname, NULL
    WHERE NOT EXISTS (SELECT 1 FROM T_GOODSPRINT2 WHERE bpbid = NEW.bpbid
                      AND bpname = NEW.bpname);
END;

-- @trigger TR_GOODSPRINT1_DELETE
CREATE TRIGGER TR_GOODSPRINT1_DELETE AFTER DELETE ON T_GOODSPRINT1
BEGIN
    DELETE FROM T_GOODSPRINT2 WHERE bpbid = OLD.bpbid AND bpname = OLD.bpname;
END;

-- @trigger TR_GOODSPRINT1_RENAME
CREATE TRIGGER TR_GOODSPRINT1_RENAME AFTER UPDATE OF bpbid, bpname ON T_GOODSPRINT1
BEGIN
    UPDATE T_GOODSPRINT2 SET bpbid = NEW.bpbid, bpname = NEW.bpname
    WHERE bpbid = OLD.bpbid AND bpname = OLD.bpname;
END;

-- @view VIEW_GOODS_PRINT
CREATE VIEW VIEW_GOODS_PRINT AS
SELECT a.bpbid, a.bpname, a.bpdefault, a.bpoperid, a.bpdwname, a.bpdate
FROM T_GOODSPRINT1 a
LEFT JOIN T_GOODSPRINT2 b ON b.bpbid = a.bpbid AND b.bpname = a.bpname;

-- @table T_DEMO_STORE demo
CREATE TABLE T_DEMO_STORE (
    storeid VARCHAR(6) NOT NULL,
    storeno INTEGER NOT NULL,
    storename VARCHAR(60) NOT NULL,
    address VARCHAR(120),
    phone VARCHAR(30),
    PRIMARY KEY (storeid)
);

-- @table T_DEMO_SUPPLIER demo
CREATE TABLE T_DEMO_SUPPLIER (
    supid VARCHAR(8) NOT NULL,
    supname VARCHAR(80) NOT NULL,
    address VARCHAR(120),
    phone VARCHAR(30),
    bank VARCHAR(60),
    account VARCHAR(30),
    taxno VARCHAR(30),
    PRIMARY KEY (supid)
);

-- @table T_DEMO_GOODS demo
CREATE TABLE T_DEMO_GOODS (
    goodsid VARCHAR(8) NOT NULL,
    goodsno INTEGER NOT NULL,
    barcode VARCHAR(13),
    goodsname VARCHAR(60) NOT NULL,
    guige VARCHAR(30),
    unit VARCHAR(8),
    category VARCHAR(20),
    supid VARCHAR(8),
    inprice NUMERIC(12, 2),
    saleprice NUMERIC(12, 2),
    taxrate NUMERIC(5, 2),
    PRIMARY KEY (goodsid)
);

-- @table T_DEMO_BILLHEAD demo
CREATE TABLE T_DEMO_BILLHEAD (
    billid VARCHAR(10) NOT NULL,
    billno VARCHAR(20) NOT NULL,
    billdate DATE,
    storeid VARCHAR(6),
    supid VARCHAR(8),
    seqno VARCHAR(20),
    operid VARCHAR(10),
    opername VARCHAR(20),
    checker VARCHAR(20),
    xdrq DATE,
    jhrq DATE,
    begindate DATE,
    enddate DATE,
    memo VARCHAR(200),
    PRIMARY KEY (billid, billno)
);

-- @table T_DEMO_BILLDETAIL demo
CREATE TABLE T_DEMO_BILLDETAIL (
    billid VARCHAR(10) NOT NULL,
    billno VARCHAR(20) NOT NULL,
    rowno INTEGER NOT NULL,
    goodsid VARCHAR(8),
    qty NUMERIC(12, 3),
    price NUMERIC(12, 2),
    amount NUMERIC(14, 2),
    gift VARCHAR(1) NOT NULL DEFAULT 'N',
    remark VARCHAR(100),
    PRIMARY KEY (billid, billno, gift, rowno)
);

-- @table T_DEMO_SETTLEDETAIL demo
CREATE TABLE T_DEMO_SETTLEDETAIL (
    billid VARCHAR(10) NOT NULL,
    billno VARCHAR(20) NOT NULL,
    rowno INTEGER NOT NULL,
    refno VARCHAR(20),
    refkind VARCHAR(20),
    refdate DATE,
    storeid VARCHAR(6),
    hspsje NUMERIC(14, 2),
    taxje NUMERIC(14, 2),
    PRIMARY KEY (billid, billno, rowno)
);

-- @table T_DEMO_CHARGE demo
CREATE TABLE T_DEMO_CHARGE (
    billid VARCHAR(10) NOT NULL,
    billno VARCHAR(20) NOT NULL,
    rowno INTEGER NOT NULL,
    chargecode VARCHAR(6),
    chargename VARCHAR(40),
    amount NUMERIC(14, 2),
    memo VARCHAR(100),
    PRIMARY KEY (billid, billno, rowno)
);

-- @table T_DEMO_SALE demo
CREATE TABLE T_DEMO_SALE (
    saleid INTEGER NOT NULL,
    saledate DATE NOT NULL,
    storeid VARCHAR(6) NOT NULL,
    goodsid VARCHAR(8) NOT NULL,
    qty NUMERIC(12, 3),
    amount NUMERIC(14, 2),
    cost NUMERIC(14, 2),
    PRIMARY KEY (saleid)
);

-- @index IX_DEMO_SALE_DATE demo
CREATE INDEX IX_DEMO_SALE_DATE ON T_DEMO_SALE (saledate, storeid);
