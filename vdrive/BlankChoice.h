#pragma once
// Which blank to put into a virtual recorder for a job that waits for one (a disc copy that has
// read its source, a burn that needs another disc): of the source's family, with room for what
// is to be written, of a kind the recorder writes. Front ends offer it in one click.
#include <cstdint>
#include <optional>
#include <string>

#include "vdrive/Disc.h"
#include "vdrive/Media.h"
#include "vdrive/Model.h"

namespace vdrive {

struct TBlankNeed {
  // The source's family (a disc copy stays a CD, DVD, ...); none for an image file or a
  // compilation, which go onto the smallest family that holds them.
  std::optional<TFamily> family;
  uint64_t blocks = 0;  // 2048-byte blocks the blank must hold
};

// What a copy of this disc needs: its family and the blocks recorded on it.
TBlankNeed NeedOf(const TDisc& source);

// The kind to insert: one the model writes, of the family, with room for the blocks. The
// preferred kind (the user's last choice) when it qualifies; otherwise write-once before
// rewritable and single layer before double. None when no kind qualifies.
std::optional<TMediumKind> ChooseBlank(const TDriveModel& model, const TBlankNeed& need,
                                       std::optional<TMediumKind> preferred = std::nullopt);

// ChooseBlank for the recorder in dir (to name the offer before it is taken); none with a
// reason in error.
std::optional<TMediumKind> ChooseBlankFor(const std::string& dir, const TBlankNeed& need,
                                          std::optional<TMediumKind> preferred, std::string& error);

// Chooses for the recorder in dir and inserts that blank (unformatted, as from the shop); the
// kind inserted, or none with a reason in error.
std::optional<TMediumKind> InsertBlankFor(const std::string& dir, const TBlankNeed& need,
                                          std::optional<TMediumKind> preferred, std::string& error);

}  // namespace vdrive
