#include "frontend/Outcome.h"

#include "engine/qvpEvents.h"
#include "engine/qvpQuorvexPro.h"

namespace fe {
namespace {

std::string Detail(const std::string& detail) {
  return detail.empty() ? std::string() : " (" + detail + ")";
}

// The engine's text for a refused drive command is "Hardware Error %u" and nothing else; a user
// needs the sense itself to know where to look.
bool IsHardwareError(const TJobFailure& f) {
  return f.Code == kErrNone && !f.Sense.Empty() && f.Text.rfind("Hardware Error ", 0) == 0;
}

}  // namespace

bool TJobFailure::InUse() const { return Code == kErrRecorderInUse; }

TJobFailure TakeFailure(TQuorvexPro& qvx) {
  TJobFailure f;
  f.Code = qvx.GetLastErrorCode();
  f.Sense = qvx.GetFailureSense();
  if (f.Code == kErrRecorderInUse) f.HolderPid = qvx.GetRecorderHolderPid();
  f.Text = qvx.GetLastErrorText();
  return f;
}

std::string FailureText(const TJobFailure& f) {
  if (IsHardwareError(f)) return f.Text + " (" + TQuorvexPro::DescribeSense(f.Sense) + ")";
  return f.Text;
}

std::string FailureTextCz(const TJobFailure& f) {
  switch (f.Code) {
    case kErrNone:
      return FailureText(f);
    case kErrDataNotPrepared:
      return "data pro zápis nejsou připravena";
    case kErrOpenFile:
      return "zdrojový soubor nelze otevřít" + Detail(f.Text);
    case kErrAborted:
      return "přerušeno uživatelem";
    case kErrSourceChanged:
      return "zdrojový soubor se během zápisu změnil, disk jej neobsahuje správně" + Detail(f.Text);
    case kErrRecorderInUse:
      return "vypalovačku právě používá jiný program" +
             (f.HolderPid > 0 ? " (PID " + std::to_string(f.HolderPid) + ")" : std::string());
    case kErrClosingFailed:
      return "mechanika odmítla dokončit zápis, disk mohl zůstat otevřený" + Detail(f.Text);
    case kErrImageEmpty:
      return "soubor obrazu je prázdný";
    case kErrImageNotRegular:
      return "obraz není obyčejný soubor" + Detail(f.Text);
    case kErrDiscNotBlank:
      return "disk není prázdný, obraz lze zapsat jen na prázdný nebo přepisovatelný disk";
    case kErrRecorderNotOpened:
      return "vypalovačku nelze otevřít pro zápis" + Detail(f.Text);
    case kErrDriveBusy:
      return "vypalovačka zůstala zaneprázdněná a nepřijala další data";
    case kErrNoAnswer:
      return "vypalovačka přestala odpovídat" + Detail(f.Text);
    default:
      return f.Text;
  }
}

std::string OmitReasonCz(const TOmittedEntry& e) {
  const std::string detail = Detail(e.Detail);
  switch (e.Reason) {
    case TOmitReason::SameName:
      return "ve složce kompilace už je položka stejného názvu";
    case TOmitReason::FolderInTheWay:
      return "ve složce kompilace už je složka stejného názvu";
    case TOmitReason::FileInTheWay:
      return "ve složce kompilace už je soubor stejného názvu";
    case TOmitReason::NameNotUtf8:
      return "název není platný text UTF-8";
    case TOmitReason::NameTooLong:
      return "název je delší než 217 znaků";
    case TOmitReason::PathTooLong:
      return "cesta je delší, než systém dovoluje";
    case TOmitReason::TooManyEntries:
      return "kompilace už obsahuje 200 000 položek";
    case TOmitReason::TooManyFolders:
      return "kompilace už obsahuje 65 000 složek";
    case TOmitReason::FolderUnreadable:
      return "složku nelze přečíst" + detail;
    case TOmitReason::FileUnreadable:
      return "soubor nelze přečíst" + detail;
    case TOmitReason::SpecialFile:
      return "není obyčejný soubor" + detail;
    case TOmitReason::LinkLoop:
      return "odkaz na složku vede zpět do vlastní cesty" + detail;
    case TOmitReason::MoreOmitted:
      return "další vynechané položky: " + e.Detail;
  }
  return "vynecháno";
}

std::string OmittedPath(const TOmittedEntry& e) {
  return e.Reason == TOmitReason::MoreOmitted ? "…" : e.Path;
}

std::string ImportRefusalCz(TImportResult r) {
  switch (r) {
    case TImportResult::Imported:
    case TImportResult::NothingToImport:
      return {};
    case TImportResult::DiscClosed:
      return "Disk je uzavřen, další relaci na něj nelze zapsat.";
    case TImportResult::NoVolume:
      return "Poslední relace na disku nemá souborový systém ISO 9660.";
    case TImportResult::NoJoliet:
      return "Poslední relace na disku nemá souborový systém Joliet. Vypněte Joliet, nebo "
             "připojení k předchozím souborům.";
    case TImportResult::NoIso1999:
      return "Poslední relace na disku nemá souborový systém ISO 9660:1999. Vypněte ISO "
             "9660:1999, nebo připojení k předchozím souborům.";
    case TImportResult::NoUdf:
      return "Poslední relace na disku nemá souborový systém UDF. Vypněte UDF, nebo připojení k "
             "předchozím souborům.";
    case TImportResult::Damaged:
      return "Souborový systém poslední relace je poškozen.";
    case TImportResult::Unsupported:
      return "Poslední relace je zapsána způsobem, na který nelze navázat.";
    case TImportResult::TooLarge:
      return "Předchozích a nových souborů je příliš mnoho.";
    case TImportResult::ReadError:
      return "Poslední relaci na disku nelze přečíst.";
    case TImportResult::Aborted:
      return "Čtení poslední relace bylo přerušeno.";
    case TImportResult::NoImage:
      return "Soubor obrazu nelze otevřít.";
  }
  return "Poslední relaci nelze připojit.";
}

std::string UninterruptibleLine(uint8_t step) {
  switch (step) {
    case kStepClosing:
      return " >>> Uzavírám relaci, tento krok nelze přerušit... ";
    case kStepFormatting:
      return " >>> Formátuji médium, tento krok nelze přerušit... ";
    case kStepBlanking:
      return " >>> Mažu médium, tento krok nelze přerušit... ";
    default:
      return {};
  }
}

std::string UninterruptibleText(uint8_t step) {
  switch (step) {
    case kStepClosing:
      return "closing the session; it cannot be interrupted";
    case kStepFormatting:
      return "formatting the medium; it cannot be interrupted";
    case kStepBlanking:
      return "blanking the medium; it cannot be interrupted";
    default:
      return {};
  }
}

}  // namespace fe
