-- Master data the rules read: items, units of measure, stocks and places, departments,
-- calendars, work centres and resources, code names and bills of material.

-- Items. FItemID is the item's id. Statements join this table with bills and read some bill columns
-- unqualified, so it must not grow columns named FInterID, FBillNo, FPlanOrderNo or any quantity
-- column of ICMO.
CREATE TABLE t_ICItem (
  FItemID      int NOT NULL DEFAULT 0,
  FNumber      varchar(80) NOT NULL DEFAULT '',
  FShortNumber varchar(80) NOT NULL DEFAULT '',
  FName        nvarchar(255) NOT NULL DEFAULT '',
  FModel       nvarchar(255) NOT NULL DEFAULT '',
  FUnitID      int NOT NULL DEFAULT 0,            -- the item's production unit (t_MeasureUnit)
  FQtyDecimal  int NOT NULL DEFAULT 4,            -- decimals of its quantities
  FProChkMde   int NOT NULL DEFAULT 352,          -- 352: reported passed quantities reach the task
  FIsKeyItem   int NOT NULL DEFAULT 0,            -- not 0: key material of the kit check
  FFixLeadTime decimal(28,10) NOT NULL DEFAULT 0, -- fixed lead time in working days
  FPlanMode    int NOT NULL DEFAULT 14036,        -- 14035 or 14036
  PRIMARY KEY (FItemID)
)

-- Base data of items that the kit check reads beside t_ICItem; keep FQtyDecimal equal to the
-- t_ICItem row of the same item.
CREATE TABLE t_ICItemBase (
  FItemID     int NOT NULL DEFAULT 0,
  FQtyDecimal int NOT NULL DEFAULT 4,
  PRIMARY KEY (FItemID)
)

-- Units of measure. FItemID and FMeasureUnitID both hold the unit's id (statements join on either).
-- A base-unit quantity is the auxiliary quantity times (FCoefficient + FScale). Like t_ICItem, it
-- must not grow columns named FInterID, FBillNo, FPlanOrderNo or after a bill's quantities or
-- times.
CREATE TABLE t_MeasureUnit (
  FItemID        int NOT NULL DEFAULT 0,            -- the unit's id
  FMeasureUnitID int NOT NULL DEFAULT 0,            -- the same id again
  FUnitGroupID   int NOT NULL DEFAULT 0,
  FNumber        varchar(80) NOT NULL DEFAULT '',
  FName          nvarchar(80) NOT NULL DEFAULT '',
  FCoefficient   decimal(28,10) NOT NULL DEFAULT 1, -- base units per unit
  FScale         decimal(28,10) NOT NULL DEFAULT 0, -- added to the coefficient
  PRIMARY KEY (FItemID)
)
CREATE INDEX IX_t_MeasureUnit_FMeasureUnitID ON t_MeasureUnit (FMeasureUnitID)

-- Stocks (warehouses). FMRPAvail 0 keeps a stock out of material planning.
CREATE TABLE t_Stock (
  FItemID   int NOT NULL DEFAULT 0,            -- the stock's id
  FNumber   varchar(80) NOT NULL DEFAULT '',
  FName     nvarchar(255) NOT NULL DEFAULT '',
  FMRPAvail int NOT NULL DEFAULT 1,            -- 1 = takes part in material planning
  PRIMARY KEY (FItemID)
)

-- Places (locations) inside stocks.
CREATE TABLE t_StockPlace (
  FSPID   int NOT NULL DEFAULT 0,
  FNumber varchar(80) NOT NULL DEFAULT '',
  FName   nvarchar(255) NOT NULL DEFAULT '',
  PRIMARY KEY (FSPID)
)

-- Departments and workshops. A Null FCalID means the factory calendar (999).
CREATE TABLE T_Department (
  FItemID int NOT NULL DEFAULT 0,            -- the department's id
  FNumber varchar(80) NOT NULL DEFAULT '',
  FName   nvarchar(255) NOT NULL DEFAULT '',
  FCalID  int NULL,                          -- T_MutiWorkCal calendar; Null = calendar 999
  PRIMARY KEY (FItemID)
)

-- The factory calendar, one row per day. FInterID is 0 on a non-working day; working days carry a
-- running number, so that "n working days later" is a number lookup.
CREATE TABLE t_WorkCalendar (
  FDay     datetime NOT NULL,
  FInterID int NOT NULL DEFAULT 0, -- 0 non-working day; else the running number of the working day
  PRIMARY KEY (FDay)
)

-- Calendars by FCalID, numbered as t_WorkCalendar. Calendar 999 is the factory calendar again and
-- holds the same days as t_WorkCalendar; a department, work centre or resource without a calendar
-- of its own uses it.
CREATE TABLE T_MutiWorkCal (
  FCalID   int NOT NULL DEFAULT 0,
  FDay     datetime NOT NULL,
  FInterID int NOT NULL DEFAULT 0, -- 0 non-working day; else the running number of the working day
  PRIMARY KEY (FCalID, FDay)
)

