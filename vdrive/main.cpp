// ardovan-vdrive: creates virtual recorders, inserts and ejects media, shows and exports what was
// recorded, arms faults and switches the command trace.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "vdrive/Attach.h"
#include "vdrive/Model.h"
#include "vdrive/Tool.h"

namespace {

// A byte given in hexadecimal ("2a", "0x2A").
bool ParseHexByte(const std::string& text, uint8_t& out) {
  std::string t = text;
  if (t.size() > 2 && (t.rfind("0x", 0) == 0 || t.rfind("0X", 0) == 0)) t = t.substr(2);
  if (t.empty() || t.size() > 2) return false;
  unsigned v = 0;
  for (char c : t) {
    v <<= 4;
    if (c >= '0' && c <= '9')
      v |= unsigned(c - '0');
    else if (c >= 'a' && c <= 'f')
      v |= unsigned(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      v |= unsigned(c - 'A' + 10);
    else
      return false;
  }
  out = static_cast<uint8_t>(v);
  return true;
}

// "KEY/ASC/ASCQ" in hexadecimal, e.g. "3/0C/00".
bool ParseSense(const std::string& text, vdrive::TSense& s) {
  const size_t a = text.find('/');
  const size_t b = a == std::string::npos ? a : text.find('/', a + 1);
  if (b == std::string::npos) return false;
  return ParseHexByte(text.substr(0, a), s.key) && s.key <= 0x0F &&
         ParseHexByte(text.substr(a + 1, b - a - 1), s.asc) &&
         ParseHexByte(text.substr(b + 1), s.ascq);
}

// "FIRST" or "FIRST-LAST" in decimal.
bool ParseRange(const std::string& text, uint32_t& first, uint32_t& last) {
  try {
    const size_t dash = text.find('-');
    size_t used = 0;
    first = static_cast<uint32_t>(std::stoul(text.substr(0, dash), &used));
    if (used != (dash == std::string::npos ? text.size() : dash)) return false;
    last = dash == std::string::npos
               ? first
               : static_cast<uint32_t>(std::stoul(text.substr(dash + 1), &used));
    return last >= first;
  } catch (const std::exception&) {
    return false;
  }
}

int Fail(const std::string& message) {
  std::cerr << "ardovan-vdrive: " << message << "\n";
  return 1;
}

int Usage(const std::string& message) {
  std::cerr << "ardovan-vdrive: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // attach takes a command line of its own after "--"; it never goes through the option parser.
  if (argc > 1 && std::string(argv[1]) == "attach")
    return vdrive::AttachMain({argv + 2, argv + argc});
  CLI::App app{"Virtual MMC recorders for Ardovan"};
  app.require_subcommand(1);
  std::string dir;
  std::string error;

  std::string model = "bd";
  bool noAddress = false;
  auto* create = app.add_subcommand("create", "Create a recorder in DIR");
  create->add_option("DIR", dir)->required();
  create->add_option("--model", model, "bd, dvd, cd, hddvd or legacy")
      ->check(CLI::IsMember(vdrive::PresetModelNames()));
  create->add_flag("--no-address", noAddress, "The recorder has no SCSI address");
  // The pace is kept with the recorder: given at create or insert, it holds until changed.
  std::optional<bool> pace;
  auto pacing = [&pace](CLI::App* cmd) {
    cmd->add_flag_callback(
        "--pace", [&pace] { pace = true; },
        "Commands take the time a real drive would (kept until --no-pace)");
    cmd->add_flag_callback(
        "--no-pace", [&pace] { pace = false; }, "Commands answer at once (the default)");
  };
  pacing(create);

  std::string medium, rom;
  std::optional<uint32_t> blocks;
  bool formatted = false;
  auto* insert =
      app.add_subcommand("insert", "Insert a blank medium, or a pressed disc made from an image");
  insert->add_option("DIR", dir)->required();
  insert->add_option("--medium", medium,
                     "cd-r, cd-rw, dvd-r, dvd-rw, dvd+r, dvd+rw, dvd+r-dl, dvd-ram, bd-r, "
                     "bd-re, hddvd-r, hddvd-ram; with --rom: cd-rom, dvd-rom, bd-rom");
  insert->add_option("--rom", rom, "Image file of a pressed disc");
  insert->add_option("--blocks", blocks, "Capacity in 2048-byte blocks")
      ->check(CLI::Range(1u, 0x7FFFFFFFu));
  insert->add_flag("--formatted", formatted, "A rewritable medium that is already formatted");
  pacing(insert);

  auto* eject = app.add_subcommand("eject", "Take the medium out");
  eject->add_option("DIR", dir)->required();

  auto* status = app.add_subcommand("status", "Show the tray and the medium as JSON");
  status->add_option("DIR", dir)->required();

  std::string output;
  std::optional<uint32_t> session;
  auto* exportCmd = app.add_subcommand("export", "Write the recorded user data to a file");
  exportCmd->add_option("DIR", dir)->required();
  exportCmd->add_option("--output", output, "Output file")->required();
  exportCmd->add_option("--session", session, "Only this session (from 1)")
      ->check(CLI::PositiveNumber);

  std::string opcode, senseText, lba, refuse, refusePage, damage;
  uint32_t from = 1, times = 1;
  std::optional<uint32_t> busy, notReady;
  bool needsFormat = false;
  auto* fault = app.add_subcommand("fault", "Arm a fault");
  fault->add_option("DIR", dir)->required();
  auto* opcodeOpt = fault->add_option("--opcode", opcode, "Fail this command (hex operation code)");
  fault->add_option("--sense", senseText, "Sense KEY/ASC/ASCQ in hex, e.g. 3/0C/00")
      ->needs(opcodeOpt);
  fault->add_option("--lba", lba, "Only commands touching FIRST[-LAST]")->needs(opcodeOpt);
  fault->add_option("--from", from, "From the k-th matching command on")
      ->needs(opcodeOpt)
      ->check(CLI::PositiveNumber);
  fault->add_option("--times", times, "How many times (0: always)")->needs(opcodeOpt);
  fault->add_option("--busy", busy, "Answer BUSY to the next k commands");
  fault->add_option("--not-ready", notReady, "Stay NOT READY for this many milliseconds");
  fault->add_option("--refuse", refuse, "Answer this operation code with 5/20/00 (hex)");
  fault->add_option("--refuse-page", refusePage,
                    "Answer MODE SENSE of this page with 5/24/00 (hex)");
  fault->add_flag("--needs-format", needsFormat, "A blank DVD+RW refuses writes with 5/30/05");
  fault->add_option("--damage", damage,
                    "READ answers FIRST[-LAST] with a byte of every block flipped");

  auto* clear = app.add_subcommand("clear-faults", "Remove every armed fault");
  clear->add_option("DIR", dir)->required();

  std::string onOff;
  auto* trace = app.add_subcommand("trace", "Switch the command trace (trace.log)");
  trace->add_option("DIR", dir)->required();
  trace->add_option("STATE", onOff, "on or off")->required()->check(CLI::IsMember({"on", "off"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }

  if (create->parsed()) {
    if (!vdrive::CreateRecorder(dir, model, noAddress, error)) return Fail(error);
    return !pace || vdrive::SetPace(dir, *pace, error) ? 0 : Fail(error);
  }
  if (insert->parsed()) {
    if (pace && !vdrive::SetPace(dir, *pace, error)) return Fail(error);
    if (!rom.empty()) {
      std::optional<vdrive::TMediumKind> kind;
      if (!medium.empty()) {
        kind = vdrive::ParseMediumKind(medium);
        if (!kind || vdrive::Traits(*kind).access != vdrive::TAccess::Rom) {
          return Usage("with --rom the medium is cd-rom, dvd-rom or bd-rom");
        }
      }
      if (blocks || formatted)
        return Usage("--blocks and --formatted do not apply to a pressed disc");
      return vdrive::InsertPressed(dir, rom, kind, error) ? 0 : Fail(error);
    }
    if (medium.empty()) return Usage("insert needs --medium or --rom");
    const auto kind = vdrive::ParseMediumKind(medium);
    if (!kind) return Usage("unknown medium " + medium);
    if (vdrive::Traits(*kind).access == vdrive::TAccess::Rom)
      return Usage(medium + " needs --rom IMAGE");
    return vdrive::InsertBlank(dir, *kind, blocks, formatted, error) ? 0 : Fail(error);
  }
  if (eject->parsed()) return vdrive::EjectMedium(dir, error) ? 0 : Fail(error);
  if (status->parsed()) {
    std::string json;
    if (!vdrive::RecorderStatus(dir, json, error)) return Fail(error);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
  }
  if (exportCmd->parsed())
    return vdrive::ExportMedium(dir, output, session, error) ? 0 : Fail(error);
  if (fault->parsed()) {
    vdrive::TOpcodeFault f;
    uint8_t refuseCode = 0, refusePageCode = 0;
    if (!opcode.empty()) {
      if (!ParseHexByte(opcode, f.opcode)) return Usage("bad operation code " + opcode);
      if (senseText.empty() || !ParseSense(senseText, f.sense))
        return Usage("--opcode needs --sense KEY/ASC/ASCQ");
      uint32_t first = 0, last = 0;
      if (!lba.empty()) {
        if (!ParseRange(lba, first, last)) return Usage("bad LBA range " + lba);
        f.lbaFirst = first;
        f.lbaLast = last;
      }
      f.from = from;
      f.times = times;
    }
    if (!refuse.empty() && !ParseHexByte(refuse, refuseCode))
      return Usage("bad operation code " + refuse);
    if (!refusePage.empty() &&
        (!ParseHexByte(refusePage, refusePageCode) || refusePageCode > 0x3F)) {
      return Usage("bad mode page " + refusePage);
    }
    vdrive::TDamage damaged;
    if (!damage.empty() && !ParseRange(damage, damaged.first, damaged.last))
      return Usage("bad LBA range " + damage);
    if (opcode.empty() && !busy && !notReady && refuse.empty() && refusePage.empty() &&
        !needsFormat && damage.empty()) {
      return Usage(
          "fault needs --opcode, --busy, --not-ready, --refuse, --refuse-page, --needs-format or "
          "--damage");
    }
    const bool ok = vdrive::UpdateFaults(
        dir,
        [&](vdrive::TFaults& faults) {
          if (!opcode.empty()) faults.commands.push_back(f);
          if (busy) faults.busy = *busy;
          if (notReady) {
            faults.notReadyMs = *notReady;
            ++faults.notReadyArm;
          }
          if (!refuse.empty()) faults.refuse.push_back(refuseCode);
          if (!refusePage.empty()) faults.refusePages.push_back(refusePageCode);
          if (needsFormat) faults.plusRwNeedsFormat = true;
          if (!damage.empty()) faults.damaged.push_back(damaged);
        },
        error);
    return ok ? 0 : Fail(error);
  }
  if (clear->parsed()) return vdrive::ClearFaults(dir, error) ? 0 : Fail(error);
  if (trace->parsed()) return vdrive::SetTrace(dir, onOff == "on", error) ? 0 : Fail(error);
  return 2;
}
