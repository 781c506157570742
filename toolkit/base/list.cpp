#include "toolkit/base/list.h"

#include "platform/win32.h"

namespace {
HANDLE listHeap = nullptr;
}  // namespace

void ListLibraryInit() {
  if (listHeap == nullptr) {
    listHeap = HeapCreate(0, 1024, 0);
  }
}

// The list heap stays until the process ends.
void ListLibraryEnd() {}

ListNode* ListNodeOf(void* payload) { return static_cast<ListNode*>(payload) - 1; }
void* ListPayloadOf(ListNode* node) { return node + 1; }

void* ListAdd(ListNode** head, size_t payloadSize) {
  if (listHeap == nullptr) {
    return nullptr;
  }
  auto* node =
      static_cast<ListNode*>(HeapAlloc(listHeap, HEAP_ZERO_MEMORY, sizeof(ListNode) + payloadSize));
  if (node == nullptr) {
    return nullptr;
  }
  if (*head != nullptr) {
    (*head)->previous = node;
    node->next = *head;
  }
  *head = node;
  return ListPayloadOf(node);
}

void ListRemove(ListNode** head, void* payload) {
  ListNode* node = ListNodeOf(payload);
  if (*head == node) {
    *head = node->next;
    if (node->next != nullptr) {
      node->next->previous = nullptr;
    }
  } else {
    if (node->previous != nullptr) {
      node->previous->next = node->next;
    }
    if (node->next != nullptr) {
      node->next->previous = node->previous;
    }
  }
  HeapFree(listHeap, 0, node);
}
