#include "vdrive/Tool.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "vdrive/Model.h"
#include "vdrive/Store.h"

namespace vdrive {
namespace {

// Holds the folder's lock while a tool operation runs.
class TLocked {
 public:
  explicit TLocked(const std::string& dir) : fd_(OpenLockFile(dir)), lock_(fd_) {}
  ~TLocked() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }

 private:
  int fd_;
  TFolderLock lock_;
};

bool LoadModel(const std::string& dir, TDriveModel& model, std::string& error) {
  std::string text, why;
  if (!ReadTextFile(JoinPath(dir, kDriveFile), text)) {
    error = dir + " is not a recorder (create it first)";
    return false;
  }
  if (!ModelFromJson(text, model, why)) {
    error = JoinPath(dir, kDriveFile) + ": " + why;
    return false;
  }
  return true;
}

bool LoadState(const std::string& dir, TLoadState& state, std::string& error) {
  std::string text, why;
  if (!ReadTextFile(JoinPath(dir, kMediumFile), text)) {
    state = TLoadState{};
    return true;
  }
  if (!StateFromJson(text, state, why)) {
    error = JoinPath(dir, kMediumFile) + ": " + why;
    return false;
  }
  return true;
}

// The state with the medium's image file checked: what status and export answer from.
bool LoadMedium(const std::string& dir, TLoadState& state, std::string& error) {
  if (!LoadState(dir, state, error)) return false;
  return !state.disc ||
         CheckImageFile(JoinPath(dir, kImageFile),
                        uint64_t{state.disc->UserBlockLimit()} * kSectorBytes, error);
}

// The state a new medium or an ejection replaces. A damaged one is replaced too (that is how a
// user repairs the folder); its generation is unknown, so the new one comes from the clock,
// which a running recorder cannot already hold.
TLoadState StateToReplace(const std::string& dir) {
  TLoadState state;
  std::string ignored;
  if (LoadState(dir, state, ignored)) return state;
  state = TLoadState{};
  state.generation = plat::FileTimeNow().Value;
  return state;
}

bool SaveState(const std::string& dir, const TLoadState& state, std::string& error) {
  if (!WriteFileAtomic(JoinPath(dir, kMediumFile), StateToJson(state))) {
    error = "cannot write " + JoinPath(dir, kMediumFile);
    return false;
  }
  return true;
}

// Replaces medium.img by a new file, empty or a copy of source.
bool ReplaceImage(const std::string& dir, const std::string& source, std::string& error) {
  const std::string path = JoinPath(dir, kImageFile);
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  const int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    error = "cannot create " + tmp;
    return false;
  }
  bool ok = true;
  if (!source.empty()) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    ok = in >= 0;
    std::vector<char> buf(1 << 20);
    while (ok) {
      const ssize_t n = read(in, buf.data(), buf.size());
      if (n == 0) break;
      ok = n > 0 && write(out, buf.data(), static_cast<size_t>(n)) == n;
    }
    if (in >= 0) close(in);
    if (!ok) error = "cannot copy " + source;
  }
  if (close(out) != 0) ok = false;
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path;
    ok = false;
  }
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool CanRead(const TDriveModel& model, TMediumKind kind, std::string& error) {
  if (model.Reads(kind)) return true;
  error = "the recorder (model " + model.model + ") cannot read " + MediumName(kind);
  return false;
}

bool Load(const std::string& dir, TDisc disc, std::string& error) {
  TDriveModel model;
  if (!LoadModel(dir, model, error) || !CanRead(model, disc.kind, error)) return false;
  TLoadState state = StateToReplace(dir);
  state.generation += 1;
  state.trayOpen = false;
  state.disc = std::move(disc);
  return SaveState(dir, state, error);
}

const char* DiscStatusName(uint8_t s) {
  switch (s) {
    case 0:
      return "blank";
    case 1:
      return "appendable";
    default:
      return "complete";
  }
}

}  // namespace

