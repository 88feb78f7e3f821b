// vlq: the engine's one list type, a growable array of untyped pointers used as an
// indexed list, a first-in-first-out queue and a stack. It owns its items by default.
#pragma once

class VLQ {
  public:
    int capacity;
    int count;
    void** items;
    bool ownsItems;
    // How an owning queue frees an item. Null frees it as a plain single object
    // (memory only, no destructor); an owner whose items own more sets e.g.
    // VLQ::DeleteAs<MyType> so their destructors run.
    void (*freeItem)(void*);

    VLQ();
    ~VLQ();

    void Queue(void* item);
    void Add(void* item);
    void Insert(void* item);
    void* Next();
    void* Pop(int index);
    void Delete(int index);
    void* Peek(int index);
    void* Get(int index);
    int Count() { return count; }
    void RemoveAll();

    template <class T> static void DeleteAs(void* p) { delete static_cast<T*>(p); }

  private:
    VLQ(const VLQ&) = delete;
    VLQ& operator=(const VLQ&) = delete;

    void PrivResize(int newCapacity, int offset);
    void PrivResizeMore();
    void CheckResizeLess();
    void PrivShift(int k);
};
