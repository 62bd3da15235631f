-- The sample factory's calendar exceptions and bills of material, for the calendar and
-- bill-of-material questions of clsPublic: the assembly workshop's own calendar with a stocktaking
-- day, resource days with reduced or no capacity, BOMs of the desk lamp and the lamp shade that
-- match the material lists of tasks 1001 and 1002, and a subcontract order line for shades.
-- Ids: calendar 2, BOMs 3001-3002, subcontract order 3501; names of codes in t_SubMessage.

-- Names of the codes the BOM lines show (added only where the factory does not name them yet).
IF NOT EXISTS (SELECT 1 FROM t_SubMessage WHERE FInterID = 371)
  INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (371, 37, '371', N'Ordinary material')
IF NOT EXISTS (SELECT 1 FROM t_SubMessage WHERE FInterID = 1072)
  INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (1072, 107, 'USE', N'In use')
IF NOT EXISTS (SELECT 1 FROM t_SubMessage WHERE FInterID = 14035)
  INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (14035, 140, 'MTO', N'Make to order')
IF NOT EXISTS (SELECT 1 FROM t_SubMessage WHERE FInterID = 14036)
  INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName) VALUES (14036, 140, 'MTS', N'Make to stock')

-- Bill of material of the desk lamp (301): 0.125 kg of steel cut for the frame at operation 10,
-- a shade and a base fitted at assembly (30). Bases are issued by backflush.
INSERT INTO ICBom (FInterID, FBOMNumber, FBomType, FItemID, FUnitID, FQty, FAuxQty, FStatus, FUseStatus)
  VALUES (3001, 'BOM301', 0, 301, 1, 1, 1, 1, 1072)
INSERT INTO ICBomChild
  (FInterID, FEntryID, FItemID, FUnitID, FQty, FAuxQty, FOperID, FOperSN, FBackFlush, FStockID, FSPID)
  VALUES (3001, 1, 304, 3, 0.125, 0.125, 801, 10, 1059, 401, 4011)
INSERT INTO ICBomChild
  (FInterID, FEntryID, FItemID, FUnitID, FQty, FAuxQty, FOperID, FOperSN, FBackFlush, FStockID, FSPID)
  VALUES (3001, 2, 302, 1, 1, 1, 803, 30, 1059, 401, 0)
INSERT INTO ICBomChild
  (FInterID, FEntryID, FItemID, FUnitID, FQty, FAuxQty, FOperID, FOperSN, FBackFlush, FStockID, FSPID)
  VALUES (3001, 3, 303, 1, 1, 1, 803, 30, 1058, 401, 0)

-- Bill of material of the lamp shade (302): 0.08 kg of steel per shade.
INSERT INTO ICBom (FInterID, FBOMNumber, FBomType, FItemID, FUnitID, FQty, FAuxQty, FStatus, FUseStatus)
  VALUES (3002, 'BOM302', 0, 302, 1, 1, 1, 1, 1072)
INSERT INTO ICBomChild
  (FInterID, FEntryID, FItemID, FUnitID, FQty, FAuxQty, FOperID, FOperSN, FBackFlush, FStockID, FSPID)
  VALUES (3002, 1, 304, 3, 0.08, 0.08, 801, 10, 1059, 401, 4011)

-- A subcontract order line: 50 shades made to sales order SO-0001, to be fetched on Thursday
-- 2026-04-30. With the shade's lead time of one working day the steel must be sent on Monday
-- 2026-05-04, Labour Day lying between.
INSERT INTO ICSubContractEntry (FInterID, FEntryID, FItemID, FUnitID, FAuxQty, FQty, FFetchDate, FMTONO, FPlanMode)
  VALUES (3501, 1, 302, 1, 50, 50, '2026-04-30', 'SO-0001', 14035)

-- Resource exceptions: the welding robot runs one shift instead of two on 2026-03-05, and the
-- manual welding station is down for maintenance on 2026-03-06.
INSERT INTO T_ResourceExpInfo (FInterID, FDate, FRelAbility) VALUES (702, '2026-03-05', 8)
INSERT INTO T_ResourceExpInfo (FInterID, FDate, FRelAbility) VALUES (703, '2026-03-06', 0)
GO

-- The assembly workshop (502) keeps a calendar of its own, calendar 2: the factory calendar with a
-- stocktaking day on Tuesday 2026-03-03, its working days numbered afresh. Task 1001 (committed
-- 2026-03-02, lamp lead time 2) must therefore send its components on 2026-03-05.
UPDATE T_Department SET FCalID = 2 WHERE FItemID = 502
DECLARE @Day datetime
DECLARE @Base int
DECLARE @Number int
DECLARE @FInterID int
SELECT @Day = '2026-01-01', @Number = 0
WHILE @Day <= '2027-12-31'
BEGIN
  SELECT @Base = FInterID FROM T_MutiWorkCal WHERE FCalID = 999 AND FDay = @Day
  IF @Base = 0 OR @Day = '2026-03-03'
    SET @FInterID = 0
  ELSE
  BEGIN
    SET @Number = @Number + 1
    SET @FInterID = @Number
  END
  INSERT INTO T_MutiWorkCal (FCalID, FDay, FInterID) VALUES (2, @Day, @FInterID)
  SET @Day = DATEADD(day, 1, @Day)
END
