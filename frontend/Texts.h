#pragma once
// The program's fixed Czech texts that both front ends show: the progress names of the job
// status codes, the names of the medium types, the yes/no words, and the lines and messages of
// the burn, erase and copy sequences and of the compilation list. They are kept verbatim,
// leading and trailing blanks included.
#include <cstdint>
#include <string>

namespace fe {

inline constexpr int kStatusNameCount = 12;
// Progress name of a job status code 0..11; empty beyond.
std::string StatusName(uint16_t status);
// Name of a medium type code; codes 20 to 22 (double-density CD) share the names of 17 to 19,
// anything beyond is "mtUNKNOWN".
std::string MediumTypeName(uint8_t code);
// "Ano" for 1, "Ne" for every other value.
std::string YesNoText(uint8_t flag);
// KB/s of one speed step ("1x") for the medium type code: DVD 1385, Blu-ray 4495.5, CD and
// everything else 176.46.
double SpeedUnit(uint8_t mediumType);

namespace text {
// Burn sequence log lines (each follows the time stamp).
inline constexpr const char* kStart = " >>> Zahajuji proces vypalování... ";
inline constexpr const char* kNoMedium =
    " >>> Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a klikněte na "
    "Vypálit... ";
inline constexpr const char* kWritable = " >>> Médium umožňuje zápis... ";
inline constexpr const char* kNotWritable =
    " >>> Médium neumožňuje zápis, vypalování se neprovede... ";
inline constexpr const char* kNoSimulation =
    " >>> Médium tohoto typu neumožňuje simulaci zápisu, vypalování se neprovede... ";
inline constexpr const char* kMediumKind = " >>> Zjišťuji typ média (R/RW/RE)... ";
inline constexpr const char* kRewritable = " >>> Médium je přepisovatelné (RW/RE)... ";
inline constexpr const char* kCheckRewritable = " >>> Kontrola přepisovatelného média... ";
inline constexpr const char* kHoldsData = " >>> Přepisovatelné médium obsahuje data... ";
inline constexpr const char* kEraseQuestion =
    "Přejete si smazat data a pak pokračovat ve vypalování?";
inline constexpr const char* kErasing = " >>> Provádním mazání... ";
inline constexpr const char* kDataKept =
    " >>> Médium obsahuje data, vypalování přerušeno uživatelem... ";
inline constexpr const char* kCheckSpace = " >>> Ověřování volného místa na médiu... ";
inline constexpr const char* kCapacity = " >>> Kapacita média je ";  // + MB + kCapacityEnd
inline constexpr const char* kCapacityEnd = " MB...";
inline constexpr const char* kNoSpace =
    " >>> Na vloženém médiu není dostatek volného místa! Vložte jiné... (vyžadováno ";  // + size +
                                                                                        // ")"
inline constexpr const char* kPreparing = " >>> Příprava souborů... ";
inline constexpr const char* kInitializing = " >>> Inicializace vypalování... ";
inline constexpr const char* kBurning = " >>> Probíhá vypalování... ";
inline constexpr const char* kWriteFailed = " >>> Zápis se nezdařil. Chyba: ";
inline constexpr const char* kWritingImage = " >>> Zapisuji ISO obraz na disk... ";
inline constexpr const char* kImageFailed = " >>> Při zápisu souboru ISO vznikla chyba. Chyba: ";
inline constexpr const char* kStorno =
    " >>> Stisknuto Storno, čekám na ukončení operace a stornuji... ";
inline constexpr const char* kWriteDone = " >>> Vypalování dokončeno...";
inline constexpr const char* kEraseFailedInBurn = " >>> Při mazání média se vyskytla chyba... ";
inline constexpr const char* kEraseDoneInBurn = " >>> Mazání média dokončeno... ";
inline constexpr const char* kDirCreateFailed = "Chyba vytvoření adresáře... ";
inline constexpr const char* kDirInsertFailed = "Chyba vložení adresáře... ";
// The outcome, the last line of a burn that ran or could not start.
inline constexpr const char* kOutcomeDone = " >>> Vypalování proběhlo úspěšně.";
inline constexpr const char* kOutcomeSimulated =
    " >>> Simulace zápisu proběhla úspěšně, médium zůstalo beze změny.";
inline constexpr const char* kOutcomeIncomplete =
    " >>> Vypalování dokončeno, ale disk neobsahuje celou kompilaci (nepřidáno: ";  // + n + ")."
inline constexpr const char* kOutcomeAborted =
    " >>> Vypalování bylo přerušeno – disk neobsahuje celou kompilaci.";
inline constexpr const char* kOutcomeFailed = " >>> Vypalování se nezdařilo: ";  // + reason
// An entry the disc lacks, listed before the outcome: prefix + path + " (" + reason + ")".
inline constexpr const char* kSkippedPrefix = "Nepřidáno: ";
// Reasons of entries that could not be handed to the compilation.
inline constexpr const char* kReasonMissing = "soubor nebo složka již neexistuje";
inline constexpr const char* kReasonDirCreate = "složku nelze vytvořit";
inline constexpr const char* kReasonDirInsert = "obsah složky nelze přidat";
inline constexpr const char* kReasonFileInsert = "soubor nelze přidat";
// Compilation list messages.
inline constexpr const char* kFolderTwice = "Složka již je přidána, nelze přidat podruhé.";
inline constexpr const char* kFileTwicePrefix = "Soubor: ";
inline constexpr const char* kFileTwiceSuffix = " již je přidán, nezle přidat podruhé.";
inline constexpr const char* kNameTooLongPrefix = "Soubor ";
inline constexpr const char* kNameTooLongSuffix =
    " má příliž dlouhý název, nelze přidat do kompilace, soubor přejmenujte na kratší název.";
// A folder link that leads back to a folder above it, met while a folder's size is counted.
inline constexpr const char* kLoopingLinkPrefix = "Odkaz na složku ";
inline constexpr const char* kLoopingLinkSuffix =
    " vede zpět do složky nad ním, do odhadu velikosti se nezapočítá.";
// Start-up.
inline constexpr const char* kNoRecorder = "Nebyla nalezena žádná vypalovačka!";
// Erase.
inline constexpr const char* kNotReady = "Zařízení není připraveno";
inline constexpr const char* kNotErasable = "Disk není přepisovatelný";
inline constexpr const char* kEraseFailed = "Při mazání média se vyskytla chyba!";
// Disc copy.
inline constexpr const char* kCopyNoMedium =
    "Nenalezeno žádné médium v mechanice. Vložte do mechaniky potřebné médium a akci opakujte... ";
inline constexpr const char* kCopyNoData = "Médium neobsahuje žádná data... ";
inline constexpr const char* kCopyReading = "Vytváří se ISO obraz disku...";
inline constexpr const char* kCopyProgress = "Vytváří se ISO obraz disku... ";  // + size
inline constexpr const char* kCopyIncomplete =
    "Disk se nepodařilo přečíst celý. Kopie se neprovede.";
// A drive that is not ready for another reason than an empty tray: the start of the burn log's
// line (" >>> " + start + kNotReadyBurn) and of the message of a flow that cannot begin (start +
// kNotReadyAgain).
inline constexpr const char* kNotReadyYet =
    "Médium v mechanice ještě není připraveno. Počkejte chvíli a ";
inline constexpr const char* kNotAnswering = "Mechanika neodpovídá. Zkontrolujte její připojení a ";
inline constexpr const char* kUnusable = "Médium v mechanice nelze použít. Vložte jiné médium a ";
inline constexpr const char* kNotReadyBurn = "klikněte na Vypálit... ";
inline constexpr const char* kNotReadyAgain = "akci opakujte... ";
// Further lines of the burn sequence: a medium formatted by the write job, the free space of a
// disc that holds sessions (+ MB + kCapacityEnd), and what follows an erase inside the burn.
inline constexpr const char* kWillFormat =
    " >>> Médium není naformátované, před zápisem se naformátuje... ";
inline constexpr const char* kFreeSpace = " >>> Volné místo na médiu je ";
inline constexpr const char* kEraseNextStep =
    " >>> Vložte médium znovu do mechaniky a klikněte na Vypálit... ";
inline constexpr const char* kEraseLoadedBack =
    " >>> Médium je opět v mechanice, vypalování spustíte tlačítkem Vypálit... ";
}  // namespace text

}  // namespace fe
