-- The rows a new database starts with: site settings with neutral values, bill-number rules and
-- id counters, the stored procedure list, column type facts, accounting periods 2024-2027 and the
-- names of the yes/no codes. A site changes settings by updating t_SystemProfile.FValue.

-- Site settings. "Neutral" means: the setting adds no refusal or side effect of its own, so the
-- chain behaves by its core rules until a site opts in. Each row says what the value chooses.
-- 1: checking a task dispatch bill is not held to the received quantity
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'TASKDISP_CONTROLQTYPLAN', '1',
          N'Dispatch control: 0 = checked dispatch may not exceed what the operation received')
-- 1: a first operation done in house (nothing reaches it by shift bill) is not dispatch-controlled
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'FirstOperIsNull', '1',
          N'With dispatch control: 0 = also control a first operation done in house')
-- 1: shift bills that only receive are not held to the planned quantity
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'SHOPPROC_CONTROLRECEIVE', '1',
          N'Shift bills that only receive: 0 = held to planned x 100 / yield, 1 = no limit')
-- 1: no finished / handed-over test on the receiving operation
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'PROCRPT_REPORTQTY', '1',
          N'Shift bill check: 0 = receiving operation may not finish or hand over beyond receipt')
-- 0: reports keep auxiliary and base quantities only (procedure code 582)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'ShopConversionManage', '0',
          N'Shop conversion management: 1 = reports also keep quantities in the operation unit')
-- 0: consumed when products are received (reports leave it alone)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'WIPDeductMode', '0',
          N'Work in process is consumed by: 0 product receipts, 1 operation and task reports')
-- 0: proportional to the required quantity of each material line
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'BACKFLUSH_STANDARD', '0',
          N'Work in process consumed: 0 in proportion to the required quantity, 1 by usage')
-- 0: stock bills never close or reopen production tasks
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'MO_CLOSEOPTION', '0',
          N'Automatic task close, bits: 2 receipt at lower limit, 1 all issued, 4 none in process')
-- 0: scrap bills are not held to the issued quantity
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'ITEMSCRAP_CONTROLQTY', '0',
          N'Scrap control: 1 = scrapped material may not exceed what was issued')
-- 1: receipts are not held to FAuxInHighLimitQty
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'ReportInStockExceedsUpperLimit', '1',
          N'Product receipt: 1 = may exceed the task''s upper receipt limit, 0 = refused above it')
-- 0: no period control
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'ICMORptPeriod', '0',
          N'Task reports: 1 = reports finished before the current period cannot be (un)checked')
-- 1: the maker of a task dispatch bill may check it himself (read by the plan-check component)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'TASKDISP_MAKERMAYCHECK', '1',
          N'Task dispatch bills: 1 = the maker may check his own bill, 0 = someone else must')
-- 0: anyone with the right may uncheck a task dispatch bill (read by the plan-check component)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('SH', 'TASKDISP_ONLYCHECKERUNCHECKS', '0',
          N'Task dispatch bills: 1 = only the user who checked a bill may uncheck it')
-- 1: the system counts as initialised (0 blocks every task dispatch check)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'ICClosed', '1',
          N'Initialisation finished: 0 = task dispatch bills cannot be checked or closed yet')
-- 0: issues are not held to the material list
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'StrictToPPBOM', '0',
          N'Issue control: 1 = issues may not exceed the material list (required + supplied)')
-- 0: no kit check
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'ProductSuitControl', '0',
          N'Kit check of product receipts: 0 none, 1 warn, 2 or more refuse')
-- 0: no mode chosen (the kit check passes even when switched on)
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'ProductSuitControlItem', '0',
          N'Kit check mode: 1 any material issued, 2 key materials in kits')
-- 0: full item numbers
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'UseShortNumber', '0',
          N'Messages name materials by: 0 number, 1 short number')
-- 2024 with CurrentPeriod 1: the first period installed, so no close is too old to reopen
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'CurrentYear', '2024',
          N'Year of the current IC period')
-- see CurrentYear
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription)
  VALUES ('IC', 'CurrentPeriod', '1',
          N'Current IC period within CurrentYear')

-- Bill-number rules of the shop-floor bills: prefix and counter, no pattern or suffix, so numbers
-- run WB1, WB2, ... The counter holds the last number handed out.
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo)
  VALUES (52, N'Operation plan bill', 'WB', 0)
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo)
  VALUES (502, N'Task dispatch bill', 'TD', 0)
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo)
  VALUES (581, N'Operation shift bill', 'OS', 0)
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo)
  VALUES (582, N'Operation report', 'OR', 0)
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo)
  VALUES (551, N'Production task report', 'TR', 0)

