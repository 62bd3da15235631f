-- The sample factory: a small lamp maker for the demo and for tests that want a whole chain. It
-- cuts and welds steel into lamp frames and assembles desk lamps from them with bought-in shades
-- and bases. Installed only on request (corva init --sample), after the schema.
--
-- Ids are chosen to read well: units 1-3, items 301-304, stocks 401-403, departments 501-502,
-- work centres 601-603, resources 701-704, operations 801-803 (t_SubMessage), production tasks
-- 1001-1002 with material lists 1101-1102, work bill 2001 with operations 2101-2103. The factory
-- calendar (999) covers 2026 and 2027.

-- Units of measure. A box holds ten pieces, so a quantity in boxes is ten times as many pieces in
-- the base unit; kilograms are a group of their own.
INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FUnitGroupID, FNumber, FName, FCoefficient)
  VALUES (1, 1, 1, 'PCS', N'Piece', 1)
INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FUnitGroupID, FNumber, FName, FCoefficient)
  VALUES (2, 2, 1, 'BOX10', N'Box of 10', 10)
INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FUnitGroupID, FNumber, FName, FCoefficient)
  VALUES (3, 3, 2, 'KG', N'Kilogram', 1)

-- Items: the finished lamp, two components (shades are also made here, bases are bought in) and
-- the steel they are cut from, kept to the gram. Shades and bases are the key materials of the
-- kit check.
INSERT INTO t_ICItem
  (FItemID, FNumber, FShortNumber, FName, FModel, FUnitID, FQtyDecimal, FIsKeyItem, FFixLeadTime)
  VALUES (301, '3.01.001', 'LAMP-D1', N'Desk lamp', N'D1, matt black', 1, 0, 0, 2)
INSERT INTO t_ICItem
  (FItemID, FNumber, FShortNumber, FName, FModel, FUnitID, FQtyDecimal, FIsKeyItem, FFixLeadTime)
  VALUES (302, '2.01.001', 'SHADE-S1', N'Lamp shade', N'S1, 180 mm', 1, 0, 1, 1)
INSERT INTO t_ICItem
  (FItemID, FNumber, FShortNumber, FName, FModel, FUnitID, FQtyDecimal, FIsKeyItem, FFixLeadTime)
  VALUES (303, '2.01.002', 'BASE-B1', N'Lamp base', N'B1, weighted', 1, 0, 1, 5)
INSERT INTO t_ICItem
  (FItemID, FNumber, FShortNumber, FName, FModel, FUnitID, FQtyDecimal, FIsKeyItem, FFixLeadTime)
  VALUES (304, '1.01.001', 'STEEL-1.0', N'Steel sheet', N'1.0 mm, cold rolled', 3, 3, 0, 3)
INSERT INTO t_ICItemBase (FItemID, FQtyDecimal) VALUES (301, 0)
INSERT INTO t_ICItemBase (FItemID, FQtyDecimal) VALUES (302, 0)
INSERT INTO t_ICItemBase (FItemID, FQtyDecimal) VALUES (303, 0)
INSERT INTO t_ICItemBase (FItemID, FQtyDecimal) VALUES (304, 3)

-- Stocks: raw material, finished goods, and a quarantine store that material planning leaves out.
INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail)
  VALUES (401, 'WH01', N'Raw material store', 1)
INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail)
  VALUES (402, 'WH02', N'Finished goods store', 1)
INSERT INTO t_Stock (FItemID, FNumber, FName, FMRPAvail)
  VALUES (403, 'WH09', N'Quarantine store', 0)
INSERT INTO t_StockPlace (FSPID, FNumber, FName) VALUES (4011, 'WH01-A01', N'Raw material rack A01')

-- Departments, both on the factory calendar.
INSERT INTO T_Department (FItemID, FNumber, FName, FCalID)
  VALUES (501, 'D01', N'Machining workshop', 999)
INSERT INTO T_Department (FItemID, FNumber, FName, FCalID)
  VALUES (502, 'D02', N'Assembly workshop', 999)

-- Work centres (capacity in hours a day, efficiency and usage in percent) and their resources
-- (runs x hours x usage x efficiency, the rates as fractions). Welding runs two shifts.
INSERT INTO T_WorkCenter (FItemID, FNumber, FName, FCalID, FWorkCapacity, FEfficiency, FUseingRate)
  VALUES (601, 'WC10', N'Cutting', 999, 8, 100, 100)
INSERT INTO T_WorkCenter (FItemID, FNumber, FName, FCalID, FWorkCapacity, FEfficiency, FUseingRate)
  VALUES (602, 'WC20', N'Welding', 999, 16, 90, 100)
INSERT INTO T_WorkCenter (FItemID, FNumber, FName, FCalID, FWorkCapacity, FEfficiency, FUseingRate)
  VALUES (603, 'WC30', N'Assembly', 999, 8, 100, 95)
INSERT INTO T_Resource
  (FInterID, FNumber, FName, FWorkCenterID, FCalID, FRuns, FHours, FUseingRate, FEfficiency)
  VALUES (701, 'R-LASER', N'Laser cutter', 601, 999, 1, 8, 1, 0.95)
INSERT INTO T_Resource
  (FInterID, FNumber, FName, FWorkCenterID, FCalID, FRuns, FHours, FUseingRate, FEfficiency)
  VALUES (702, 'R-WELD1', N'Welding robot', 602, 999, 2, 8, 0.9, 1)
INSERT INTO T_Resource
  (FInterID, FNumber, FName, FWorkCenterID, FCalID, FRuns, FHours, FUseingRate, FEfficiency)
  VALUES (703, 'R-WELD2', N'Manual welding station', 602, 999, 1, 8, 1, 0.8)
