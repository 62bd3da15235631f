-- Sales and planning bills: sales orders, PP (forecast) orders, MRP runs, planned orders and
-- subcontract order lines.

-- Sales orders. FChildren counts the planned orders derived from the order.
CREATE TABLE SEOrder (
  FInterID  int NOT NULL DEFAULT 0,
  FBillNo   varchar(255) NOT NULL DEFAULT '',
  FDate     datetime NULL,
  FChildren int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)

-- Sales order lines; FSourceTranType 87 names the PP order they were derived from.
CREATE TABLE SEOrderEntry (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterID  int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_SEOrderEntry_FSourceInterID ON SEOrderEntry (FSourceInterID)

-- PP (forecast) orders, bill type 87.
CREATE TABLE PPOrder (
  FInterID int NOT NULL DEFAULT 0,
  FBillNo  varchar(255) NOT NULL DEFAULT '',
  FDate    datetime NULL,
  FStatus  int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)

-- PP order lines. FOrderClosed 1 = closed for business.
CREATE TABLE PPOrderEntry (
  FInterID     int NOT NULL DEFAULT 0,
  FEntryID     int NOT NULL DEFAULT 0,
  FItemID      int NOT NULL DEFAULT 0,
  FQty         decimal(28,10) NOT NULL DEFAULT 0,
  FNeedDate    datetime NULL,
  FOrderClosed int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)

-- MRP runs; FType is the kind of run (0, 1 or 4).
CREATE TABLE ICMRPInfo (
  FInterID int NOT NULL DEFAULT 0,
  FType    int NOT NULL DEFAULT 0,
  FDate    datetime NULL,
  PRIMARY KEY (FInterID)
)
-- A planned order entered by hand joins the latest run of its kind: MAX(FInterID) by FType.
CREATE INDEX IX_ICMRPInfo_FType ON ICMRPInfo (FType, FInterID)

-- Planned orders. A planned order bill is the set of rows sharing one FInterID; FEntryID numbers
-- the rows of a bill. Quantities are held in the use unit (FAux..., FUseUnitID) and in the item's
-- unit. Triggers keep SEOrder.FChildren in step (30_triggers.sql).
CREATE TABLE ICMRPResult (
  FInterID          int NOT NULL DEFAULT 0,            -- the planned order bill
  FEntryID          int NOT NULL DEFAULT 0,
  FBillNo           varchar(255) NOT NULL DEFAULT '',  -- the planned order's number
  FPlanOrderNo      varchar(255) NOT NULL DEFAULT '',
  FPlanOrderInterID int NOT NULL DEFAULT 0,
  FItemID           int NOT NULL DEFAULT 0,
  FUnitID           int NOT NULL DEFAULT 0,            -- the item's unit
  FUseUnitID        int NOT NULL DEFAULT 0,            -- the unit of the FAux... quantities
  FAuxPlanQty       decimal(28,10) NOT NULL DEFAULT 0,
  FPlanQty          decimal(28,10) NOT NULL DEFAULT 0,
  FAuxPutInQty      decimal(28,10) NOT NULL DEFAULT 0,
  FPutInQty         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxNoBatchQty    decimal(28,10) NOT NULL DEFAULT 0,
  FNoBatchQty       decimal(28,10) NOT NULL DEFAULT 0,
  FAuxNeedQty       decimal(28,10) NOT NULL DEFAULT 0,
  FNeedQty          decimal(28,10) NOT NULL DEFAULT 0,
  FAuxHaveOrderQty  decimal(28,10) NOT NULL DEFAULT 0,
  FHaveOrderQty     decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReleasedQty   decimal(28,10) NOT NULL DEFAULT 0,
  FReleasedQty      decimal(28,10) NOT NULL DEFAULT 0,
  FOrgSaleInterID   int NOT NULL DEFAULT 0,            -- the sales order the row stems from; 0 none
  FRunID            int NOT NULL DEFAULT 0,            -- ICMRPInfo
  FType             int NOT NULL DEFAULT 0,
  FCloseType        int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICMRPResult_FOrgSaleInterID ON ICMRPResult (FOrgSaleInterID)

-- Subcontract order lines, for which components are sent out like for a production task.
CREATE TABLE ICSubContractEntry (
  FInterID   int NOT NULL DEFAULT 0,
  FEntryID   int NOT NULL DEFAULT 0,
  FItemID    int NOT NULL DEFAULT 0,
  FUnitID    int NOT NULL DEFAULT 0,
  FAuxQty    decimal(28,10) NOT NULL DEFAULT 0,
  FQty       decimal(28,10) NOT NULL DEFAULT 0,
  FFetchDate datetime NULL,
  FMTONO     varchar(255) NOT NULL DEFAULT '',
  FPlanMode  int NOT NULL DEFAULT 14036,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICSubContractEntry_FItemID ON ICSubContractEntry (FItemID)
