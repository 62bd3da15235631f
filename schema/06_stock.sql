-- Bills of the warehouse and quality side that production follows or that lock a report: stock
-- bills (also per type), workshop material bills, item scrap bills and inspection documents.

-- Stock bills that the warehouse side posts; they reach production through the stock-bill hook.
-- Sites that keep some bill types in tables of their own use ICStockBill_<type> (below).
CREATE TABLE ICStockBill (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FTranType  int NOT NULL DEFAULT 0,           -- 2 receipt, 24/28 issue, 41 transfer
  FROB       int NOT NULL DEFAULT 1,           -- 1 blue, -1 red (reversing)
  FWBInterID int NOT NULL DEFAULT 0,           -- the operation a backflush issue was made for
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICStockBill_FWBInterID ON ICStockBill (FWBInterID)

-- Stock bill lines.
CREATE TABLE ICStockBillEntry (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FAuxQty         decimal(28,10) NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0, -- base unit
  FICMOInterID    int NOT NULL DEFAULT 0,            -- the production task
  FPPBOMEntryID   int NOT NULL DEFAULT 0,            -- material line; 0 = product
  FOrderEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,            -- 85 task, 551 report, 581 shift
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  FSCStockID      int NOT NULL DEFAULT 0,            -- source stock of a transfer
  FSCSPID         int NOT NULL DEFAULT 0,            -- source place of a transfer
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICStockBillEntry_FICMOInterID ON ICStockBillEntry (FICMOInterID)
CREATE INDEX IX_ICStockBillEntry_FSourceInterID ON ICStockBillEntry (FSourceInterID)

-- Stock bills of type 2 kept in a table of their own; the same columns as ICStockBill.
CREATE TABLE ICStockBill_2 (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FTranType  int NOT NULL DEFAULT 0,           -- 2 receipt, 24/28 issue, 41 transfer
  FROB       int NOT NULL DEFAULT 1,           -- 1 blue, -1 red (reversing)
  FWBInterID int NOT NULL DEFAULT 0,           -- the operation a backflush issue was made for
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICStockBill_2_FWBInterID ON ICStockBill_2 (FWBInterID)

-- Lines of ICStockBill_2; the same columns as ICStockBillEntry.
CREATE TABLE ICStockBillEntry_2 (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FAuxQty         decimal(28,10) NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0, -- base unit
  FICMOInterID    int NOT NULL DEFAULT 0,            -- the production task
  FPPBOMEntryID   int NOT NULL DEFAULT 0,            -- material line; 0 = product
  FOrderEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,            -- 85 task, 551 report, 581 shift
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  FSCStockID      int NOT NULL DEFAULT 0,            -- source stock of a transfer
  FSCSPID         int NOT NULL DEFAULT 0,            -- source place of a transfer
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICStockBillEntry_2_FICMOInterID ON ICStockBillEntry_2 (FICMOInterID)
CREATE INDEX IX_ICStockBillEntry_2_FSourceInterID ON ICStockBillEntry_2 (FSourceInterID)

-- Stock bills of type 24 kept in a table of their own; the same columns as ICStockBill.
CREATE TABLE ICStockBill_24 (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FTranType  int NOT NULL DEFAULT 0,           -- 2 receipt, 24/28 issue, 41 transfer
  FROB       int NOT NULL DEFAULT 1,           -- 1 blue, -1 red (reversing)
  FWBInterID int NOT NULL DEFAULT 0,           -- the operation a backflush issue was made for
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICStockBill_24_FWBInterID ON ICStockBill_24 (FWBInterID)

-- Lines of ICStockBill_24; the same columns as ICStockBillEntry.
CREATE TABLE ICStockBillEntry_24 (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FAuxQty         decimal(28,10) NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0, -- base unit
  FICMOInterID    int NOT NULL DEFAULT 0,            -- the production task
  FPPBOMEntryID   int NOT NULL DEFAULT 0,            -- material line; 0 = product
  FOrderEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,            -- 85 task, 551 report, 581 shift
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  FSCStockID      int NOT NULL DEFAULT 0,            -- source stock of a transfer
  FSCSPID         int NOT NULL DEFAULT 0,            -- source place of a transfer
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICStockBillEntry_24_FICMOInterID ON ICStockBillEntry_24 (FICMOInterID)
CREATE INDEX IX_ICStockBillEntry_24_FSourceInterID ON ICStockBillEntry_24 (FSourceInterID)

-- Stock bills of type 28 kept in a table of their own; the same columns as ICStockBill.
CREATE TABLE ICStockBill_28 (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FTranType  int NOT NULL DEFAULT 0,           -- 2 receipt, 24/28 issue, 41 transfer
  FROB       int NOT NULL DEFAULT 1,           -- 1 blue, -1 red (reversing)
  FWBInterID int NOT NULL DEFAULT 0,           -- the operation a backflush issue was made for
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICStockBill_28_FWBInterID ON ICStockBill_28 (FWBInterID)

-- Lines of ICStockBill_28; the same columns as ICStockBillEntry.
CREATE TABLE ICStockBillEntry_28 (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FAuxQty         decimal(28,10) NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0, -- base unit
  FICMOInterID    int NOT NULL DEFAULT 0,            -- the production task
  FPPBOMEntryID   int NOT NULL DEFAULT 0,            -- material line; 0 = product
  FOrderEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,            -- 85 task, 551 report, 581 shift
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  FSCStockID      int NOT NULL DEFAULT 0,            -- source stock of a transfer
  FSCSPID         int NOT NULL DEFAULT 0,            -- source place of a transfer
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICStockBillEntry_28_FICMOInterID ON ICStockBillEntry_28 (FICMOInterID)
CREATE INDEX IX_ICStockBillEntry_28_FSourceInterID ON ICStockBillEntry_28 (FSourceInterID)

-- Stock bills of type 41 kept in a table of their own; the same columns as ICStockBill.
CREATE TABLE ICStockBill_41 (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FTranType  int NOT NULL DEFAULT 0,           -- 2 receipt, 24/28 issue, 41 transfer
  FROB       int NOT NULL DEFAULT 1,           -- 1 blue, -1 red (reversing)
  FWBInterID int NOT NULL DEFAULT 0,           -- the operation a backflush issue was made for
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICStockBill_41_FWBInterID ON ICStockBill_41 (FWBInterID)

-- Lines of ICStockBill_41; the same columns as ICStockBillEntry.
CREATE TABLE ICStockBillEntry_41 (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FUnitID         int NOT NULL DEFAULT 0,
  FAuxQty         decimal(28,10) NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0, -- base unit
  FICMOInterID    int NOT NULL DEFAULT 0,            -- the production task
  FPPBOMEntryID   int NOT NULL DEFAULT 0,            -- material line; 0 = product
  FOrderEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,            -- 85 task, 551 report, 581 shift
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  FSCStockID      int NOT NULL DEFAULT 0,            -- source stock of a transfer
  FSCSPID         int NOT NULL DEFAULT 0,            -- source place of a transfer
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICStockBillEntry_41_FICMOInterID ON ICStockBillEntry_41 (FICMOInterID)
CREATE INDEX IX_ICStockBillEntry_41_FSourceInterID ON ICStockBillEntry_41 (FSourceInterID)

-- Workshop material bills (bill type 137) that issue material to an operation.
CREATE TABLE ICSTJGBill (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FDate      datetime NULL,
  FWBInterID int NOT NULL DEFAULT 0,
  FStatus    int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICSTJGBill_FWBInterID ON ICSTJGBill (FWBInterID)

-- Lines of ICSTJGBill.
CREATE TABLE ICSTJGBillEntry (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0,
  FICMOInterID    int NOT NULL DEFAULT 0,
  FPPBOMEntryID   int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterID  int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICSTJGBillEntry_FICMOInterID ON ICSTJGBillEntry (FICMOInterID)

-- Production material scrap bills (bill type 55), headers. FTypeID 14062 is exempt from the scrap
-- quantity control at save.
CREATE TABLE ICItemScrap (
  FInterID int NOT NULL DEFAULT 0,
  FBillNo  varchar(255) NOT NULL DEFAULT '',
  FDate    datetime NULL,
  FTypeID  int NOT NULL DEFAULT 0,
  FStatus  int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)

-- Lines of scrap bills, each against a material line (task, item, FSourceEntryID = PPBOMEntry
-- FEntryID).
CREATE TABLE ICItemScrapEntry (
  FInterID        int NOT NULL DEFAULT 0,
  FEntryID        int NOT NULL DEFAULT 0,
  FICMOInterID    int NOT NULL DEFAULT 0,
  FItemID         int NOT NULL DEFAULT 0,
  FQty            decimal(28,10) NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterID  int NOT NULL DEFAULT 0,
  FSourceEntryID  int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICItemScrapEntry_FICMOInterID ON ICItemScrapEntry (FICMOInterID)
CREATE INDEX IX_ICItemScrapEntry_FSourceInterID ON ICItemScrapEntry (FSourceInterID)

-- Product inspection requests made from production task reports.
CREATE TABLE QMICMOCKRequest (
  FInterID   int NOT NULL DEFAULT 0,
  FBillNo    varchar(255) NOT NULL DEFAULT '',
  FICMORptID int NOT NULL DEFAULT 0,           -- the production task report
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_QMICMOCKRequest_FICMORptID ON QMICMOCKRequest (FICMORptID)

-- Inspection lines; FClassID_SRC -551 and FID_SRC name a production task report.
CREATE TABLE QM_QualityCheckEntry (
  FID          int NOT NULL DEFAULT 0,
  FEntryID     int NOT NULL DEFAULT 0,
  FClassID_SRC int NOT NULL DEFAULT 0,
  FID_SRC      int NOT NULL DEFAULT 0,
  PRIMARY KEY (FID, FEntryID)
)
CREATE INDEX IX_QM_QualityCheckEntry_FID_SRC ON QM_QualityCheckEntry (FID_SRC)
