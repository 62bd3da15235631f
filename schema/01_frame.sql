-- Tables of the frame: site settings, bill-number rules, id counters, the list of stored
-- procedures, column type facts and accounting periods. Their rows are in 10_settings.sql.
-- Conventions of every table file: ids int, quantities and hours decimal(28,10) NOT NULL DEFAULT 0,
-- flags and codes int NOT NULL with their neutral value, texts DEFAULT '', dates and the columns
-- the rules set to Null nullable; so a row can be inserted naming only the columns it needs.

-- Per-site settings, one row per category ('SH' shop floor, 'IC' inventory and costing) and key.
-- FValue is text; the rules convert it where they compare it with a number.
CREATE TABLE t_SystemProfile (
  FCategory    varchar(30) NOT NULL,              -- 'SH' or 'IC'
  FKey         varchar(50) NOT NULL,
  FValue       nvarchar(255) NULL,                -- Null reads as the rule's own default
  FDescription nvarchar(255) NOT NULL DEFAULT '',
  PRIMARY KEY (FCategory, FKey)
)

-- Bill-number rules, one row per bill type: prefix, counter, number pattern and suffix. A Null
-- prefix, suffix or pattern means none; a Null counter makes the next number "1".
CREATE TABLE ICBillNo (
  FBillID    int NOT NULL DEFAULT 0,           -- bill type
  FBillName  nvarchar(80) NOT NULL DEFAULT '',
  FPreLetter varchar(20) NULL,
  FSufLetter varchar(20) NULL,
  FFormat    varchar(30) NULL,                 -- number pattern, e.g. a run of 0 for leading zeros
  FCurNo     int NULL,                         -- the last number handed out
  PRIMARY KEY (FBillID)
)

-- Counters of entry-level ids that the rules hand out themselves ('ICTaskDispBill' numbers task
-- dispatch entries, 'IcmoRpt' numbers production task report lines).
CREATE TABLE ICMaxNum (
  FTableName varchar(50) NOT NULL,
  FMaxNum    int NOT NULL DEFAULT 0, -- the last id handed out
  PRIMARY KEY (FTableName)
)

-- Stored procedures this database offers; cached per process by the data source.
CREATE TABLE t_SupportedProc (
  FProcName varchar(128) NOT NULL,
  PRIMARY KEY (FProcName)
)

-- Column types by number, for the data source's type-name lookups. A Null precision or scale means
-- the type takes no length or no scale.
CREATE TABLE t_DataTypeInfo (
  FDataType     int NOT NULL DEFAULT 0,
  FTypeName     varchar(50) NOT NULL DEFAULT '',
  FMaxPrecision int NULL,
  FMinScale     int NULL,
  FMaxScale     int NULL,
  FActualType   int NOT NULL DEFAULT 0,          -- the provider's type code
  FBindType     int NOT NULL DEFAULT 0,          -- type code for parameters
  FActualSize   int NULL,                        -- bytes; Null = the declared length
  PRIMARY KEY (FDataType)
)

-- Accounting periods. A production task closed before the start of the current IC period
-- (t_SystemProfile 'CurrentYear', 'CurrentPeriod') is not reopened automatically.
CREATE TABLE T_PeriodDate (
  FYear      int NOT NULL DEFAULT 0,
  FPeriod    int NOT NULL DEFAULT 0,
  FStartDate datetime NULL,
  FEndDate   datetime NULL,
  PRIMARY KEY (FYear, FPeriod)
)