bool CreateRecorder(const std::string& dir, std::string_view modelName, bool noAddress,
                    std::string& error) {
  auto model = PresetModel(modelName);
  if (!model) {
    error = "unknown model " + std::string(modelName);
    return false;
  }
  if (noAddress) model->address.reset();
  if (!plat::MakeFolders(dir)) {
    error = "cannot create " + dir;
    return false;
  }
  TLocked lock(dir);
  if (!lock.Ok()) {
    error = "cannot lock " + dir;
    return false;
  }
  if (plat::FileExists(JoinPath(dir, kDriveFile))) {
    error = dir + " already holds a recorder";
    return false;
  }
  if (!WriteFileAtomic(JoinPath(dir, kDriveFile), ModelToJson(*model))) {
    error = "cannot write " + JoinPath(dir, kDriveFile);
    return false;
  }
  return SaveState(dir, TLoadState{}, error);
}

bool EnsureRecorder(const std::string& dir, const std::optional<TDisc>& medium,
                    std::string& error) {
  if (plat::FileExists(JoinPath(dir, kDriveFile))) return true;
  if (!CreateRecorder(dir, "bd", false, error)) {
    // Another process may have been quicker.
    return plat::FileExists(JoinPath(dir, kDriveFile));
  }
  if (!medium) return true;
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error) || !CanRead(model, medium->kind, error)) return false;
  return ReplaceImage(dir, "", error) && Load(dir, *medium, error);
}

bool InsertBlank(const std::string& dir, TMediumKind kind, std::optional<uint32_t> blocks,
                 bool formatted, std::string& error) {
  if (Traits(kind).access == TAccess::Rom) {
    error = "a pressed " + MediumName(kind) + " is made from an image (--rom IMAGE)";
    return false;
  }
  const uint32_t capacity = blocks.value_or(Traits(kind).capacity);
  if (capacity == 0 || capacity > 0x7FFFFFFF) {
    error = "the number of blocks must be between 1 and 2147483647";
    return false;
  }
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error) || !CanRead(model, kind, error)) return false;
  return ReplaceImage(dir, "", error) && Load(dir, TDisc::Blank(kind, capacity, formatted), error);
}

bool InsertPressed(const std::string& dir, const std::string& image,
                   std::optional<TMediumKind> kind, std::string& error) {
  const int64_t size = plat::GetFileSize(image);
  if (size <= 0) {
    error = size < 0 ? "cannot read " + image : image + " is empty";
    return false;
  }
  const uint64_t blocks = (uint64_t(size) + kSectorBytes - 1) / kSectorBytes;
  if (blocks > 0x7FFFFFFF) {
    error = image + " is too large for a disc";
    return false;
  }
  if (!kind) {
    kind = blocks <= Traits(TMediumKind::CdRom).capacity        ? TMediumKind::CdRom
           : blocks <= Traits(TMediumKind::DvdPlusRDl).capacity ? TMediumKind::DvdRom
                                                                : TMediumKind::BdRom;
  }
  if (Traits(*kind).access != TAccess::Rom) {
    error = "a pressed disc is cd-rom, dvd-rom or bd-rom";
    return false;
  }
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error) || !CanRead(model, *kind, error)) return false;
  return ReplaceImage(dir, image, error) &&
         Load(dir, TDisc::Pressed(*kind, static_cast<uint32_t>(blocks)), error);
}

bool EjectMedium(const std::string& dir, std::string& error) {
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error)) return false;
  TLoadState state = StateToReplace(dir);
  if (state.disc) state.generation += 1;
  state.disc.reset();
  state.trayOpen = true;
  if (!SaveState(dir, state, error)) return false;
  unlink(JoinPath(dir, kImageFile).c_str());
  return true;
}

bool ReadLoadState(const std::string& dir, TLoadState& state, std::string& error) {
  TLocked lock(dir);
  TDriveModel model;
  return LoadModel(dir, model, error) && LoadState(dir, state, error);
}

