// clsMItemScrap ("CorvaMSHTransBills.clsMItemScrap"): the quantity control of production material
// scrap bills. Material issued to a production task may be scrapped only as far as it was issued:
// a scrap bill whose lines point at a material line (PPBOMEntry) that has more selected for
// scrapping, or scrapped, than was issued is refused.
#ifndef CORVA_BILLS_ITEMSCRAP_CLS_M_ITEM_SCRAP_H_
#define CORVA_BILLS_ITEMSCRAP_CLS_M_ITEM_SCRAP_H_

#include <cstdint>
#include <string>

#include "corva/containers.h"
#include "corva/variant.h"
#include "frame/codes.h"
#include "frame/method_frame.h"
#include "host/binding.h"

namespace CorvaMSHTransBills {

// Every call sets up the instance's parse object and data source afresh from its sDsn and runs in
// the caller's transaction. EndSave and CheckValid vote SetAbort as they start and SetComplete
// only when they succeed; EndSave runs CheckValid directly, so the two share one vote. One call at
// a time.
class clsMItemScrap : public corva::host::BoundClass<clsMItemScrap> {
 public:
  clsMItemScrap() = default;

  // Called before the host writes the bill: nothing to do; true, no vote, no database work.
  bool BeginSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Called after the host wrote scrap bill SaveVect(1)("FinteriD") and added its lines to the
  // material lines' selected-for-scrapping totals. A bill of type 14062 (SaveVect(1)("FTypeID"))
  // passes at once (true, SetComplete). Otherwise the bill must pass CheckValid with process
  // status 0; when it does not: false, "SaveRetCode" 99, ReturnMsg = CheckValid's message, the
  // abort vote standing, so the host's writes roll back. Run-time errors of its own: false,
  // SetAbort, ReturnMsg = the localized description.
  bool EndSave(const std::string& sDsn, corva::VectorPtr& SaveVect, std::string& ReturnMsg);
  // Whether scrap bill `lngInterID` keeps within the issued quantities, under the site's scrap
  // control ("SH" ITEMSCRAP_CONTROLQTY 1; any other value or none: true). Refuses when one of the
  // bill's lines points at a material line, not backflushed, whose selected-for-scrapping total
  // (`ProcessStatus` 1: its scrapped total) exceeds its issued quantity: false, SetAbort,
  // ReturnMsg = "第<row>行物料:[<item number>]的报废数量>..." naming the first such line. Run-time
  // errors: false, SetAbort, ReturnMsg = the localized description. Success: true, SetComplete,
  // ReturnMsg unchanged. `CheckSwitch`, `lngEmpID` and `CheckDate` are not used; a left-out
  // `ProcessStatus` is 1, check or uncheck, as for every check operation.
  bool CheckValid(const std::string& sDsn, int32_t lngInterID,
                  corva::Optional<int32_t> CheckSwitch = {},
                  corva::Optional<int32_t, kProcessCheck> ProcessStatus = {},
                  corva::Optional<int32_t> lngEmpID = {},
                  corva::Optional<corva::Date> CheckDate = {},
                  corva::OptionalRef<std::string> ReturnMsg = {});

 private:
  corva::frame::ClassFrame frame_{corva::frame::InitMode::kEveryCall};
};

}  // namespace CorvaMSHTransBills

#endif  // CORVA_BILLS_ITEMSCRAP_CLS_M_ITEM_SCRAP_H_
