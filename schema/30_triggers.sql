-- Triggers of ICMRPResult. A sales order counts the planned-order rows derived from it in
-- SEOrder.FChildren; these triggers keep the count right when such rows are deleted or moved to
-- another sales order. The planned order save switches them off around its own work: it takes a
-- bill's rows out of the count itself before the rows are rewritten (ICMrpResult_Del off, so they
-- are not taken out twice) and normalises quantities with Update_ICMrpResult off.
-- Each CREATE TRIGGER is a batch of its own, as SQL Server requires; GO lines separate them.

-- Deleted rows no longer count for their sales order (never below 0).
CREATE TRIGGER ICMrpResult_Del ON ICMRPResult AFTER DELETE
AS
BEGIN
  SET NOCOUNT ON
  UPDATE s SET s.FChildren = CASE WHEN s.FChildren > d.FCount THEN s.FChildren - d.FCount ELSE 0 END
    FROM SEOrder s
    INNER JOIN (SELECT FOrgSaleInterID, COUNT(*) AS FCount
                  FROM deleted
                  WHERE FOrgSaleInterID > 0
                  GROUP BY FOrgSaleInterID) d ON s.FInterID = d.FOrgSaleInterID
END
GO

-- A row moved to another sales order counts for the new order instead of the old one. Updates
-- that leave FOrgSaleInterID as it is change nothing.
CREATE TRIGGER Update_ICMrpResult ON ICMRPResult AFTER UPDATE
AS
BEGIN
  SET NOCOUNT ON
  UPDATE s SET s.FChildren = CASE WHEN s.FChildren > m.FCount THEN s.FChildren - m.FCount ELSE 0 END
    FROM SEOrder s
    INNER JOIN (SELECT d.FOrgSaleInterID, COUNT(*) AS FCount
                  FROM deleted d
                  INNER JOIN inserted i ON i.FInterID = d.FInterID AND i.FEntryID = d.FEntryID
                  WHERE d.FOrgSaleInterID > 0 AND d.FOrgSaleInterID <> i.FOrgSaleInterID
                  GROUP BY d.FOrgSaleInterID) m ON s.FInterID = m.FOrgSaleInterID
  UPDATE s SET s.FChildren = s.FChildren + m.FCount
    FROM SEOrder s
    INNER JOIN (SELECT i.FOrgSaleInterID, COUNT(*) AS FCount
                  FROM inserted i
                  INNER JOIN deleted d ON d.FInterID = i.FInterID AND d.FEntryID = i.FEntryID
                  WHERE i.FOrgSaleInterID > 0 AND i.FOrgSaleInterID <> d.FOrgSaleInterID
                  GROUP BY i.FOrgSaleInterID) m ON s.FInterID = m.FOrgSaleInterID
END