bool RecorderStatus(const std::string& dir, std::string& out, std::string& error) {
  TLoadState state;
  {
    TLocked lock(dir);
    TDriveModel model;
    if (!LoadModel(dir, model, error) || !LoadMedium(dir, state, error)) return false;
  }
  using json = nlohmann::json;
  json j;
  j["tray"] = state.trayOpen ? "open" : "closed";
  j["pace"] = state.pace;
  if (!state.disc) {
    j["medium"] = nullptr;
  } else {
    const TDisc& d = *state.disc;
    json m;
    m["type"] = MediumName(d.kind);
    m["profile"] = d.Profile();
    m["capacity"] = d.capacity;
    m["erasable"] = d.Erasable();
    m["formatted"] = d.formatted;
    m["disc_status"] = DiscStatusName(d.DiscStatus());
    json sessions = json::array();
    for (const auto& s : d.SessionSpans())
      sessions.push_back(json{{"start", s.start}, {"end", s.end}, {"closed", s.closed}});
    m["sessions"] = sessions;
    const auto last = d.LastRecorded();
    m["last_recorded"] = last ? json(*last) : json(nullptr);
    const auto open = d.TrackByNumber(0xFF);
    m["next_writable"] = open && open->nwaValid && d.Access() == TAccess::Sequential
                             ? json(open->nwa)
                             : json(nullptr);
    json tracks = json::array();
    for (uint32_t n = 1; n <= d.TrackCount(); ++n) {
      if (const auto t = d.TrackByNumber(n)) {
        tracks.push_back(json{{"number", t->number},
                              {"session", t->session},
                              {"start", t->start},
                              {"size", t->size}});
      }
    }
    m["tracks"] = tracks;
    if (!d.timestamp.empty()) m["timestamp"] = d.timestamp;
    j["medium"] = m;
  }
  out = j.dump(2) + "\n";
  return true;
}

bool ExportMedium(const std::string& dir, const std::string& output,
                  std::optional<uint32_t> session, std::string& error,
                  const std::function<bool(uint64_t done, uint64_t total)>& progress) {
  TLocked lock(dir);
  TDriveModel model;
  TLoadState state;
  if (!LoadModel(dir, model, error) || !LoadMedium(dir, state, error)) return false;
  if (!state.disc) {
    error = "no medium in " + dir;
    return false;
  }
  const TDisc& d = *state.disc;
  uint32_t first = 0, end = 0;
  if (session) {
    const auto spans = d.SessionSpans();
    if (*session < 1 || *session > spans.size()) {
      error = "the medium has no session " + std::to_string(*session);
      return false;
    }
    first = spans[*session - 1].start;
    end = spans[*session - 1].end;
  } else if (const auto last = d.LastRecorded()) {
    end = *last + 1;
  }
  TImageFile image;
  if (!image.Open(JoinPath(dir, kImageFile))) {
    error = "cannot open " + JoinPath(dir, kImageFile);
    return false;
  }
  bool stopped = false;
  const auto tell = [&](uint64_t done, uint64_t total) {
    stopped = progress && !progress(done, total);
    return !stopped;
  };
  std::string why;
  if (!image.ExportTo(output, first, end, why, tell)) {
    error = stopped ? "stopped" : "cannot write " + output + ": " + why;
    return false;
  }
  return true;
}

bool UpdateFaults(const std::string& dir, const std::function<void(TFaults&)>& change,
                  std::string& error) {
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error)) return false;
  TFaults f;
  std::string text, why;
  const std::string path = JoinPath(dir, kFaultsFile);
  if (ReadTextFile(path, text) && !FaultsFromJson(text, f, why)) {
    error = path + ": " + why;
    return false;
  }
  change(f);
  if (!WriteFileAtomic(path, FaultsToJson(f))) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ClearFaults(const std::string& dir, std::string& error) {
  return UpdateFaults(
      dir, [](TFaults& f) { f = TFaults{}; }, error);
}

bool SetTrace(const std::string& dir, bool on, std::string& error) {
  TLocked lock(dir);
  TDriveModel model;
  if (!LoadModel(dir, model, error)) return false;
  model.trace = on;
  if (!WriteFileAtomic(JoinPath(dir, kDriveFile), ModelToJson(model))) {
    error = "cannot write " + JoinPath(dir, kDriveFile);
    return false;
  }
  return true;
}

bool SetPace(const std::string& dir, bool on, std::string& error) {
  TLocked lock(dir);
  TDriveModel model;
  TLoadState state;
  if (!LoadModel(dir, model, error) || !LoadState(dir, state, error)) return false;
  state.pace = on;
  return SaveState(dir, state, error);
}

}  // namespace vdrive
