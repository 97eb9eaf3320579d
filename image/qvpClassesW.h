#pragma once
// Storage of the compilation tree: a zero-filled arena for nodes and names (freed all at once
// by ClearCompilation) and the case-insensitive index of every directory's entries by long name,
// which keeps each insertion's name lookup at constant cost however large a folder grows.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace img {

struct TFileNode;
struct TDirNode;

class TTreeArena {
 public:
  TTreeArena() = default;
  ~TTreeArena();
  TTreeArena(const TTreeArena&) = delete;
  TTreeArena& operator=(const TTreeArena&) = delete;

  // Zero-filled memory with the given alignment (nodes: their own; texts: 2).
  void* Allocate(size_t bytes, size_t align = alignof(void*));
  // Wide text buffer of `capacity` characters (zero-filled, so always terminated when the text is
  // shorter), filled with `text`.
  char16_t* NewText(std::u16string_view text, size_t capacity);
  void Clear();
  size_t BytesReserved() const { return reserved_; }

 private:
  struct TChunk {
    char* Data;
    size_t Size;
  };
  std::vector<TChunk> chunks_;
  char* cur_ = nullptr;
  size_t left_ = 0;
  size_t reserved_ = 0;
};

// Open-addressing hash set of entries keyed by (owning directory, long name without case). It
// holds positions in the entry table (4 bytes a slot), so it costs little beside the tree.
class TNameIndex {
 public:
  using TEntries = std::vector<TFileNode*>;
  // An entry of dir whose long name equals name without regard to case (the first found).
  TFileNode* Find(const TEntries& entries, const TDirNode* dir, std::u16string_view name,
                  uint32_t hash) const;
  // The entry of dir with exactly that long name: names differing only in case are distinct
  // files here.
  TFileNode* FindExact(const TEntries& entries, const TDirNode* dir, std::u16string_view name,
                       uint32_t hash) const;
  // The entry at `position` of the table; its Owner, LongName and NameHash must be set.
  void Insert(const TEntries& entries, uint32_t position);
  void Clear();
  size_t BytesReserved() const { return slots_.capacity() * sizeof(uint32_t); }
  static uint32_t Hash(std::u16string_view name);

 private:
  size_t SlotOf(const TDirNode* dir, uint32_t hash) const;
  TFileNode* Probe(const TEntries& entries, const TDirNode* dir, std::u16string_view name,
                   uint32_t hash, bool exact) const;
  void Grow(const TEntries& entries);
  std::vector<uint32_t> slots_;  // entry position + 1; 0 is free
  size_t count_ = 0;
};

class TTreeStore {
 public:
  TTreeArena Arena;
  TNameIndex Index;
};

}  // namespace img
