// vlq: the pointer queue's growth, shrinking, insertion and removal.
#include "vlq.h"

#include <new>

VLQ::VLQ() : capacity(0), count(0), items(nullptr), ownsItems(true), freeItem(nullptr) {}

VLQ::~VLQ() {
    RemoveAll();
    delete[] items;
}

void VLQ::PrivResize(int newCapacity, int offset) {
    void** fresh = new void*[newCapacity];
    for (int n = 0; n < count; n++)
        fresh[n + offset] = items[n];
    delete[] items;
    items = fresh;
    capacity = newCapacity;
}

void VLQ::PrivResizeMore() {
    PrivResize(capacity <= 0 ? 16 : capacity * 2, 0);
}

void VLQ::CheckResizeLess() {
    if (count < capacity / 4 && capacity > 31) PrivResize(capacity / 2, 0);
}

void VLQ::PrivShift(int k) {
    if (k > 0) {
        for (int n = count - 1; n >= 0; n--)
            items[n + k] = items[n];
    } else if (k < 0) {
        for (int n = -k; n < count; n++)
            items[n + k] = items[n];
    }
}

void VLQ::Queue(void* item) {
    if (count >= capacity) PrivResizeMore();
    items[count++] = item;
}

void VLQ::Add(void* item) {
    Queue(item);
}

void VLQ::Insert(void* item) {
    if (count >= capacity) PrivResizeMore();
    PrivShift(1);
    items[0] = nullptr;
    items[0] = item;
    count++;
}

void* VLQ::Next() {
    if (count < 1) return nullptr;
    void* item = items[0];
    PrivShift(-1);
    items[count - 1] = nullptr;
    count--;
    CheckResizeLess();
    return item;
}

void* VLQ::Pop(int index) {
    if (count < 1) return nullptr;
    if (index == -1) {
        void* item = items[count - 1];
        items[count - 1] = nullptr;
        count--;
        CheckResizeLess();
        return item;
    }
    // An index outside the items removes nothing (callers check it first).
    if (index < 0 || index >= count) return nullptr;
    void* item = items[index];
    Delete(index);
    return item;
}

void VLQ::Delete(int index) {
    if (index < 0 || index >= count) return;
    for (int n = index + 1; n < count; n++)
        items[n - 1] = items[n];
    items[count - 1] = nullptr;
    count--;
    CheckResizeLess();
}

void* VLQ::Peek(int index) {
    if (index < 0 || index >= count) return nullptr;
    return items[index];
}

void* VLQ::Get(int index) {
    return Peek(index);
}

void VLQ::RemoveAll() {
    if (!ownsItems) return;
    while (count > 0) {
        void* item = Pop(-1);
        if (freeItem)
            freeItem(item);
        else
            ::operator delete(item);
    }
}
