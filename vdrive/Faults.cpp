#include "vdrive/Faults.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace vdrive {

bool TFaults::Refuses(uint8_t opcode) const {
  return std::find(refuse.begin(), refuse.end(), opcode) != refuse.end();
}

bool TFaults::RefusesPage(uint8_t page) const {
  return std::find(refusePages.begin(), refusePages.end(), page) != refusePages.end();
}

void TFaults::DamageRead(uint32_t lba, uint32_t count, uint8_t* data) const {
  constexpr size_t kBlock = 2048, kFlipped = 1024;
  const uint64_t end = uint64_t{lba} + count;
  for (const TDamage& d : damaged) {
    for (uint64_t b = std::max<uint64_t>(d.first, lba); b <= d.last && b < end; ++b)
      data[(b - lba) * kBlock + kFlipped] ^= 0xFF;
  }
}

std::string FaultsToJson(const TFaults& f) {
  using json = nlohmann::json;
  json j;
  json cmds = json::array();
  for (const TOpcodeFault& c : f.commands) {
    json e{{"opcode", c.opcode}, {"from", c.from},       {"times", c.times}, {"key", c.sense.key},
           {"asc", c.sense.asc}, {"ascq", c.sense.ascq}, {"seen", c.seen},   {"fired", c.fired}};
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
  json damaged = json::array();
  for (const TDamage& d : f.damaged) damaged.push_back(json::array({d.first, d.last}));
  j["damaged"] = damaged;
  return j.dump(2) + "\n";
}

bool FaultsFromJson(std::string_view text, TFaults& out, std::string& error) {
  using json = nlohmann::json;
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    error = "faults are not a JSON object";
    return false;
  }
  try {
    TFaults f;
    for (const json& e : j.value("commands", json::array())) {
      TOpcodeFault c;
      c.opcode = e.at("opcode").get<uint8_t>();
      if (e.contains("lba_first")) c.lbaFirst = e.at("lba_first").get<uint32_t>();
      if (e.contains("lba_last")) c.lbaLast = e.at("lba_last").get<uint32_t>();
      c.from = std::max(1u, e.value("from", 1u));
      c.times = e.value("times", 1u);
      c.sense = TSense{e.at("key").get<uint8_t>(), e.at("asc").get<uint8_t>(),
                       e.at("ascq").get<uint8_t>()};
      c.seen = e.value("seen", 0u);
      c.fired = e.value("fired", 0u);
      f.commands.push_back(c);
    }
    f.busy = j.value("busy", 0u);
    f.notReadyMs = j.value("not_ready_ms", 0u);
    f.notReadyArm = j.value("not_ready_arm", uint64_t{0});
    f.refuse = j.value("refuse", std::vector<uint8_t>{});
    f.refusePages = j.value("refuse_pages", std::vector<uint8_t>{});
    f.plusRwNeedsFormat = j.value("dvd+rw_needs_format", false);
    for (const json& d : j.value("damaged", json::array())) {
      const TDamage range{d.at(0).get<uint32_t>(), d.at(1).get<uint32_t>()};
      if (range.last < range.first) {
        error = "a damaged range ends before it starts";
        return false;
      }
      f.damaged.push_back(range);
    }
    out = std::move(f);
    return true;
  } catch (const json::exception& e) {
    error = e.what();
    return false;
  }
}

}  // namespace vdrive
