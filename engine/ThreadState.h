#pragma once

#include <QThreadStorage>

// State of the engine kept once per thread, so that a look at a folder on a
// thread of its own and a run never share it. Its owner is Qt's thread
// storage, which deletes it as its thread ends; a thread_local object with a
// destructor is not used, since on Windows such destructors run after the
// thread's storage has been freed.
template <class T>
class PerThread {
 public:
  T& get() {
    if (!storage_.hasLocalData()) storage_.setLocalData(new T());
    return *storage_.localData();
  }

 private:
  QThreadStorage<T*> storage_;
};
