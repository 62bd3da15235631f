// clsMWorkBill's save rules. The host writes the operation plan bill itself; EndSave then keeps
// the operations in FOperSN order without moving any across a checked one, renumbers them, keeps
// a rework bill's shift bill pointed at its first operation and reopens the bill's header when an
// operation is unchecked.
#include <string>

#include "bills/workbill/cls_m_work_bill.h"
#include "corva/containers.h"
#include "corva/error.h"
#include "frame/caller_text.h"
#include "frame/codes.h"
#include "frame/messages.h"
#include "frame/sql_text.h"

namespace CorvaMSHTransBills {
namespace {

using corva::frame::Call;
using corva::frame::FormatResMsg;

// #Oper numbers the bill's operations 1, 2, 3, ... in FOperSN order (FNewEntryID). The query
// that ends the batch finds the checked operations that an operation moving to an earlier row
// would jump over.
std::string BuildOrderCheckBatch(const std::string& id) {
  return JoinCrLf({
      "--检查插入的工序计划单是否符合条件 ",
      " SET NOCOUNT ON ",
      " Create Table #Oper (FNewEntryID int IDENTITY (1, 1) not null,FOperSN int not null,"
      "FEntryID int not null,FStatus int not null) ",
      " Insert Into #Oper",
      " Select FOperSN,FEntryID,FStatus from SHWorkBillEntry where FinterID = " + id +
          " Order by FOperSN ",
      " Select t2.FEntryID From ",
      " #oper t1, shworkbillentry t2 ",
      " Where t1.FNewEntryID<t1.FEntryID and t2.FEntryID >= t1.FNewEntryID"
      " And t2.FEntryID<t1.FEntryID And t2.FStatus <> 0 And t2.FinterID = " +
          id,
  });
}

// The checked operations that an operation moving to a later row would jump over.
std::string BuildMovedLaterQuery(const std::string& id) {
  return JoinCrLf({
      " Select t2.FEntryID From ",
      " #oper t1, shworkbillentry t2 ",
      " Where t1.FNewEntryID>t1.FEntryID and t2.FEntryID <= t1.FNewEntryID"
      " And t2.FEntryID>t1.FEntryID and t2.FStatus <> 0 And t2.FinterID = " +
          id,
  });
}

// Renumbers the operations, then, for a rework bill made by an operation shift bill, points the
// shift bill's receiving side at the rework's first operation and books the shifted quantity as
// that operation's rework receipt; finally refreshes the bill's base-unit quantities.
std::string BuildRenumberBatch(const std::string& id) {
  return JoinCrLf({
      " Update t1 ",
      " Set t1.FEntryID = t2.FNewEntryID ",
      " From SHWorkBillEntry t1 inner join #Oper t2 on t1.FOperSN = t2.FOperSN ",
      " Where t1.FinterID = " + id,
      " Declare @FBillType int ",
      " Declare @FOperShiftBillID  int ",
      " Declare @FMinWBInterID  int ",
      " Declare @FMinWCInterID  int ",
      " Declare @FOutSupplier  int ",
      " Declare @FMinOperID  int ",
      " Declare @FMinOperatorID  int ",
      " Select @FOperShiftBillID=isnull(FOperShiftBillID,0),@FBillType=isnull(FBillType,0) "
      "from SHWorkBill where FInterID= " +
          id,
      " if @FBillType=11621 and @FOperShiftBillID>0  ",
      " begin  ",
      "     Select @FMinWBInterID=isnull(FWBInterID,0) ,@FMinOperID=FOperID,"
      "@FMinWCInterID=isnull(FWorkCenterID,0),@FOutSupplier=isnull(FSupplyID,0),"
      "@FMinOperatorID=isnull(FWorkerID,0) from SHWorkBillEntry where FInterID=" +
          id + " and FOperSN=(Select isnull(min(FOperSN),0) from SHWorkBillEntry where FInterID=" +
          id + ")",
      "     Update ICOperShift Set ICOperShift.FInWBInterID=@FMinWBInterID,"
      "ICOperShift.FInOperID=@FMinOperID,ICOperShift.FInWorkCenterID=@FMinWCInterID,"
      "ICOperShift.FInSupplier=@FOutSupplier,ICOperShift.FInOperatorID=@FMinOperatorID",
      "     where FInterID=@FOperShiftBillID",
      "     Update SHWorkBillEntry Set FAuxRepReceiveSelQty=T1.FAuxQtyShift,"
      "FAuxRepReceiveQty=T1.FAuxQtyShift from (Select FAuxQtyShift from ICOperShift where "
      "FInterID=@FOperShiftBillID) T1 ",
      "     Where FWBInterID=@FMinWBInterID",
      "     EXEC prc_SHUpdateBillDoubleQty -52, @FMinWBInterID ",
      " end  ",
      " Drop Table #Oper ",
      // A checker id of 0 means nobody; the whole table is cleaned, not only this bill.
      " Update SHWorkBillEntry set FCheckerID=Null where FCheckerID=0 ",
      " EXEC prc_SHUpdateBillDoubleQty 52, " + id,
  });
}

}  // namespace

bool clsMWorkBill::BeginSave(const std::string&, corva::VectorPtr&, std::string&) { return true; }

bool clsMWorkBill::EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect,
                           std::string& ReturnMsg) {
  return frame_.Run(sDsn, ReturnMsg, {.save_vect = SaveVect}, [&](Call& call) {
    if (!SaveVect) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    corva::DictionaryPtr header = SaveVect->Item(1).As<corva::Dictionary>();
    if (!header) throw corva::Error::Runtime(corva::kErrObjectNotSet);
    // The host's id goes into the statements as the host gave it, once it reads as an id.
    const std::string id =
        corva::frame::CheckIdText("FInterID", header->Value("FInterID").ToText());
    const corva::ConnectionPtr& db = call.Connection();

    corva::RecordsetPtr jumped = db->Execute(BuildOrderCheckBatch(id));
    if (!jumped->Eof()) {
      db->Execute(" Drop Table #Oper ");
      return call.Refuse(FormatResMsg("第%1行的工序计划单已经审核,不允许在前面插入工序！",
                                      call.lang(), {jumped->Fields("FEntryID")}));
    }
    jumped = db->Execute(BuildMovedLaterQuery(id));
    if (!jumped->Eof()) {
      db->Execute(" Drop Table #Oper ");
      return call.Refuse(FormatResMsg("第%1行的工序计划单已经审核,不允许在后面插入工序！",
                                      call.lang(), {jumped->Fields("FEntryID")}));
    }
    db->Execute(BuildRenumberBatch(id));

    // A bill with an unchecked operation is itself unchecked.
    corva::RecordsetPtr unchecked = db->Execute(
        "Select Count(*) From SHWorkBillEntry where FInterID = " + id + " and FStatus=0");
    if (unchecked->Fields(0).AsLong() > 0) {
      db->Execute("Update SHWorkBill set FStatus = 0 Where FInterID = " + id);
    }
    return true;
  });
}

}  // namespace CorvaMSHTransBills
