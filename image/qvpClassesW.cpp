#include "image/qvpClassesW.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/qvpTreeTypes.h"
#include "platform/Text.h"

namespace {
constexpr size_t kChunkSize = 1 << 20;
constexpr size_t kAlign = alignof(std::max_align_t);

size_t AlignUp(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }
}  // namespace

TTreeArena::~TTreeArena() { Clear(); }

void* TTreeArena::Allocate(size_t bytes) {
  bytes = AlignUp(bytes == 0 ? 1 : bytes);
  if (bytes > left_) {
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
  auto* p = static_cast<char16_t*>(Allocate(capacity * sizeof(char16_t)));
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

TFileNode* TNameIndex::Find(const TDirNode* dir, std::u16string_view name, uint32_t hash) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(dir, hash);; i = (i + 1) & mask) {
    TFileNode* n = slots_[i];
    if (n == nullptr) return nullptr;
    if (n->Owner == dir && n->NameHash == hash &&
        plat::EqualsNoCase(std::u16string_view(n->LongName, n->LongNameLen), name))
      return n;
  }
}

void TNameIndex::Grow() {
  std::vector<TFileNode*> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, nullptr);
  const size_t mask = slots_.size() - 1;
  for (TFileNode* n : old) {
    if (n == nullptr) continue;
    size_t i = SlotOf(n->Owner, n->NameHash);
    while (slots_[i] != nullptr) i = (i + 1) & mask;
    slots_[i] = n;
  }
}

void TNameIndex::Insert(TFileNode* node) {
  if ((count_ + 1) * 10 > slots_.size() * 7) Grow();
  const size_t mask = slots_.size() - 1;
  size_t i = SlotOf(node->Owner, node->NameHash);
  while (slots_[i] != nullptr) i = (i + 1) & mask;
  slots_[i] = node;
  ++count_;
}

void TNameIndex::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  count_ = 0;
}
