#include "image/qvpClassesW.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/qvpTreeTypes.h"
#include "platform/Text.h"

namespace {
constexpr size_t kChunkSize = 1 << 20;
}  // namespace

TTreeArena::~TTreeArena() { Clear(); }

void* TTreeArena::Allocate(size_t bytes, size_t align) {
  if (bytes == 0) bytes = 1;
  const size_t skip = (align - reinterpret_cast<uintptr_t>(cur_) % align) % align;
  if (cur_ != nullptr && skip <= left_) {
    cur_ += skip;
    left_ -= skip;
  }
  if (cur_ == nullptr || bytes > left_) {
    size_t size = bytes > kChunkSize / 4 ? bytes : kChunkSize;
    char* data = static_cast<char*>(std::calloc(1, size));
    if (data == nullptr) throw std::bad_alloc();
    chunks_.push_back({data, size});
    reserved_ += size;
    if (size == bytes) return data;  // a large block of its own; the current chunk continues
    cur_ = data;
    left_ = size;
  }
  void* p = cur_;
  cur_ += bytes;
  left_ -= bytes;
  return p;
}

char16_t* TTreeArena::NewText(std::u16string_view text, size_t capacity) {
  if (capacity < text.size() + 1) capacity = text.size() + 1;
  auto* p = static_cast<char16_t*>(Allocate(capacity * sizeof(char16_t), alignof(char16_t)));
  if (!text.empty()) std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
  return p;
}

void TTreeArena::Clear() {
  for (auto& c : chunks_) std::free(c.Data);
  chunks_.clear();
  cur_ = nullptr;
  left_ = 0;
  reserved_ = 0;
}

uint32_t TNameIndex::Hash(std::u16string_view name) {
  return static_cast<uint32_t>(plat::HashNoCase(name));
}

size_t TNameIndex::SlotOf(const TDirNode* dir, uint32_t hash) const {
  uint64_t h = hash ^ (reinterpret_cast<uintptr_t>(dir) * 0x9E3779B97F4A7C15ull);
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<size_t>(h) & (slots_.size() - 1);
}

TFileNode* TNameIndex::Probe(const TEntries& entries, const TDirNode* dir, std::u16string_view name,
                             uint32_t hash, bool exact) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  // Case variants share the hash, so they sit on the same probe run.
  for (size_t i = SlotOf(dir, hash);; i = (i + 1) & mask) {
    const uint32_t slot = slots_[i];
    if (slot == 0) return nullptr;
    TFileNode* n = entries[slot - 1];
    if (n->Owner != dir || n->NameHash != hash) continue;
    const std::u16string_view have(n->LongName, n->LongNameLen);
    if (exact ? have == name : plat::EqualsNoCase(have, name)) return n;
  }
}

TFileNode* TNameIndex::Find(const TEntries& entries, const TDirNode* dir, std::u16string_view name,
                            uint32_t hash) const {
  return Probe(entries, dir, name, hash, false);
}

TFileNode* TNameIndex::FindExact(const TEntries& entries, const TDirNode* dir,
                                 std::u16string_view name, uint32_t hash) const {
  return Probe(entries, dir, name, hash, true);
}

void TNameIndex::Grow(const TEntries& entries) {
  std::vector<uint32_t> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
  const size_t mask = slots_.size() - 1;
  for (uint32_t slot : old) {
    if (slot == 0) continue;
    const TFileNode* n = entries[slot - 1];
    size_t i = SlotOf(n->Owner, n->NameHash);
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void TNameIndex::Insert(const TEntries& entries, uint32_t position) {
  if ((count_ + 1) * 10 > slots_.size() * 8) Grow(entries);
  const TFileNode* node = entries[position];
  const size_t mask = slots_.size() - 1;
  size_t i = SlotOf(node->Owner, node->NameHash);
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = position + 1;
  ++count_;
}

void TNameIndex::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  count_ = 0;
}
