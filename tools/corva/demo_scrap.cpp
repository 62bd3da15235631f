// Demo step 70: production material scrap against task MO1003 (40 desk lamps), whose steel was
// issued as 5.5 kg, 1.25 kg of it already scrapped on SCR1. With the site's scrap control on, the
// cutter books 4.5 kg more on SCR2 (refused: 5.75 kg would exceed what was issued), then 4.25 kg,
// which uses up exactly the issued steel and is accepted.
#include <string>
#include <utility>
#include <vector>

#include "corva/containers.h"
#include "corva/dispatch.h"
#include "corva/host.h"
#include "demo.h"

namespace corva::cli::demo {
namespace {

constexpr char kItemScrap[] = "CorvaMSHTransBills.clsMItemScrap";
constexpr int32_t kScrapBill = 5002;  // SCR2
constexpr int32_t kTask = 1003;       // MO1003
constexpr int32_t kSteelLine = 1;     // its material list's steel line

using Returned = std::vector<std::pair<std::string, Variant>>;

void PrintState(const DemoSession& demo, const std::string& title) {
  demo.Say("\n" + title + ".");
  RecordsetPtr lines = demo.Query(
      "SELECT d.FEntryID AS Line, t.FNumber AS Item, t.FName AS Name, d.FStockQty AS Issued,"
      " d.FSelDisCardQty AS SelectedForScrap, d.FDisCardQty AS Scrapped,"
      " CASE d.FBackFlush WHEN 1058 THEN 'yes' ELSE 'no' END AS Backflush"
      " FROM PPBOMEntry d INNER JOIN t_ICItem t ON t.FItemID = d.FItemID"
      " WHERE d.FICMOInterID = 1003 ORDER BY d.FEntryID");
  demo.PrintTable("Material list of MO1003", *lines);
  RecordsetPtr bills = demo.Query(
      "SELECT b.FBillNo AS Bill, CASE b.FStatus WHEN 0 THEN 'saved' ELSE 'checked' END AS Status,"
      " e.FEntryID AS Row, t.FNumber AS Item, e.FQty AS Qty, e.FSourceEntryID AS MaterialLine"
      " FROM ICItemScrap b INNER JOIN ICItemScrapEntry e ON e.FInterID = b.FInterID"
      " INNER JOIN t_ICItem t ON t.FItemID = e.FItemID"
      " WHERE e.FICMOInterID = 1003 ORDER BY b.FInterID, e.FEntryID");
  demo.PrintTable("Scrap bills of MO1003", *bills);
}

// The host's save of SCR2 with one line of `kilograms` of steel: its own write of the bill and of
// the line, which also adds the line to the material line's total selected for scrapping, between
// BeginSave and EndSave, all in one transaction.
void SaveScrapBill(const DemoSession& demo, const std::string& kilograms) {
  demo.Transaction([&] {
    auto rules = CreateObject(kItemScrap);
    DictionaryPtr header = MakeDictionary();
    header->SetValue("FinteriD", kScrapBill);
    header->SetValue("FBillNo", "SCR2");
    header->SetValue("FTypeID", 0);
    VectorPtr save_vect = MakeVector();
    save_vect->Add(header);
    std::vector<Variant> args{demo.dsn(), save_vect, std::string()};
    demo.PrintCall("clsMItemScrap.BeginSave", rules->Invoke("BeginSave", args));
    const std::string bill = std::to_string(kScrapBill);
    demo.Execute("INSERT INTO ICItemScrap (FInterID, FBillNo, FDate) VALUES (" + bill +
                 ", 'SCR2', '2026-03-17')");
    demo.Execute(
        "INSERT INTO ICItemScrapEntry (FInterID, FEntryID, FICMOInterID, FItemID, FQty,"
        " FSourceTranType, FSourceInterID, FSourceEntryID) VALUES (" +
        bill + ", 1, " + std::to_string(kTask) + ", 304, " + kilograms + ", 85, " +
        std::to_string(kTask) + ", " + std::to_string(kSteelLine) + ")");
    demo.Execute("UPDATE PPBOMEntry SET FSelDisCardQty = FSelDisCardQty + " + kilograms +
                 " WHERE FICMOInterID = 1003 AND FEntryID = 1");
    args = {demo.dsn(), save_vect, std::string()};
    Variant saved = rules->Invoke("EndSave", args);
    demo.PrintCall("clsMItemScrap.EndSave (" + kilograms + " kg)", saved,
                   saved.AsBool() ? Returned{}
                                  : Returned{{"ReturnMsg", args[2]},
                                             {"SaveRetCode", header->Value("SaveRetCode")}});
  });
}

void WalkItemScrap(DemoSession& demo) {
  if (demo.Query("SELECT COUNT(*) FROM ICItemScrap WHERE FInterID = 5002")->Fields(0).AsLong() >
      0) {
    demo.Say("The scrap of MO1003 was booked by an earlier run of the demo in this database.");
    PrintState(demo, "As it stands");
    return;
  }
  demo.Say("Scrap: MO1003 drew 5.5 kg of steel; SCR1 already scrapped 1.25 kg of it. The site");
  demo.Say("switches the scrap control on: no material line may have more selected for scrapping");
  demo.Say("than was issued.");
  RecordsetPtr before = demo.Query(
      "SELECT FValue FROM t_SystemProfile WHERE FCategory = 'SH' AND FKey = "
      "'ITEMSCRAP_CONTROLQTY'");
  const std::string setting = before->Eof() ? "0" : before->Fields(0).ToText();
  demo.Execute(
      "UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'SH' AND FKey = "
      "'ITEMSCRAP_CONTROLQTY'");
  PrintState(demo, "Before");

  demo.Say("\nThe cutter books 4.5 kg of spoilt sheet on SCR2: 1.25 + 4.5 = 5.75 kg > 5.5 kg.");
  SaveScrapBill(demo, "4.5");
  PrintState(demo, "Refused and rolled back: neither SCR2 nor its 4.5 kg remain");

  demo.Say("\nRecounted, it is 4.25 kg: 1.25 + 4.25 = 5.5 kg, exactly what was issued.");
  SaveScrapBill(demo, "4.25");
  PrintState(demo, "Accepted");

  demo.Execute("UPDATE t_SystemProfile SET FValue = '" + setting +
               "' WHERE FCategory = 'SH' AND FKey = 'ITEMSCRAP_CONTROLQTY'");
  demo.Say("(The site's scrap control is set back to " + setting + ".)");
}

const DemoStepRegistrar kStep({70, "Item scrap bills: the scrap control refuses, then accepts",
                               &WalkItemScrap});

}  // namespace
}  // namespace corva::cli::demo
