-- The sample factory's stock bills, as the warehouse entered them and before it posted them
-- (FStatus 0): posting a bill is what calls the stock-bill hook, which books it on production, so
-- the material lists and tasks of the factory do not count these bills yet. `corva demo` posts the
-- issues and the receipt of task 1001 (MO1001); the others wait for a host to post them
-- (HookInvoke with "TranType", "OperateCode" 1, "InterID" and the caller's "sDsn").
-- Ids: issue bills 6001-6003, outsourced issue 6011, receipt 6101, transfer 6201, workshop
-- material bill 6301, item scrap bill 6401.

-- 6001: the steel for the frames and the shades for MO1001, issued against its material list
-- 1101 (lines 1 and 2), made from the task (source type 85).
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6001, 'SOUT6001', '2026-03-02', 24, 1, 0, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6001, 1, 304, 3, 12.5, 12.5, 1001, 1, 85, 1001)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6001, 2, 302, 1, 100, 100, 1001, 2, 85, 1001)

-- 6002: the bases, issued by backflush for the assembly operation (WB1-3, 2103).
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6002, 'SOUT6002', '2026-03-10', 24, 1, 2103, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6002, 1, 303, 1, 100, 100, 1001, 3, 85, 1001)

-- 6003: five more shades for MO1001, beyond its material list.
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6003, 'SOUT6003', '2026-03-11', 24, 1, 0, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6003, 1, 302, 1, 5, 5, 1001, 2, 85, 1001)

-- 6011: steel sent to the subcontractor who makes MO1002's shades; an outsourced issue names the
-- material list (1102) where the others name the task.
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6011, 'WOUT6011', '2026-03-16', 28, 1, 0, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6011, 1, 304, 3, 9.6, 9.6, 1102, 1, 85, 1002)

-- 6101: the 100 desk lamps of MO1001 received into the finished goods store.
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6101, 'CIN6101', '2026-03-13', 2, 1, 0, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID)
  VALUES (6101, 1, 301, 1, 100, 100, 1001, 0, 85, 1001)

-- 6201: 2 kg of MO1001's steel moved from the quarantine store to the raw material store.
INSERT INTO ICStockBill (FInterID, FBillNo, FDate, FTranType, FROB, FWBInterID, FStatus)
  VALUES (6201, 'MOVE6201', '2026-03-03', 41, 1, 0, 0)
INSERT INTO ICStockBillEntry
  (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FICMOInterID, FPPBOMEntryID,
   FSourceTranType, FSourceInterID, FSCStockID, FSCSPID)
  VALUES (6201, 1, 304, 3, 2, 2, 1001, 1, 85, 1001, 403, 0)

-- 6301: half a kilogram of steel fetched by the cutting operation (WB1-1, 2101) itself.
INSERT INTO ICSTJGBill (FInterID, FBillNo, FDate, FWBInterID, FStatus)
  VALUES (6301, 'JG6301', '2026-03-03', 2101, 0)
INSERT INTO ICSTJGBillEntry
  (FInterID, FEntryID, FItemID, FQty, FICMOInterID, FPPBOMEntryID, FSourceTranType,
   FSourceInterID)
  VALUES (6301, 1, 304, 0.5, 1001, 1, 85, 1001)

-- 6401: a quarter kilogram of MO1001's steel scrapped at cutting.
INSERT INTO ICItemScrap (FInterID, FBillNo, FDate, FTypeID, FStatus)
  VALUES (6401, 'SCRAP6401', '2026-03-04', 0, 0)
INSERT INTO ICItemScrapEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FQty, FSourceTranType, FSourceInterID,
   FSourceEntryID)
  VALUES (6401, 1, 1001, 304, 0.25, 85, 1001, 1)
