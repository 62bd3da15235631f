-- The planning and moving bills of the shop floor: operation plan (work) bills, task dispatch
-- bills, operation shift bills and the move-number ledger.

-- Operation plan bills (work bills, bill type 52): one per production task and kind. FBillType
-- 11620 ordinary (also when Null), 11621 rework; a rework bill made from an operation shift bill
-- names it in FOperShiftBillID.
CREATE TABLE SHWorkBill (
  FInterID         int NOT NULL DEFAULT 0,
  FBillNo          varchar(255) NOT NULL DEFAULT '',
  FDate            datetime NULL,
  FICMOInterID     int NOT NULL DEFAULT 0,
  FBillType        int NULL DEFAULT 11620,           -- 11620 ordinary, 11621 rework
  FOperShiftBillID int NOT NULL DEFAULT 0,
  FStatus          int NOT NULL DEFAULT 0,           -- 0 while any operation is unchecked
  FBillerID        int NOT NULL DEFAULT 0,
  FCheckerID       int NULL,
  FCheckDate       datetime NULL,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_SHWorkBill_FICMOInterID ON SHWorkBill (FICMOInterID)
CREATE INDEX IX_SHWorkBill_FOperShiftBillID ON SHWorkBill (FOperShiftBillID)

-- Operations of work bills. FWBInterID is the operation's own id, by which every bill below refers
-- to it; FEntryID follows FOperSN. FStatus 0 planned, 1 checked (released), 3 closed. Every FAux...
-- quantity has its base-unit twin without "Aux", kept by prc_SHUpdateBillDoubleQty 52 / -52.
CREATE TABLE SHWorkBillEntry (
  FInterID                    int NOT NULL DEFAULT 0,            -- SHWorkBill
  FEntryID                    int NOT NULL DEFAULT 0,
  FWBInterID                  int NOT NULL DEFAULT 0,
  FWorkBillNo                 varchar(255) NOT NULL DEFAULT '',
  FOperSN                     int NOT NULL DEFAULT 0,            -- operation sequence number
  FOperID                     int NOT NULL DEFAULT 0,
  FWorkCenterID               int NOT NULL DEFAULT 0,
  FSupplyID                   int NOT NULL DEFAULT 0,            -- subcontractor
  FWorkerID                   int NOT NULL DEFAULT 0,
  FStatus                     int NOT NULL DEFAULT 0,
  FCancellation               int NOT NULL DEFAULT 0,
  FClose                      int NOT NULL DEFAULT 0,
  FCheckerID                  int NULL,
  FISOut                      int NOT NULL DEFAULT 1059,         -- yes/no: subcontracted
  FAutoTD                     int NOT NULL DEFAULT 1059,         -- yes/no: dispatched automatically
  FAutoOF                     int NOT NULL DEFAULT 1059,         -- yes/no: shifted automatically
  FQualityChkID               int NOT NULL DEFAULT 352,          -- 352: reports count directly
  -- 11081 minutes, 11083 days, else hours
  FTimeUnit                   int NOT NULL DEFAULT 11082,
  FBackFlushed                int NOT NULL DEFAULT 0,            -- 1 = backflushed by an issue bill
  FStartWorkDate              datetime NULL,
  FEndWorkDate                datetime NULL,
  FAuxQtyPlan                 decimal(28,10) NOT NULL DEFAULT 0, -- planned
  FQtyPlan                    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyFinish               decimal(28,10) NOT NULL DEFAULT 0, -- finished
  FQtyFinish                  decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPass                 decimal(28,10) NOT NULL DEFAULT 0, -- passed
  FQtyPass                    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap                decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for work
  FQtyScrap                   decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem              decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for material
  FQtyForItem                 decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyLost                 decimal(28,10) NOT NULL DEFAULT 0, -- lost in stock count
  FQtyLost                    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyGain                 decimal(28,10) NOT NULL DEFAULT 0, -- gained in stock count
  FQtyGain                    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyBack                 decimal(28,10) NOT NULL DEFAULT 0, -- returned
  FQtyBack                    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyTaskDispSel          decimal(28,10) NOT NULL DEFAULT 0, -- dispatched, all entries
  FQtyTaskDispSel             decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyTaskDispAck          decimal(28,10) NOT NULL DEFAULT 0, -- dispatched, checked entries
  FQtyTaskDispAck             decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyHandOverSel          decimal(28,10) NOT NULL DEFAULT 0, -- handed over, all bills
  FQtyHandOverSel             decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyHandOver             decimal(28,10) NOT NULL DEFAULT 0, -- handed over, checked bills
  FQtyHandOver                decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyReceiveSel           decimal(28,10) NOT NULL DEFAULT 0, -- received, all bills
  FQtyReceiveSel              decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyRecive               decimal(28,10) NOT NULL DEFAULT 0, -- received, checked bills
  FQtyRecive                  decimal(28,10) NOT NULL DEFAULT 0,
  FAuxConvertQtyHandover      decimal(28,10) NOT NULL DEFAULT 0, -- handed over to conversion
  FConvertQtyHandover         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxConvertQtyRecive        decimal(28,10) NOT NULL DEFAULT 0, -- received from conversion
  FConvertQtyRecive           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxRepReceiveSelQty        decimal(28,10) NOT NULL DEFAULT 0, -- rework receipt, selected
  FRepReceiveSelQty           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxRepReceiveQty           decimal(28,10) NOT NULL DEFAULT 0, -- rework receipt
  FRepReceiveQty              decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedQty          decimal(28,10) NOT NULL DEFAULT 0, -- sent to reprocessing
  FReprocessedQty             decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedMoveSelQty   decimal(28,10) NOT NULL DEFAULT 0, -- to repair, all bills
  FReprocessedMoveSelQty      decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedMoveQty      decimal(28,10) NOT NULL DEFAULT 0, -- to repair, checked bills
  FReprocessedMoveQty         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQualifiedReprocessedQty decimal(28,10) NOT NULL DEFAULT 0, -- qualified after repair
  FQualifiedReprocessedQty    decimal(28,10) NOT NULL DEFAULT 0,
  FAuxCheckCommitQty          decimal(28,10) NOT NULL DEFAULT 0, -- committed to inspection
  FCheckCommitQty             decimal(28,10) NOT NULL DEFAULT 0,
  FFinishTime                 decimal(28,10) NOT NULL DEFAULT 0, -- times in FTimeUnit
  FReadyTime                  decimal(28,10) NOT NULL DEFAULT 0,
  FFixTime                    decimal(28,10) NOT NULL DEFAULT 0,
  FPowerCutTime               decimal(28,10) NOT NULL DEFAULT 0,
  FWaitItemTime               decimal(28,10) NOT NULL DEFAULT 0,
  FWaitToolTime               decimal(28,10) NOT NULL DEFAULT 0,
  FHRReadyTime                decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FWBInterID)
)
CREATE INDEX IX_SHWorkBillEntry_FInterID ON SHWorkBillEntry (FInterID)
-- The saves clean "FCheckerID = 0" (nobody) out of the whole table on every call.
CREATE INDEX IX_SHWorkBillEntry_FCheckerID ON SHWorkBillEntry (FCheckerID)

