#include "vdrive/BlankChoice.h"

#include "vdrive/Store.h"
#include "vdrive/Tool.h"

namespace vdrive {
namespace {

using K = TMediumKind;

// Blanks in the order they are offered: families from the smallest, within a family write-once
// before rewritable, double layer last.
constexpr TMediumKind kOrder[] = {K::CdR,       K::CdRw,  K::DvdPlusR, K::DvdR,
                                  K::DvdPlusRw, K::DvdRw, K::DvdRam,   K::DvdPlusRDl,
                                  K::BdR,       K::BdRe,  K::HdDvdR,   K::HdDvdRam};

bool Fits(const TDriveModel& model, const TBlankNeed& need, TMediumKind kind) {
  const TMediumTraits& t = Traits(kind);
  return t.access != TAccess::Rom && model.Writes(kind) &&
         (!need.family || t.family == *need.family) && need.blocks <= t.capacity;
}

}  // namespace

TBlankNeed NeedOf(const TDisc& source) {
  TBlankNeed need;
  need.family = source.Traits().family;
  const auto last = source.LastRecorded();
  need.blocks = last ? uint64_t(*last) + 1 : 0;
  return need;
}

std::optional<TMediumKind> ChooseBlank(const TDriveModel& model, const TBlankNeed& need,
                                       std::optional<TMediumKind> preferred) {
  if (preferred && Fits(model, need, *preferred)) return preferred;
  for (const TMediumKind kind : kOrder) {
    if (Fits(model, need, kind)) return kind;
  }
  return std::nullopt;
}

std::optional<TMediumKind> ChooseBlankFor(const std::string& dir, const TBlankNeed& need,
                                          std::optional<TMediumKind> preferred,
                                          std::string& error) {
  std::string text, why;
  TDriveModel model;
  if (!ReadTextFile(JoinPath(dir, kDriveFile), text) || !ModelFromJson(text, model, why)) {
    error = dir + " is not a recorder" + (why.empty() ? "" : ": " + why);
    return std::nullopt;
  }
  const auto kind = ChooseBlank(model, need, preferred);
  if (!kind) {
    error = "the recorder (model " + model.model + ") writes no blank that holds " +
            std::to_string(need.blocks) + " blocks" + (need.family ? " of the source's kind" : "");
  }
  return kind;
}

std::optional<TMediumKind> InsertBlankFor(const std::string& dir, const TBlankNeed& need,
                                          std::optional<TMediumKind> preferred,
                                          std::string& error) {
  const auto kind = ChooseBlankFor(dir, need, preferred, error);
  if (!kind || !InsertBlank(dir, *kind, std::nullopt, false, error)) return std::nullopt;
  return kind;
}

}  // namespace vdrive
