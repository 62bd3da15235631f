-- Reports that flow back up the chain: operation reports, flow card lines and production task
-- reports.

-- Operation reports (bill type 582), headers: the work reported on one operation of a task dispatch
-- entry. FStatus >= 0 counts in the totals; a report with a checker is checked. Statements join it
-- with SHWorkBillEntry reading FWorkBillNo, FAuxQtyPass and FAuxQtyHandOverSel unqualified, and
-- with SHProcRpt reading FOperMoveNo unqualified: keep those names out of the other table.
CREATE TABLE SHProcRptMain (
  FInterID        int NOT NULL DEFAULT 0,
  FBillNo         varchar(255) NOT NULL DEFAULT '',
  FDate           datetime NULL,
  FICMOInterID    int NOT NULL DEFAULT 0,
  FWBInterID      int NOT NULL DEFAULT 0,
  FTaskDispBillID int NOT NULL DEFAULT 0,           -- the task dispatch entry (FTaskDispInterID)
  FQualityChkID   int NOT NULL DEFAULT 352,         -- 352: passed and scrapped quantities flow up
  FOperMoveNo     varchar(255) NOT NULL DEFAULT '', -- move number
  FStatus         int NOT NULL DEFAULT 0,
  FCancellation   int NOT NULL DEFAULT 0,
  FAutoOF         int NOT NULL DEFAULT 1059,        -- yes/no: shifted on automatically
  FBillerID       int NOT NULL DEFAULT 0,
  FCheckerID      int NULL,
  FCheckDate      datetime NULL,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_SHProcRptMain_FWBInterID ON SHProcRptMain (FWBInterID)
CREATE INDEX IX_SHProcRptMain_FTaskDispBillID ON SHProcRptMain (FTaskDispBillID)
CREATE INDEX IX_SHProcRptMain_FICMOInterID ON SHProcRptMain (FICMOInterID)

-- Operation report lines. Base-unit twins are kept by prc_SHUpdateBillDoubleQty 582; under shop
-- conversion management (code 5821) and on flow cards (2520) also the operation-unit quantities
-- FOperAux... = auxiliary x FConversion x the coefficient of FUnitID. The line repeats the task and
-- quality mode of its header: statements joining both tables qualify those two columns.
CREATE TABLE SHProcRpt (
  FInterID               int NOT NULL DEFAULT 0,            -- SHProcRptMain
  FEntryID               int NOT NULL DEFAULT 0,
  FICMOInterID           int NOT NULL DEFAULT 0,
  FQualityChkID          int NOT NULL DEFAULT 352,
  FStatus                int NOT NULL DEFAULT 0,
  FUnitID                int NOT NULL DEFAULT 0,            -- the operation unit (t_MeasureUnit)
  FConversion            decimal(28,10) NOT NULL DEFAULT 1, -- operation units per base unit
  FFlowCardInterID       int NOT NULL DEFAULT 0,            -- ICShop_FlowCardEntry.FID
  FFlowCardEntryID       int NOT NULL DEFAULT 0,
  FStartWorkDate         datetime NULL,
  FEndWorkDate           datetime NULL,
  FAuxQtyFinish          decimal(28,10) NOT NULL DEFAULT 0, -- finished
  FQtyFinish             decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPass            decimal(28,10) NOT NULL DEFAULT 0, -- passed
  FQtyPass               decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap           decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for work
  FQtyScrap              decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem         decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for material
  FQtyForItem            decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedQty     decimal(28,10) NOT NULL DEFAULT 0, -- sent to reprocessing
  FReprocessedQty        decimal(28,10) NOT NULL DEFAULT 0,
  FOperAuxQtyPass        decimal(28,10) NOT NULL DEFAULT 0, -- in the operation unit
  FOperAuxQtyScrap       decimal(28,10) NOT NULL DEFAULT 0,
  FOperAuxQtyForItem     decimal(28,10) NOT NULL DEFAULT 0,
  FOperAuxReprocessedQty decimal(28,10) NOT NULL DEFAULT 0,
  FTimeUnit              int NOT NULL DEFAULT 11082,        -- 11081 minutes, 11083 days, else hours
  FFinishTime            decimal(28,10) NOT NULL DEFAULT 0,
  FReadyTime             decimal(28,10) NOT NULL DEFAULT 0,
  FFixTime               decimal(28,10) NOT NULL DEFAULT 0,
  FHRReadyTime           decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_SHProcRpt_FFlowCardInterID ON SHProcRpt (FFlowCardInterID, FFlowCardEntryID)

-- Flow card lines. Each quantity has a twin in the operation unit (..Coefficient = quantity x
-- FConversion x the coefficient of FUnitID), written by the rules with the quantity.
CREATE TABLE ICShop_FlowCardEntry (
  FID                           int NOT NULL DEFAULT 0,            -- the flow card
  FEntryID                      int NOT NULL DEFAULT 0,
  FUnitID                       int NOT NULL DEFAULT 0,
  FConversion                   decimal(28,10) NOT NULL DEFAULT 1,
  FAuxQtyPass                   decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPassCoefficient        decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap                  decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrapCoefficient       decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem                decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItemCoefficient     decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedQty            decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedQtyCoefficient decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FID, FEntryID)
)

-- Production task reports (bill type 551), headers. FStatus 1 checked, 0 not.
CREATE TABLE ICMORpt (
  FInterID      int NOT NULL DEFAULT 0,
  FBillNo       varchar(255) NOT NULL DEFAULT '',
  FDate         datetime NULL,
  FStatus       int NOT NULL DEFAULT 0,
  FCancellation int NOT NULL DEFAULT 0,
  FBillerID     int NOT NULL DEFAULT 0,
  FCheckerID    int NULL,
  FCheckDate    datetime NULL,
  PRIMARY KEY (FInterID)
)

-- Production task report lines, each against one task (FSourceInterID). FICMORptInterID is the
-- line's own id, 0 until the save numbers it from ICMaxNum 'IcmoRpt' (Null when that counter is
-- missing). FB... times are the F... times in hours.
CREATE TABLE ICMORptEntry (
  FInterID         int NOT NULL DEFAULT 0,            -- ICMORpt
  FEntryID         int NOT NULL DEFAULT 0,
  FICMORptInterID  int NULL DEFAULT 0,
  FSourceTranType  int NOT NULL DEFAULT 85,           -- 85 production task
  FSourceInterID   int NOT NULL DEFAULT 0,            -- the production task
  FItemID          int NOT NULL DEFAULT 0,
  FUnitID          int NOT NULL DEFAULT 0,
  FWorkStartDate   datetime NULL,
  FWorkEndDate     datetime NULL,
  FAuxQtyFinish    decimal(28,10) NOT NULL DEFAULT 0, -- finished
  FQtyFinish       decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPass      decimal(28,10) NOT NULL DEFAULT 0, -- passed
  FQtyPass         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap     decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for work
  FQtyScrap        decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem   decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for material
  FQtyForItem      decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyLoss      decimal(28,10) NOT NULL DEFAULT 0, -- lost
  FQtyLoss         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyStock     decimal(28,10) NOT NULL DEFAULT 0, -- received into stock from this line
  FQtyStock        decimal(28,10) NOT NULL DEFAULT 0,
  FTimeUnitID      int NOT NULL DEFAULT 11082,        -- 11081 minutes, 11083 days, else hours
  FTimeHrWork      decimal(28,10) NOT NULL DEFAULT 0,
  FTimeEngPrepare  decimal(28,10) NOT NULL DEFAULT 0,
  FTimeEngWork     decimal(28,10) NOT NULL DEFAULT 0,
  FBTimeHrWork     decimal(28,10) NOT NULL DEFAULT 0,
  FBTimeEngPrepare decimal(28,10) NOT NULL DEFAULT 0,
  FBTimeEngWork    decimal(28,10) NOT NULL DEFAULT 0,
  FHRReadyTime     decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICMORptEntry_FSourceInterID ON ICMORptEntry (FSourceInterID)
CREATE INDEX IX_ICMORptEntry_FICMORptInterID ON ICMORptEntry (FICMORptInterID)
