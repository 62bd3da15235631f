-- Production tasks and their material lists: the head of the shop-floor chain and the
-- issued, scrapped and in-process quantities of its materials.

-- Production tasks (bill type 85): the head of the shop-floor chain. Quantities are held in the
-- task's unit (FAux...) and in the base unit; the base unit is FUnitID's coefficient times the
-- auxiliary quantity. FStatus 0 planned, 1 and 2 released (reports allowed), 3 closed.
CREATE TABLE ICMO (
  FInterID           int NOT NULL DEFAULT 0,
  FBillNo            varchar(255) NOT NULL DEFAULT '',
  FItemID            int NOT NULL DEFAULT 0,            -- the product
  FUnitID            int NOT NULL DEFAULT 0,            -- the task's unit: every roll-up uses it
  FAuxQty            decimal(28,10) NOT NULL DEFAULT 0, -- planned quantity
  FQty               decimal(28,10) NOT NULL DEFAULT 0,
  FStatus            int NOT NULL DEFAULT 0,
  FStartFlag         int NOT NULL DEFAULT 0,            -- 1 once the first report arrived
  FSuspend           int NOT NULL DEFAULT 0,
  FCancellation      int NOT NULL DEFAULT 0,
  FClosed            int NOT NULL DEFAULT 0,
  FMrpClosed         int NOT NULL DEFAULT 0,
  FHandworkClose     int NOT NULL DEFAULT 0,            -- 1 = closed by hand
  FCheckerID         int NULL,                          -- Null while not closed by the rules
  FCloseDate         datetime NULL,
  FPlanCommitDate    datetime NULL,
  FStartDate         datetime NULL,
  FFinishDate        datetime NULL,
  FWorkShop          int NOT NULL DEFAULT 0,            -- T_Department
  FMTONO             varchar(255) NOT NULL DEFAULT '',  -- order-tracking number
  FPlanMode          int NOT NULL DEFAULT 14036,        -- 14035 or 14036
  FStockFlag         int NOT NULL DEFAULT 14215,        -- issued: 14215 none ... 14218 over
  FAuxQtyFinish      decimal(28,10) NOT NULL DEFAULT 0, -- finished
  FQtyFinish         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPass        decimal(28,10) NOT NULL DEFAULT 0, -- passed
  FQtyPass           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyBack        decimal(28,10) NOT NULL DEFAULT 0, -- returned
  FQtyBack           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyLost        decimal(28,10) NOT NULL DEFAULT 0, -- lost
  FQtyLost           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap       decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for work
  FQtyScrap          decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem     decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for material
  FQtyForItem        decimal(28,10) NOT NULL DEFAULT 0,
  FAuxStockQty       decimal(28,10) NOT NULL DEFAULT 0, -- received into stock
  FStockQty          decimal(28,10) NOT NULL DEFAULT 0,
  FAuxInHighLimitQty decimal(28,10) NOT NULL DEFAULT 0, -- receipt upper limit
  FAuxInLowLimitQty  decimal(28,10) NOT NULL DEFAULT 0, -- receipt lower limit (close)
  FFinishTime        decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FReadyTime         decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FFixTime           decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FPowerCutTime      decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FWaitItemTime      decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FWaitToolTime      decimal(28,10) NOT NULL DEFAULT 0, -- hours
  FHRReadyTime       decimal(28,10) NOT NULL DEFAULT 0, -- hours of preparation booked by reports
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICMO_FItemID ON ICMO (FItemID)

-- Material lists of production tasks (headers); a task normally has one.
CREATE TABLE PPBOM (
  FInterID     int NOT NULL DEFAULT 0,
  FBillNo      varchar(255) NOT NULL DEFAULT '',
  FICMOInterID int NOT NULL DEFAULT 0,
  FItemID      int NOT NULL DEFAULT 0,
  FStatus      int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_PPBOM_FICMOInterID ON PPBOM (FICMOInterID)

-- Material lines of production tasks: required, issued, scrapped, in process and transferred
-- quantities. FQtyScrap/FAuxQtyScrap is the standard usage per unit of product.
CREATE TABLE PPBOMEntry (
  FInterID         int NOT NULL DEFAULT 0,            -- PPBOM
  FEntryID         int NOT NULL DEFAULT 0,
  FICMOInterID     int NOT NULL DEFAULT 0,
  FOrderEntryID    int NOT NULL DEFAULT 0,            -- 0 for a production task's own lines
  FItemID          int NOT NULL DEFAULT 0,            -- the material
  FUnitID          int NOT NULL DEFAULT 0,
  -- 371 material, 372-374 products, 376 returned
  FMaterielType    int NOT NULL DEFAULT 371,
  FBackFlush       int NOT NULL DEFAULT 1059,         -- yes/no: issued by backflush
  FOperID          int NOT NULL DEFAULT 0,
  FOperSN          int NOT NULL DEFAULT 0,
  FStockID         int NOT NULL DEFAULT 0,
  FSPID            int NOT NULL DEFAULT 0,
  FAuxQtyMust      decimal(28,10) NOT NULL DEFAULT 0, -- required
  FQtyMust         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap     decimal(28,10) NOT NULL DEFAULT 0, -- usage per unit of product
  FQtyScrap        decimal(28,10) NOT NULL DEFAULT 0,
  FAuxStockQty     decimal(28,10) NOT NULL DEFAULT 0, -- issued
  FStockQty        decimal(28,10) NOT NULL DEFAULT 0,
  FWIPAuxQty       decimal(28,10) NOT NULL DEFAULT 0, -- in process
  FWIPQty          decimal(28,10) NOT NULL DEFAULT 0,
  FDiscardAuxQty   decimal(28,10) NOT NULL DEFAULT 0, -- scrapped
  FDisCardQty      decimal(28,10) NOT NULL DEFAULT 0,
  FTransLateAuxQty decimal(28,10) NOT NULL DEFAULT 0, -- transferred away
  FTransLateQty    decimal(28,10) NOT NULL DEFAULT 0,
  FQtySupply       decimal(28,10) NOT NULL DEFAULT 0, -- supplied beyond the requirement
  FSelDisCardQty   decimal(28,10) NOT NULL DEFAULT 0, -- selected for scrapping
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_PPBOMEntry_FICMOInterID ON PPBOMEntry (FICMOInterID, FEntryID)
CREATE INDEX IX_PPBOMEntry_FItemID ON PPBOMEntry (FItemID)
