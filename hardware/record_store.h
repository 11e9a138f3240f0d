// Memory for one inventory's records, display modes and texts: carved in
// order out of a few large blocks and released all at once with the
// inventory. A machine with hundreds of drivers has tens of thousands of
// mode records; made one by one on the heap, their allocation and release
// cost more than the probing itself, and the records end up scattered.
// Here the records of a list lie next to each other in the order they were
// made, and the teardown frees a handful of blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <type_traits>

namespace halcyra {

class RecordStore {
 public:
  RecordStore() = default;
  ~RecordStore() { Release(); }
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // A value-initialised `T` (all zero for the plain records), or null when
  // no memory is left.
  template <typename T>
  T* Make() {
    static_assert(std::is_trivially_destructible_v<T>, "the store runs no destructors");
    void* at = Allocate(sizeof(T), alignof(T));
    return at != nullptr ? new (at) T{} : nullptr;
  }
  // A NUL-terminated copy of `text`, or null when no memory is left.
  char* CopyText(std::string_view text);
  // Frees every block: everything made here is gone.
  void Release();

 private:
  struct Block {
    Block* previous;
  };
  // `align` is a power of two (as every alignof is); the usual case, room
  // in the last block, costs a few instructions.
  void* Allocate(std::size_t size, std::size_t align) {
    const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(m_free) + (align - 1)) & ~(align - 1);
    if (m_free == nullptr || at + size > reinterpret_cast<std::uintptr_t>(m_end)) {
      return AllocateInNewBlock(size, align);
    }
    m_free = reinterpret_cast<char*>(at + size);
    return reinterpret_cast<void*>(at);
  }
  void* AllocateInNewBlock(std::size_t size, std::size_t align);

  Block* m_last = nullptr;
  char* m_free = nullptr;  // the unused part of the last block
  char* m_end = nullptr;
  std::size_t m_nextBlockSize = 16 * 1024;
};

}  // namespace halcyra
