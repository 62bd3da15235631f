-- The sample factory's repair path for operation shift bills. Frames that fail at welding are
-- shifted to repair; the planner then makes a repair (rework) operation plan bill from the shift
-- bill, whose operations re-weld the frames in house and have them powder-coated again by a
-- subcontractor, after which they return qualified to welding. The repair bill itself is made when
-- frames go to repair (the demo makes it); the factory holds the operations it is made of.
-- Ids: operation codes 804-805; the coating shop is supplier 901 (suppliers have no table here).

-- Operation codes of the repair path (code group 61, as cut, weld and assemble).
INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName)
  VALUES (804, 61, 'OP-REWELD', N'Repair weld')
INSERT INTO t_SubMessage (FInterID, FTypeID, FNumber, FName)
  VALUES (805, 61, 'OP-COAT', N'Powder coat (subcontracted)')
