#include "vdrive/Model.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "vdrive/JsonFields.h"

namespace vdrive {
namespace {

using json = nlohmann::json;
using K = TMediumKind;

const std::vector<double> kCdRead = {8, 16, 24, 32, 40, 48};
const std::vector<double> kDvdRead = {4, 8, 12, 16};
const std::vector<double> kBdRead = {2, 4, 6, 8};
const std::vector<double> kHdRead = {1, 2, 3};

void SetSpeeds(TDriveModel& m, K k, std::vector<double> read, std::vector<double> write) {
  m.speeds[static_cast<int>(k)] = TSpeedTable{std::move(read), std::move(write)};
}

void AddCd(TDriveModel& m) {
  m.reads.insert(m.reads.end(), {K::CdRom, K::CdR, K::CdRw});
  m.writes.insert(m.writes.end(), {K::CdR, K::CdRw});
  SetSpeeds(m, K::CdRom, kCdRead, {});
  SetSpeeds(m, K::CdR, kCdRead, {4, 8, 16, 24, 32, 40, 48});
  SetSpeeds(m, K::CdRw, {8, 16, 24, 32}, {4, 10, 16, 24});
}

void AddDvd(TDriveModel& m) {
  m.reads.insert(m.reads.end(), {K::DvdRom, K::DvdR, K::DvdRw, K::DvdPlusR, K::DvdPlusRw,
                                 K::DvdPlusRDl, K::DvdRam});
  m.writes.insert(m.writes.end(),
                  {K::DvdR, K::DvdRw, K::DvdPlusR, K::DvdPlusRw, K::DvdPlusRDl, K::DvdRam});
  SetSpeeds(m, K::DvdRom, kDvdRead, {});
  SetSpeeds(m, K::DvdR, kDvdRead, {2, 4, 8, 12, 16});
  SetSpeeds(m, K::DvdRw, {4, 8, 12}, {1, 2, 4, 6});
  SetSpeeds(m, K::DvdPlusR, kDvdRead, {2.4, 4, 8, 12, 16});
  SetSpeeds(m, K::DvdPlusRw, {4, 8, 12}, {2.4, 4, 8});
  SetSpeeds(m, K::DvdPlusRDl, {4, 8, 12}, {2.4, 4, 8});
  SetSpeeds(m, K::DvdRam, {2, 3, 5}, {2, 3, 5});
}

void AddBd(TDriveModel& m) {
  m.reads.insert(m.reads.end(), {K::BdRom, K::BdR, K::BdRe});
  m.writes.insert(m.writes.end(), {K::BdR, K::BdRe});
  SetSpeeds(m, K::BdRom, kBdRead, {});
  SetSpeeds(m, K::BdR, kBdRead, {2, 4, 6, 8, 12});
  SetSpeeds(m, K::BdRe, {2, 4}, {2});
}

void AddHdDvd(TDriveModel& m) {
  m.reads.insert(m.reads.end(), {K::HdDvdRom, K::HdDvdR, K::HdDvdRam});
  m.writes.insert(m.writes.end(), {K::HdDvdR, K::HdDvdRam});
  SetSpeeds(m, K::HdDvdRom, kHdRead, {});
  SetSpeeds(m, K::HdDvdR, kHdRead, {1});
  SetSpeeds(m, K::HdDvdRam, {1, 2}, {1, 2});
}

TDriveModel Base(std::string name, std::string product) {
  TDriveModel m;
  m.model = std::move(name);
  m.vendor = "ARDOVAN";
  m.product = std::move(product);
  m.revision = "1.00";
  m.address = TAddress{};
  return m;
}

std::vector<uint32_t> ToKbs(const std::vector<double>& xs, K k) {
  const double unit = SpeedUnit(Traits(k).family);
  std::vector<uint32_t> out;
  for (double x : xs) {
    const double v = std::round(x * unit);
    if (v >= 1 && v <= 0xFFFE) out.push_back(static_cast<uint32_t>(v));
  }
  std::sort(out.begin(), out.end(), std::greater<>());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

json KindList(const std::vector<K>& ks) {
  json a = json::array();
  for (K k : ks) a.push_back(MediumName(k));
  return a;
}

std::vector<K> KindList(TJsonFields& f, std::string_view key) {
  std::vector<K> out;
  const json* list = f.Array(key);
  if (list == nullptr) {
    f.Fail(key, "is missing");
    return out;
  }
  for (const auto& e : *list) {
    const auto k = e.is_string() ? ParseMediumKind(e.get<std::string>()) : std::nullopt;
    if (!k) {
      f.Fail(key, "unknown medium " + e.dump());
      return out;
    }
    out.push_back(*k);
  }
  return out;
}

// Speeds in multiples of the family's 1x; what no drive reaches is dropped by ToKbs.
std::vector<double> SpeedList(TJsonFields& f, std::string_view key) {
  std::vector<double> out;
  if (const json* list = f.Array(key)) {
    for (const auto& e : *list) {
      if (!e.is_number()) {
        f.Fail(key, e.dump() + " is not a number");
        return out;
      }
      out.push_back(e.get<double>());
    }
  }
  return out;
}

}  // namespace

bool TDriveModel::Reads(TMediumKind k) const {
  return std::find(reads.begin(), reads.end(), k) != reads.end() || Writes(k);
}

bool TDriveModel::Writes(TMediumKind k) const {
  return std::find(writes.begin(), writes.end(), k) != writes.end();
}

std::vector<uint32_t> TDriveModel::ReadSpeeds(TMediumKind k) const {
  return Reads(k) ? ToKbs(speeds[static_cast<int>(k)].read, k) : std::vector<uint32_t>{};
}

std::vector<uint32_t> TDriveModel::WriteSpeeds(TMediumKind k) const {
  return Writes(k) ? ToKbs(speeds[static_cast<int>(k)].write, k) : std::vector<uint32_t>{};
}

std::vector<std::string> PresetModelNames() { return {"bd", "dvd", "cd", "hddvd", "legacy"}; }

std::optional<TDriveModel> PresetModel(std::string_view name) {
  if (name == "bd") {
    TDriveModel m = Base("bd", "VBD-R12 BD-RE");
    AddCd(m);
    AddDvd(m);
    AddBd(m);
    m.bufferKB = 4096;
    return m;
  }
  if (name == "dvd") {
    TDriveModel m = Base("dvd", "VDVD-R20 DVD-RW");
    AddCd(m);
    AddDvd(m);
    m.bufferKB = 2048;
    return m;
  }
  if (name == "cd") {
    TDriveModel m = Base("cd", "VCD-R52 CD-RW");
    AddCd(m);
    m.bufferKB = 2048;
    return m;
  }
  if (name == "hddvd") {
    TDriveModel m = Base("hddvd", "VHD-R10 HD DVD");
    AddCd(m);
    AddDvd(m);
    AddHdDvd(m);
    m.bufferKB = 4096;
    return m;
  }
  if (name == "legacy") {
    // An older CD-RW recorder: no GET CONFIGURATION, no streaming, a block descriptor before every
    // mode page and buffer-underrun protection announced only through its vendor page 30h.
    TDriveModel m = Base("legacy", "VCW-4012 CD-RW");
    m.revision = "1.10";
    AddCd(m);
    SetSpeeds(m, K::CdR, {8, 16, 24, 32, 40}, {4, 8, 12, 16, 24, 32, 40});
    SetSpeeds(m, K::CdRw, {8, 16, 24}, {4, 10, 12});
    m.bufferKB = 2048;
    m.bufferUnderrunFree = false;
    m.page30 = true;
    m.blockDescriptor = true;
    m.getConfiguration = false;
    m.streaming = false;
    return m;
  }
  return std::nullopt;
}

std::string ModelToJson(const TDriveModel& m) {
  json j;
  j["model"] = m.model;
  j["vendor"] = m.vendor;
  j["product"] = m.product;
  j["revision"] = m.revision;
  j["reads"] = KindList(m.reads);
  j["writes"] = KindList(m.writes);
  json sp = json::object();
  for (int i = 0; i < kMediumKindCount; ++i) {
    const auto& t = m.speeds[i];
    if (t.read.empty() && t.write.empty()) continue;
    sp[MediumName(static_cast<K>(i))] = json{{"read", t.read}, {"write", t.write}};
  }
  j["speeds"] = sp;
  j["buffer_kb"] = m.bufferKB;
  if (m.address) {
    j["address"] =
        json{{"port", m.address->port}, {"target", m.address->target}, {"lun", m.address->lun}};
  } else {
    j["address"] = nullptr;
  }
  j["buffer_underrun_free"] = m.bufferUnderrunFree;
  j["test_write"] = m.testWrite;
  j["page_30h"] = m.page30;
  j["block_descriptor"] = m.blockDescriptor;
  j["get_configuration"] = m.getConfiguration;
  j["streaming"] = m.streaming;
  j["rejects_rezero"] = m.rejectsRezero;
  const TDurations& d = m.durations;
  j["durations_ms"] = json{{"load", d.loadMs},
                           {"blank_minimal", d.blankMinimalMs},
                           {"blank_full", d.blankFullMs},
                           {"format", d.formatMs},
                           {"close_track", d.closeTrackMs},
                           {"close_session", d.closeSessionMs},
                           {"synchronize", d.syncMs}};
  j["trace"] = m.trace;
  return j.dump(2) + "\n";
}

bool ModelFromJson(std::string_view text, TDriveModel& out, std::string& error) {
  const json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    error = "not a JSON object";
    return false;
  }
  constexpr uint64_t kMaxDurationMs = 3600000;  // an hour of NOT READY is the most a drive takes
  TJsonFields f(j, "");
  TDriveModel m;
  m.model = f.String("model", "custom", 64);
  m.vendor = f.RequiredString("vendor", 8);
  m.product = f.RequiredString("product", 16);
  m.revision = f.RequiredString("revision", 4);
  m.reads = KindList(f, "reads");
  m.writes = KindList(f, "writes");
  if (const json* speeds = f.Object("speeds")) {
    for (const auto& [name, table] : speeds->items()) {
      const auto k = ParseMediumKind(name);
      if (!k) {
        f.Fail("speeds", "unknown medium " + name);
        break;
      }
      TJsonFields t(table, f.Path("speeds") + "." + name);
      m.speeds[static_cast<int>(*k)] = TSpeedTable{SpeedList(t, "read"), SpeedList(t, "write")};
      if (!t.Ok()) f.FailWith(t.Error());
    }
  }
  // The buffer's size in bytes is a 32-bit figure of READ BUFFER CAPACITY.
  m.bufferKB = static_cast<uint32_t>(f.Unsigned("buffer_kb", 4194303, 4096));
  if (const json* a = f.Object("address")) {
    TJsonFields t(*a, f.Path("address"));
    m.address = TAddress{static_cast<uint8_t>(t.Unsigned("port", 255, 1)),
                         static_cast<uint8_t>(t.Unsigned("target", 255, 0)),
                         static_cast<uint8_t>(t.Unsigned("lun", 255, 0))};
    if (!t.Ok()) f.FailWith(t.Error());
  }
  m.bufferUnderrunFree = f.Bool("buffer_underrun_free", true);
  m.testWrite = f.Bool("test_write", true);
  m.page30 = f.Bool("page_30h", false);
  m.blockDescriptor = f.Bool("block_descriptor", false);
  m.getConfiguration = f.Bool("get_configuration", true);
  m.streaming = f.Bool("streaming", true);
  m.rejectsRezero = f.Bool("rejects_rezero", false);
  if (const json* d = f.Object("durations_ms")) {
    TJsonFields t(*d, f.Path("durations_ms"));
    TDurations& u = m.durations;
    for (auto [key, field] : {std::pair{"load", &u.loadMs},
                              {"blank_minimal", &u.blankMinimalMs},
                              {"blank_full", &u.blankFullMs},
                              {"format", &u.formatMs},
                              {"close_track", &u.closeTrackMs},
                              {"close_session", &u.closeSessionMs},
                              {"synchronize", &u.syncMs}})
      *field = static_cast<uint32_t>(t.Unsigned(key, kMaxDurationMs, *field));
    if (!t.Ok()) f.FailWith(t.Error());
  }
  m.trace = f.Bool("trace", false);
  if (!f.Ok()) {
    error = f.Error();
    return false;
  }
  out = std::move(m);
  return true;
}

}  // namespace vdrive
