-- prc_SHUpdateBillDoubleQty: after the rules change the auxiliary-unit quantities (FAux...) of a
-- bill or of one entry, brings the base-unit twins in line. The whole chain counts in the
-- production task's unit, so the base quantity is the auxiliary one times FCoefficient + FScale of
-- the task's unit (t_MeasureUnit), the ratio the roll-ups of the rules use; without a unit it is 1.

-- Codes (@FCode) and ids (@FID):
--     52  operation plan bill FInterID         every operation of the bill (SHWorkBillEntry)
--    -52  operation FWBInterID                 that operation
--    502  task dispatch bill FInterID          every entry of the bill (ICTaskDispBillEntry)
--   -502  task dispatch entry FTaskDispInterID that entry
--    581  operation shift bill FInterID        the bill (ICOperShift)
--    582  operation report FInterID            every line of the report (SHProcRpt)
--   5821  the same, under shop conversion management, and
--   2520  the same for a report on a flow card: also the lines' operation-unit quantities,
--         FOperAux... = FAux... x FConversion x FCoefficient of the line's own unit.
-- Any other code is a fault of the caller and stops its batch with an error naming the code.
CREATE PROCEDURE prc_SHUpdateBillDoubleQty
  @FCode int,
  @FID int
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @BillID int
  DECLARE @OneRow int
  DECLARE @ICMOInterID int
  DECLARE @Ratio float
  DECLARE @Message varchar(100)
  DECLARE @Failure int
  SELECT @BillID = 0, @OneRow = 0, @ICMOInterID = 0, @Ratio = 1

  IF @FCode = 52 OR @FCode = -52
  BEGIN
    IF @FCode = 52
      SET @BillID = @FID
    ELSE
    BEGIN
      SET @OneRow = 1
      SELECT @BillID = FInterID FROM SHWorkBillEntry WHERE FWBInterID = @FID
    END
    SELECT @ICMOInterID = FICMOInterID FROM SHWorkBill WHERE FInterID = @BillID
    SELECT @Ratio = ISNULL(u.FCoefficient, 1) + ISNULL(u.FScale, 0)
      FROM ICMO m INNER JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID
      WHERE m.FInterID = @ICMOInterID
    UPDATE SHWorkBillEntry SET
        FQtyPlan = FAuxQtyPlan * @Ratio,
        FQtyFinish = FAuxQtyFinish * @Ratio,
        FQtyPass = FAuxQtyPass * @Ratio,
        FQtyScrap = FAuxQtyScrap * @Ratio,
        FQtyForItem = FAuxQtyForItem * @Ratio,
        FQtyLost = FAuxQtyLost * @Ratio,
        FQtyGain = FAuxQtyGain * @Ratio,
        FQtyBack = FAuxQtyBack * @Ratio,
        FQtyTaskDispSel = FAuxQtyTaskDispSel * @Ratio,
        FQtyTaskDispAck = FAuxQtyTaskDispAck * @Ratio,
        FQtyHandOverSel = FAuxQtyHandOverSel * @Ratio,
        FQtyHandOver = FAuxQtyHandOver * @Ratio,
        FQtyReceiveSel = FAuxQtyReceiveSel * @Ratio,
        FQtyRecive = FAuxQtyRecive * @Ratio,
        FConvertQtyHandover = FAuxConvertQtyHandover * @Ratio,
        FConvertQtyRecive = FAuxConvertQtyRecive * @Ratio,
        FRepReceiveSelQty = FAuxRepReceiveSelQty * @Ratio,
        FRepReceiveQty = FAuxRepReceiveQty * @Ratio,
        FReprocessedQty = FAuxReprocessedQty * @Ratio,
        FReprocessedMoveSelQty = FAuxReprocessedMoveSelQty * @Ratio,
        FReprocessedMoveQty = FAuxReprocessedMoveQty * @Ratio,
        FQualifiedReprocessedQty = FAuxQualifiedReprocessedQty * @Ratio,
        FCheckCommitQty = FAuxCheckCommitQty * @Ratio
      WHERE FInterID = @BillID AND (@OneRow = 0 OR FWBInterID = @FID)
  END
  ELSE IF @FCode = 502 OR @FCode = -502
  BEGIN
    IF @FCode = 502
      SET @BillID = @FID
    ELSE
    BEGIN
      SET @OneRow = 1
      SELECT @BillID = FInterID FROM ICTaskDispBillEntry WHERE FTaskDispInterID = @FID
    END
    SELECT @ICMOInterID = FICMOInterID FROM ICTaskDispBill WHERE FInterID = @BillID
    SELECT @Ratio = ISNULL(u.FCoefficient, 1) + ISNULL(u.FScale, 0)
      FROM ICMO m INNER JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID
      WHERE m.FInterID = @ICMOInterID
    UPDATE ICTaskDispBillEntry SET
        FQtyPlan = FAuxQtyPlan * @Ratio,
        FQtyFinish = FAuxQtyFinish * @Ratio,
        FQtyPass = FAuxQtyPass * @Ratio,
        FQtyScrap = FAuxQtyScrap * @Ratio,
        FQtyForItem = FAuxQtyForItem * @Ratio,
        FQtyLoss = FAuxQtyLoss * @Ratio,
        FReprocessedQty = FAuxReprocessedQty * @Ratio
      WHERE FInterID = @BillID AND (@OneRow = 0 OR FTaskDispInterID = @FID)
  END
  ELSE IF @FCode = 581
  BEGIN
    SELECT @ICMOInterID = FICMOInterID FROM ICOperShift WHERE FInterID = @FID
    SELECT @Ratio = ISNULL(u.FCoefficient, 1) + ISNULL(u.FScale, 0)
      FROM ICMO m INNER JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID
      WHERE m.FInterID = @ICMOInterID
    UPDATE ICOperShift SET FQtyShift = FAuxQtyShift * @Ratio WHERE FInterID = @FID
  END
  ELSE IF @FCode = 582 OR @FCode = 5821 OR @FCode = 2520
  BEGIN
    SELECT @ICMOInterID = FICMOInterID FROM SHProcRptMain WHERE FInterID = @FID
    SELECT @Ratio = ISNULL(u.FCoefficient, 1) + ISNULL(u.FScale, 0)
      FROM ICMO m INNER JOIN t_MeasureUnit u ON u.FItemID = m.FUnitID
      WHERE m.FInterID = @ICMOInterID
    UPDATE SHProcRpt SET
        FQtyFinish = FAuxQtyFinish * @Ratio,
        FQtyPass = FAuxQtyPass * @Ratio,
        FQtyScrap = FAuxQtyScrap * @Ratio,
        FQtyForItem = FAuxQtyForItem * @Ratio,
        FReprocessedQty = FAuxReprocessedQty * @Ratio
      WHERE FInterID = @FID
    IF @FCode <> 582
      UPDATE r SET
          r.FOperAuxQtyPass = r.FAuxQtyPass * r.FConversion * ISNULL(u.FCoefficient, 1),
          r.FOperAuxQtyScrap = r.FAuxQtyScrap * r.FConversion * ISNULL(u.FCoefficient, 1),
          r.FOperAuxQtyForItem = r.FAuxQtyForItem * r.FConversion * ISNULL(u.FCoefficient, 1),
          r.FOperAuxReprocessedQty =
              r.FAuxReprocessedQty * r.FConversion * ISNULL(u.FCoefficient, 1)
        FROM SHProcRpt r
        LEFT JOIN t_MeasureUnit u ON u.FMeasureUnitID = r.FUnitID
        WHERE r.FInterID = @FID
  END
  ELSE
  BEGIN
    -- A failing conversion of the message text carries it: "Conversion failed when converting
    -- the varchar value 'prc_SHUpdateBillDoubleQty: unknown code 7' to data type int" (error
    -- 245). Unlike RAISERROR, a conversion error ends the caller's whole batch on SQL Server, so
    -- no statement after the EXEC runs on unconverted quantities.
    SET @Message = 'prc_SHUpdateBillDoubleQty: unknown code '
                   + ISNULL(CAST(@FCode AS varchar(12)), 'NULL')
    SET @Failure = CAST(@Message AS int)
  END
END