-- Entry-level id counters: task dispatch entries and production task report lines are numbered
-- from 1001 on.
INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES ('ICTaskDispBill', 1000)
INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES ('IcmoRpt', 1000)

-- The stored procedures of 20_procedures.sql.
INSERT INTO t_SupportedProc (FProcName) VALUES ('prc_SHUpdateBillDoubleQty')

-- Column types. Type codes are the provider's (3 integer, 2 small integer, 131 numeric, 5 double,
-- 200 varchar, 202 nvarchar, 135 timestamp, 11 boolean); a type with a maximum precision takes a
-- length, one with scale limits also a scale.
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FActualType, FBindType, FActualSize)
  VALUES (1, 'int', 3, 3, 4)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FActualType, FBindType, FActualSize)
  VALUES (2, 'smallint', 2, 2, 2)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FMaxPrecision, FMinScale, FMaxScale, FActualType, FBindType, FActualSize)
  VALUES (3, 'decimal', 38, 0, 38, 131, 131, 19)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FActualType, FBindType, FActualSize)
  VALUES (4, 'float', 5, 5, 8)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FMaxPrecision, FActualType, FBindType)
  VALUES (5, 'varchar', 8000, 200, 200)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FMaxPrecision, FActualType, FBindType)
  VALUES (6, 'nvarchar', 4000, 202, 202)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FActualType, FBindType, FActualSize)
  VALUES (7, 'datetime', 135, 135, 8)
INSERT INTO t_DataTypeInfo
  (FDataType, FTypeName, FActualType, FBindType, FActualSize)
  VALUES (8, 'bit', 11, 11, 1)

-- Accounting periods: calendar months of 2024 to 2027.
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 1, '2024-01-01', '2024-01-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 2, '2024-02-01', '2024-02-29')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 3, '2024-03-01', '2024-03-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 4, '2024-04-01', '2024-04-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 5, '2024-05-01', '2024-05-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 6, '2024-06-01', '2024-06-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 7, '2024-07-01', '2024-07-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 8, '2024-08-01', '2024-08-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 9, '2024-09-01', '2024-09-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 10, '2024-10-01', '2024-10-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 11, '2024-11-01', '2024-11-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2024, 12, '2024-12-01', '2024-12-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 1, '2025-01-01', '2025-01-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 2, '2025-02-01', '2025-02-28')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 3, '2025-03-01', '2025-03-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 4, '2025-04-01', '2025-04-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 5, '2025-05-01', '2025-05-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 6, '2025-06-01', '2025-06-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 7, '2025-07-01', '2025-07-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 8, '2025-08-01', '2025-08-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 9, '2025-09-01', '2025-09-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 10, '2025-10-01', '2025-10-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 11, '2025-11-01', '2025-11-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2025, 12, '2025-12-01', '2025-12-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 1, '2026-01-01', '2026-01-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 2, '2026-02-01', '2026-02-28')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 3, '2026-03-01', '2026-03-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 4, '2026-04-01', '2026-04-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 5, '2026-05-01', '2026-05-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 6, '2026-06-01', '2026-06-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 7, '2026-07-01', '2026-07-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 8, '2026-08-01', '2026-08-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 9, '2026-09-01', '2026-09-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 10, '2026-10-01', '2026-10-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 11, '2026-11-01', '2026-11-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2026, 12, '2026-12-01', '2026-12-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 1, '2027-01-01', '2027-01-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 2, '2027-02-01', '2027-02-28')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 3, '2027-03-01', '2027-03-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 4, '2027-04-01', '2027-04-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 5, '2027-05-01', '2027-05-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 6, '2027-06-01', '2027-06-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 7, '2027-07-01', '2027-07-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 8, '2027-08-01', '2027-08-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 9, '2027-09-01', '2027-09-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 10, '2027-10-01', '2027-10-31')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 11, '2027-11-01', '2027-11-30')
INSERT INTO T_PeriodDate (FYear, FPeriod, FStartDate, FEndDate)
  VALUES (2027, 12, '2027-12-01', '2027-12-31')

-- Names of the yes/no codes that yes/no columns hold.
INSERT INTO t_SubMessage (FInterID, FNumber, FName) VALUES (1058, 'Y', N'是')
INSERT INTO t_SubMessage (FInterID, FNumber, FName) VALUES (1059, 'N', N'否')
