#include "vdrive/Faults.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "vdrive/JsonFields.h"

namespace vdrive {

bool TFaults::Refuses(uint8_t opcode) const {
  return std::find(refuse.begin(), refuse.end(), opcode) != refuse.end();
}

bool TFaults::RefusesPage(uint8_t page) const {
  return std::find(refusePages.begin(), refusePages.end(), page) != refusePages.end();
}

std::string FaultsToJson(const TFaults& f) {
  using json = nlohmann::json;
  json j;
  json cmds = json::array();
  for (const TOpcodeFault& c : f.commands) {
    json e{{"opcode", c.opcode},
           {"from", c.from},
           {"times", c.times},
           {"key", c.sense.key},
           {"asc", c.sense.asc},
           {"ascq", c.sense.ascq},
           {"seen", c.seen},
           {"fired", c.fired}};
    if (c.lbaFirst) e["lba_first"] = *c.lbaFirst;
    if (c.lbaLast) e["lba_last"] = *c.lbaLast;
    cmds.push_back(e);
  }
  j["commands"] = cmds;
  j["busy"] = f.busy;
  j["not_ready_ms"] = f.notReadyMs;
  j["not_ready_arm"] = f.notReadyArm;
  j["refuse"] = f.refuse;
  j["refuse_pages"] = f.refusePages;
  j["dvd+rw_needs_format"] = f.plusRwNeedsFormat;
  return j.dump(2) + "\n";
}

bool FaultsFromJson(std::string_view text, TFaults& out, std::string& error) {
  using json = nlohmann::json;
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    error = "faults are not a JSON object";
    return false;
  }
  TJsonFields f(j, "");
  TFaults faults;
  if (const json* commands = f.Array("commands")) {
    for (size_t i = 0; i < commands->size() && f.Ok(); ++i) {
      TJsonFields e((*commands)[i], f.Element("commands", i));
      TOpcodeFault c;
      c.opcode = static_cast<uint8_t>(e.RequiredUnsigned("opcode", 0xFF));
      if (e.Ok() && (*commands)[i].contains("lba_first")) c.lbaFirst = static_cast<uint32_t>(e.Unsigned("lba_first", UINT32_MAX, 0));
      if (e.Ok() && (*commands)[i].contains("lba_last")) c.lbaLast = static_cast<uint32_t>(e.Unsigned("lba_last", UINT32_MAX, 0));
      c.from = std::max<uint32_t>(1, static_cast<uint32_t>(e.Unsigned("from", UINT32_MAX, 1)));
      c.times = static_cast<uint32_t>(e.Unsigned("times", UINT32_MAX, 1));
      c.sense = TSense{static_cast<uint8_t>(e.RequiredUnsigned("key", 0x0F)),
                       static_cast<uint8_t>(e.RequiredUnsigned("asc", 0xFF)),
                       static_cast<uint8_t>(e.RequiredUnsigned("ascq", 0xFF))};
      c.seen = static_cast<uint32_t>(e.Unsigned("seen", UINT32_MAX, 0));
      c.fired = static_cast<uint32_t>(e.Unsigned("fired", UINT32_MAX, 0));
      if (!e.Ok()) f.FailWith(e.Error());
      faults.commands.push_back(c);
    }
  }
  faults.busy = static_cast<uint32_t>(f.Unsigned("busy", UINT32_MAX, 0));
  faults.notReadyMs = static_cast<uint32_t>(f.Unsigned("not_ready_ms", UINT32_MAX, 0));
  faults.notReadyArm = f.Unsigned("not_ready_arm", UINT64_MAX, 0);
  for (auto [key, list] : {std::pair{"refuse", &faults.refuse}, {"refuse_pages", &faults.refusePages}}) {
    if (const json* codes = f.Array(key)) {
      for (const json& c : *codes) {
        if (!c.is_number_unsigned() || c.get<uint64_t>() > 0xFF) {
          f.Fail(key, c.dump() + " is not a code from 0 to 255");
          break;
        }
        list->push_back(static_cast<uint8_t>(c.get<uint64_t>()));
      }
    }
  }
  faults.plusRwNeedsFormat = f.Bool("dvd+rw_needs_format", false);
  if (!f.Ok()) {
    error = f.Error();
    return false;
  }
  out = std::move(faults);
  return true;
}

}  // namespace vdrive
