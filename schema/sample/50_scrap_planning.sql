-- The sample factory's scrap and planning: a second lamp order whose material has been issued,
-- with one scrap bill booked against it already, and the planning side of the desk lamp: a
-- forecast (PP) order, the sales order derived from it, the MRP runs so far and the planned order
-- the latest run made for that sales order.
--
-- Ids: production task 1003 with material list 1103, scrap bill 5001, PP order 6001, sales order
-- 7001, MRP runs 9001-9003, planned order bill 8001.

-- Production task 1003: 40 desk lamps, released, its material issued: 5.5 kg of steel for the
-- 5 kg needed, 40 shades; the bases are backflushed when lamps are received, so none is issued
-- yet (the task stands partly issued). What was issued is all still in process.
INSERT INTO ICMO
  (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus, FWorkShop, FPlanCommitDate,
   FStartDate, FFinishDate, FAuxInHighLimitQty, FAuxInLowLimitQty, FStockFlag)
  VALUES (1003, 'MO1003', 301, 1, 40, 40, 1, 502, '2026-03-16', '2026-03-16', '2026-03-20',
          42, 38, 14216)
INSERT INTO PPBOM (FInterID, FBillNo, FICMOInterID, FItemID, FStatus)
  VALUES (1103, 'PBOM1003', 1003, 301, 1)
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust, FAuxStockQty, FStockQty,
   FWIPAuxQty, FWIPQty, FSelDisCardQty, FDiscardAuxQty, FDisCardQty)
  VALUES (1103, 1, 1003, 304, 3, 801, 10, 401, 0.125, 0.125, 5, 5, 5.5, 5.5, 5.5, 5.5, 1.25, 1.25,
          1.25)
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust, FAuxStockQty, FStockQty, FWIPAuxQty, FWIPQty)
  VALUES (1103, 2, 1003, 302, 1, 803, 30, 401, 1, 1, 40, 40, 40, 40, 40, 40)
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust, FBackFlush)
  VALUES (1103, 3, 1003, 303, 1, 803, 30, 401, 1, 1, 40, 40, 1058)

-- Scrap bill SCR1 (checked): 1.25 kg of steel spoilt when the cutter was set up. It stands in the
-- steel line's totals selected for scrapping and scrapped.
INSERT INTO ICItemScrap (FInterID, FBillNo, FDate, FStatus) VALUES (5001, 'SCR1', '2026-03-16', 1)
INSERT INTO ICItemScrapEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FQty, FSourceTranType, FSourceInterID,
   FSourceEntryID)
  VALUES (5001, 1, 1003, 304, 1.25, 85, 1003, 1)

-- PP order PP1 (checked): the forecast of desk lamps for March, 60 needed from 2026-03-20.
INSERT INTO PPOrder (FInterID, FBillNo, FDate, FStatus) VALUES (6001, 'PP1', '2026-02-20', 1)
INSERT INTO PPOrderEntry (FInterID, FEntryID, FItemID, FQty, FNeedDate, FOrderClosed)
  VALUES (6001, 1, 301, 60, '2026-03-20', 0)

-- Sales order SO1 for 60 desk lamps, derived from PP1 (source type 87). The planned order of the
-- latest MRP run stems from it, so it counts one planned-order row.
INSERT INTO SEOrder (FInterID, FBillNo, FDate, FChildren) VALUES (7001, 'SO1', '2026-02-25', 1)
INSERT INTO SEOrderEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, FSourceInterID)
  VALUES (7001, 1, 301, 60, 87, 6001)

-- MRP runs: two of kind 0 (the later one is the latest) and one of kind 1.
INSERT INTO ICMRPInfo (FInterID, FType, FDate) VALUES (9001, 0, '2026-02-23')
INSERT INTO ICMRPInfo (FInterID, FType, FDate) VALUES (9002, 0, '2026-03-02')
INSERT INTO ICMRPInfo (FInterID, FType, FDate) VALUES (9003, 1, '2026-02-27')

-- Planned order bill 8001 of run 9002: make the 60 lamps of SO1.
INSERT INTO ICMRPResult
  (FInterID, FEntryID, FBillNo, FPlanOrderNo, FPlanOrderInterID, FItemID, FUnitID, FUseUnitID,
   FAuxPlanQty, FPlanQty, FAuxNeedQty, FNeedQty, FOrgSaleInterID, FRunID, FType)
  VALUES (8001, 1, 'PL1', 'PL1', 8001, 301, 1, 1, 60, 60, 60, 60, 7001, 9002, 1)
