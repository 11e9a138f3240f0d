// Appending to the inventory's singly linked record lists.
#pragma once

namespace halcyra {

// A list that an enumeration is filling, its tail kept so that each append
// is one step instead of a walk. Open for the enumeration's duration; the
// enumeration's callbacks then append with AppendRecord. Opened lists of
// one record type nest (the innermost is kept).
template <typename Record>
class OpenRecordList {
 public:
  explicit OpenRecordList(Record*& head) : m_head(&head), m_tail(head), m_outer(s_innermost) {
    while (m_tail != nullptr && m_tail->next != nullptr) m_tail = m_tail->next;
    s_innermost = this;
  }
  ~OpenRecordList() { s_innermost = m_outer; }
  OpenRecordList(const OpenRecordList&) = delete;
  OpenRecordList& operator=(const OpenRecordList&) = delete;

  // Puts `record` (its `next` null) at the end of the list at `head`: in one
  // step when that list is the innermost open one, else by walking it.
  static void Append(Record*& head, Record* record) {
    OpenRecordList* open = s_innermost != nullptr && s_innermost->m_head == &head ? s_innermost : nullptr;
    Record* tail = open != nullptr ? open->m_tail : head;
    if (open == nullptr) {
      while (tail != nullptr && tail->next != nullptr) tail = tail->next;
    }
    (tail == nullptr ? head : tail->next) = record;
    if (open != nullptr) open->m_tail = record;
  }

 private:
  Record** m_head;
  Record* m_tail;
  OpenRecordList* m_outer;
  static inline OpenRecordList* s_innermost = nullptr;
};

template <typename Record>
void AppendRecord(Record*& head, Record* record) {
  OpenRecordList<Record>::Append(head, record);
}

}  // namespace halcyra