INSERT INTO T_Resource
  (FInterID, FNumber, FName, FWorkCenterID, FCalID, FRuns, FHours, FUseingRate, FEfficiency)
  VALUES (704, 'R-ASSY', N'Assembly line', 603, 999, 1, 8, 0.95, 1)

-- Operations are codes of their own group (61) in t_SubMessage.
INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (801, 61, 'OP-CUT', N'Cut')
INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (802, 61, 'OP-WELD', N'Weld')
INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName)
  VALUES (803, 61, 'OP-ASSY', N'Assemble')

-- Production task 1001: 100 desk lamps in pieces, released. Its frame is cut (10) and welded (20)
-- from steel, then assembled (30) with a shade and a base; receipts may run 5 % either way.
INSERT INTO ICMO
  (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus, FWorkShop, FPlanCommitDate,
   FStartDate, FFinishDate, FAuxInHighLimitQty, FAuxInLowLimitQty)
  VALUES (1001, 'MO1001', 301, 1, 100, 100, 1, 502, '2026-03-02', '2026-03-02', '2026-03-13',
          105, 95)
INSERT INTO PPBOM (FInterID, FBillNo, FICMOInterID, FItemID, FStatus)
  VALUES (1101, 'PBOM1001', 1001, 301, 1)
-- 0.125 kg of steel per lamp, cut at operation 10; shade and base at assembly (30).
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust)
  VALUES (1101, 1, 1001, 304, 3, 801, 10, 401, 0.125, 0.125, 12.5, 12.5)
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust)
  VALUES (1101, 2, 1001, 302, 1, 803, 30, 401, 1, 1, 100, 100)
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust)
  VALUES (1101, 3, 1001, 303, 1, 803, 30, 401, 1, 1, 100, 100)

-- Production task 1002: 12 boxes (120 pieces) of lamp shades, still planned, no work bill yet.
INSERT INTO ICMO
  (FInterID, FBillNo, FItemID, FUnitID, FAuxQty, FQty, FStatus, FWorkShop, FPlanCommitDate,
   FStartDate, FFinishDate, FAuxInHighLimitQty, FAuxInLowLimitQty)
  VALUES (1002, 'MO1002', 302, 2, 12, 120, 0, 501, '2026-03-16', '2026-03-16', '2026-03-20',
          13, 11)
INSERT INTO PPBOM (FInterID, FBillNo, FICMOInterID, FItemID, FStatus)
  VALUES (1102, 'PBOM1002', 1002, 302, 0)
-- 0.08 kg of steel per shade.
INSERT INTO PPBOMEntry
  (FInterID, FEntryID, FICMOInterID, FItemID, FUnitID, FOperID, FOperSN, FStockID,
   FAuxQtyScrap, FQtyScrap, FAuxQtyMust, FQtyMust)
  VALUES (1102, 1, 1002, 304, 3, 801, 10, 401, 0.08, 0.08, 9.6, 9.6)

-- The operation plan bill of task 1001: three planned operations over the first two weeks of
-- March 2026, each for the whole 100 lamps. It took the first work bill number, WB1.
INSERT INTO SHWorkBill (FInterID, FBillNo, FDate, FICMOInterID, FBillType, FStatus, FBillerID)
  VALUES (2001, 'WB1', '2026-03-02', 1001, 11620, 0, 16394)
INSERT INTO SHWorkBillEntry
  (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN, FOperID, FWorkCenterID, FStatus,
   FAuxQtyPlan, FQtyPlan, FStartWorkDate, FEndWorkDate)
  VALUES (2001, 1, 2101, 'WB1-1', 10, 801, 601, 0, 100, 100, '2026-03-02', '2026-03-04')
INSERT INTO SHWorkBillEntry
  (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN, FOperID, FWorkCenterID, FStatus,
   FAuxQtyPlan, FQtyPlan, FStartWorkDate, FEndWorkDate)
  VALUES (2001, 2, 2102, 'WB1-2', 20, 802, 602, 0, 100, 100, '2026-03-05', '2026-03-09')
INSERT INTO SHWorkBillEntry
  (FInterID, FEntryID, FWBInterID, FWorkBillNo, FOperSN, FOperID, FWorkCenterID, FStatus,
   FAuxQtyPlan, FQtyPlan, FStartWorkDate, FEndWorkDate)
  VALUES (2001, 3, 2103, 'WB1-3', 30, 803, 603, 0, 100, 100, '2026-03-10', '2026-03-13')
UPDATE ICBillNo SET FCurNo = 1 WHERE FBillID = 52
GO

-- The factory calendar for 2026 and 2027, in t_WorkCalendar and as calendar 999 of
-- T_MutiWorkCal: Saturdays, Sundays and Labour Day (2026-05-01) are non-working days (FInterID 0);
-- working days are numbered 1, 2, ... in date order.
DECLARE @Day datetime
DECLARE @Last datetime
DECLARE @Weekday int
DECLARE @Number int
DECLARE @FInterID int
SELECT @Day = '2026-01-01', @Last = '2027-12-31', @Number = 0
WHILE @Day <= @Last
BEGIN
  -- Days since Monday 2025-12-29, so that 5 and 6 are Saturday and Sunday whatever the
  -- session's first day of the week is.
  SET @Weekday = DATEDIFF(day, '2025-12-29', @Day) % 7
  IF @Weekday >= 5 OR @Day = '2026-05-01'
    SET @FInterID = 0
  ELSE
  BEGIN
    SET @Number = @Number + 1
    SET @FInterID = @Number
  END
  INSERT INTO t_WorkCalendar (FDay, FInterID) VALUES (@Day, @FInterID)
  INSERT INTO T_MutiWorkCal (FCalID, FDay, FInterID) VALUES (999, @Day, @FInterID)
  SET @Day = DATEADD(day, 1, @Day)
END
