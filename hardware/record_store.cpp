#include "hardware/record_store.h"

#include <cstring>

namespace halcyra {

namespace {
// Blocks grow by doubling up to this size: few blocks for a large machine,
// little unused memory for a small one.
constexpr std::size_t kLargestBlock = 256 * 1024;
}  // namespace

void* RecordStore::AllocateInNewBlock(std::size_t size, std::size_t align) {
  std::size_t blockSize = m_nextBlockSize;
  while (blockSize < sizeof(Block) + size + align) blockSize *= 2;
  auto* block = static_cast<Block*>(::operator new(blockSize, std::nothrow));
  if (block == nullptr) return nullptr;
  block->previous = m_last;
  m_last = block;
  m_free = reinterpret_cast<char*>(block) + sizeof(Block);
  m_end = reinterpret_cast<char*>(block) + blockSize;
  if (m_nextBlockSize < kLargestBlock) m_nextBlockSize *= 2;
  return Allocate(size, align);
}

char* RecordStore::CopyText(std::string_view text) {
  auto* copy = static_cast<char*>(Allocate(text.size() + 1, 1));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void RecordStore::Release() {
  while (m_last != nullptr) {
    Block* previous = m_last->previous;
    ::operator delete(m_last);
    m_last = previous;
  }
  m_free = m_end = nullptr;
}

}  // namespace halcyra
