// Doubly linked lists whose nodes come zero-filled from the list heap.
// A list is held by a head word that points at its newest node.
#pragma once

#include <cstddef>

struct ListNode {
  ListNode* next;      // the next older node
  ListNode* previous;  // the next newer node
};

void ListLibraryInit();
void ListLibraryEnd();

// Payload address of a new newest node, or null (the list is then unchanged).
void* ListAdd(ListNode** head, size_t payloadSize);
// Unlinks the node that holds `payload` and frees it.
void ListRemove(ListNode** head, void* payload);

ListNode* ListNodeOf(void* payload);
void* ListPayloadOf(ListNode* node);