-- Work centres. Efficiency and usage rate are percentages here.
CREATE TABLE T_WorkCenter (
  FItemID       int NOT NULL DEFAULT 0,              -- the work centre's id
  FNumber       varchar(80) NOT NULL DEFAULT '',
  FName         nvarchar(255) NOT NULL DEFAULT '',
  FCalID        int NOT NULL DEFAULT 999,            -- T_MutiWorkCal calendar
  FWorkCapacity decimal(28,10) NOT NULL DEFAULT 8,   -- hours a day
  FEfficiency   decimal(28,10) NOT NULL DEFAULT 100, -- percent
  FUseingRate   decimal(28,10) NOT NULL DEFAULT 100, -- percent
  PRIMARY KEY (FItemID)
)
CREATE INDEX IX_T_WorkCenter_FCalID ON T_WorkCenter (FCalID)

-- Resources of work centres. A day's capacity is runs x hours x usage rate x efficiency, the rates
-- being fractions here (1 = full).
CREATE TABLE T_Resource (
  FInterID      int NOT NULL DEFAULT 0,            -- the resource's id
  FNumber       varchar(80) NOT NULL DEFAULT '',
  FName         nvarchar(255) NOT NULL DEFAULT '',
  FWorkCenterID int NOT NULL DEFAULT 0,
  FCalID        int NOT NULL DEFAULT 999,          -- T_MutiWorkCal calendar
  FKey          int NOT NULL DEFAULT 1,            -- 1 = counts in daily hours
  FRuns         decimal(28,10) NOT NULL DEFAULT 1,
  FHours        decimal(28,10) NOT NULL DEFAULT 8,
  FUseingRate   decimal(28,10) NOT NULL DEFAULT 1,
  FEfficiency   decimal(28,10) NOT NULL DEFAULT 1,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_T_Resource_FWorkCenterID ON T_Resource (FWorkCenterID)
CREATE INDEX IX_T_Resource_FCalID ON T_Resource (FCalID)

-- Exceptions to a resource's capacity on single days (a day off is an entry of 0).
CREATE TABLE T_ResourceExpInfo (
  FInterID    int NOT NULL DEFAULT 0,            -- the resource
  FDate       datetime NOT NULL,
  FRelAbility decimal(28,10) NOT NULL DEFAULT 0, -- hours available that day
  PRIMARY KEY (FInterID, FDate)
)

-- Names of the system's enumerated codes (1058 yes, 1059 no, material types, ...).
CREATE TABLE t_SubMessage (
  FInterID int NOT NULL DEFAULT 0,            -- the code
  FTypeID  int NOT NULL DEFAULT 0,            -- the code group
  FNumber  varchar(80) NOT NULL DEFAULT '',
  FName    nvarchar(255) NOT NULL DEFAULT '',
  PRIMARY KEY (FInterID)
)

-- Bills of material: one header per parent item and version.
CREATE TABLE ICBom (
  FInterID   int NOT NULL DEFAULT 0,
  FBOMNumber varchar(80) NOT NULL DEFAULT '',
  FBomType   int NOT NULL DEFAULT 0,
  FItemID    int NOT NULL DEFAULT 0,            -- the parent item
  FUnitID    int NOT NULL DEFAULT 0,
  FQty       decimal(28,10) NOT NULL DEFAULT 1, -- parent quantity the component quantities are for
  FAuxQty    decimal(28,10) NOT NULL DEFAULT 1,
  FRoutingID int NOT NULL DEFAULT 0,
  FBomSkip   int NOT NULL DEFAULT 1059,         -- yes/no
  FStatus    int NOT NULL DEFAULT 0,
  FUseStatus int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID)
)
CREATE INDEX IX_ICBom_FItemID ON ICBom (FItemID)

-- Component lines of bills of material.
CREATE TABLE ICBomChild (
  FInterID      int NOT NULL DEFAULT 0,            -- ICBom
  FEntryID      int NOT NULL DEFAULT 0,
  FItemID       int NOT NULL DEFAULT 0,            -- the component item
  FUnitID       int NOT NULL DEFAULT 0,
  FQty          decimal(28,10) NOT NULL DEFAULT 0, -- per parent quantity of the header
  FAuxQty       decimal(28,10) NOT NULL DEFAULT 0,
  FScrap        decimal(28,10) NOT NULL DEFAULT 0, -- scrap rate in percent
  FMaterielType int NOT NULL DEFAULT 371,          -- 371 material, 372-374 products, 376 returned
  FMarshalType  int NOT NULL DEFAULT 0,
  FOperID       int NOT NULL DEFAULT 0,
  FOperSN       int NOT NULL DEFAULT 0,
  FBackFlush    int NOT NULL DEFAULT 1059,         -- yes/no
  FStockID      int NOT NULL DEFAULT 0,
  FSPID         int NOT NULL DEFAULT 0,
  FDetailID     int NOT NULL DEFAULT 0,            -- characteristic detail line
  FNote         nvarchar(255) NOT NULL DEFAULT '',
  PRIMARY KEY (FInterID, FEntryID)
)
CREATE INDEX IX_ICBomChild_FItemID ON ICBomChild (FItemID)