-- Task dispatch bills (bill type 502): hand the planned quantity of one operation to the floor.
-- FStatus 0 unchecked, 1 checked (every entry checked), 3 closed.
CREATE TABLE ICTaskDispBill (
  FInterID         int NOT NULL DEFAULT 0,
  FBillNo          varchar(255) NOT NULL DEFAULT '',
  FDate            datetime NULL,
  FWorkBillInterID int NOT NULL DEFAULT 0,           -- the operation (SHWorkBillEntry.FWBInterID)
  FICMOInterID     int NOT NULL DEFAULT 0,
  FStatus          int NOT NULL DEFAULT 0,
  FCancellation    int NOT NULL DEFAULT 0,
  FAutoTD          int NOT NULL DEFAULT 1059,        -- yes/no: made automatically
  FBillerID        int NOT NULL DEFAULT 0,
  FCheckerID       int NULL,
  FCheckDate       datetime NULL,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICTaskDispBill_FWorkBillInterID ON ICTaskDispBill (FWorkBillInterID)
CREATE INDEX IX_ICTaskDispBill_FICMOInterID ON ICTaskDispBill (FICMOInterID)

-- Task dispatch entries. FTaskDispInterID is the entry's own id, 0 until the save numbers it from
-- ICMaxNum 'ICTaskDispBill'. FStatus 0 saved, 1 checked, 2 counts as checked, 3 closed.
CREATE TABLE ICTaskDispBillEntry (
  FInterID           int NOT NULL DEFAULT 0,            -- ICTaskDispBill
  FEntryID           int NOT NULL DEFAULT 0,
  FTaskDispInterID   int NOT NULL DEFAULT 0,
  FBillNum           varchar(255) NOT NULL DEFAULT '',  -- the entry's number
  FStatus            int NOT NULL DEFAULT 0,
  FCancellation      int NOT NULL DEFAULT 0,
  FClose             int NOT NULL DEFAULT 0,
  FCheckerID         int NULL,
  FCheckDate         datetime NULL,
  FOperMoveNo        varchar(255) NOT NULL DEFAULT '',  -- move number
  FWorkStartDate     datetime NULL,
  FWorkEndDate       datetime NULL,
  FAuxQtyPlan        decimal(28,10) NOT NULL DEFAULT 0, -- dispatched
  FQtyPlan           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyFinish      decimal(28,10) NOT NULL DEFAULT 0, -- finished
  FQtyFinish         decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyPass        decimal(28,10) NOT NULL DEFAULT 0, -- passed
  FQtyPass           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyScrap       decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for work
  FQtyScrap          decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyForItem     decimal(28,10) NOT NULL DEFAULT 0, -- scrapped for material
  FQtyForItem        decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyLoss        decimal(28,10) NOT NULL DEFAULT 0, -- lost
  FQtyLoss           decimal(28,10) NOT NULL DEFAULT 0,
  FAuxReprocessedQty decimal(28,10) NOT NULL DEFAULT 0, -- sent to reprocessing
  FReprocessedQty    decimal(28,10) NOT NULL DEFAULT 0,
  FTimeUnit          int NOT NULL DEFAULT 11082,        -- 11081 minutes, 11083 days, else hours
  FTimeHrWork        decimal(28,10) NOT NULL DEFAULT 0,
  FTimeEngPrepare    decimal(28,10) NOT NULL DEFAULT 0,
  FTimeEngWork       decimal(28,10) NOT NULL DEFAULT 0,
  FHRReadyTime       decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
-- The status of a dispatch entry (the status link of a report, the lock check of the bills above
-- it) is read from this index alone, without descending the table of wide rows.
CREATE INDEX IX_ICTaskDispBillEntry_FTaskDispInterID ON ICTaskDispBillEntry (FTaskDispInterID)
  INCLUDE (FBillNum, FStatus, FCancellation, FClose)
CREATE INDEX IX_ICTaskDispBillEntry_FCheckerID ON ICTaskDispBillEntry (FCheckerID)

-- Operation shift bills (bill type 581), one row per bill: move a quantity out of one operation
-- (FOutWBInterID) and/or into another (FInWBInterID). FShiftTypeID 11300 receive, 11301 hand over
-- and receive, 11302 hand over, 11303 shift to repair, 11304 qualified return from repair.
CREATE TABLE ICOperShift (
  FInterID        int NOT NULL DEFAULT 0,
  FBillNo         varchar(255) NOT NULL DEFAULT '',
  FDate           datetime NULL,
  FShiftTypeID    int NOT NULL DEFAULT 11301,
  FOutWBInterID   int NOT NULL DEFAULT 0,
  FInWBInterID    int NOT NULL DEFAULT 0,
  FInOperID       int NOT NULL DEFAULT 0,
  FInWorkCenterID int NOT NULL DEFAULT 0,
  FInSupplier     int NOT NULL DEFAULT 0,
  FInOperatorID   int NOT NULL DEFAULT 0,
  FICMOInterID    int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FYield          decimal(28,10) NOT NULL DEFAULT 100, -- percent
  FAuxQtyShift    decimal(28,10) NOT NULL DEFAULT 0,   -- shifted
  FQtyShift       decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQtyStock    decimal(28,10) NOT NULL DEFAULT 0,   -- received into stock from this bill
  FQtyStock       decimal(28,10) NOT NULL DEFAULT 0,
  FStatus         int NOT NULL DEFAULT 0,              -- 0 saved, 1 checked
  FCancellation   int NOT NULL DEFAULT 0,
  FClose          int NOT NULL DEFAULT 0,
  FOperMoveNo     varchar(255) NOT NULL DEFAULT '',    -- move number
  FAutoOF         int NOT NULL DEFAULT 1059,           -- yes/no: made automatically
  FBillerID       int NOT NULL DEFAULT 0,
  FCheckerID      int NULL,
  FCheckDate      datetime NULL,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICOperShift_FOutWBInterID ON ICOperShift (FOutWBInterID)
CREATE INDEX IX_ICOperShift_FInWBInterID ON ICOperShift (FInWBInterID)
CREATE INDEX IX_ICOperShift_FICMOInterID ON ICOperShift (FICMOInterID)

-- Move-number ledger: which quantity of which move number sits at which operation, per source bill
-- type (502 dispatch, 581 shift, 582 report). The rules insert rows without an id, so FID is
-- numbered by the database.
CREATE TABLE SHMoveNoManage (
  FID          int IDENTITY(1, 1) NOT NULL,
  FOperMoveNo  varchar(255) NOT NULL DEFAULT '',
  FWBInterID   int NOT NULL DEFAULT 0,
  FICMOInterID int NOT NULL DEFAULT 0,
  FTransType   int NOT NULL DEFAULT 0,
  FStatus      int NOT NULL DEFAULT 0,
  FQty         decimal(28,10) NOT NULL DEFAULT 0,
  PRIMARY KEY (FID)
)
CREATE INDEX IX_SHMoveNoManage_FWBInterID ON SHMoveNoManage (FWBInterID, FTransType, FOperMoveNo)
