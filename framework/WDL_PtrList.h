#pragma once
// Growable list of pointers. The list does not own its pointers by itself: owners delete them
// through Empty(true) or Delete(index, true), typically in their destructor.

#include "framework/WDL_TypedBuf.h"

template <typename T> class WDL_PtrList
{
public:
    WDL_PtrList() = default;
    WDL_PtrList(const WDL_PtrList&) = delete;
    WDL_PtrList& operator=(const WDL_PtrList&) = delete;

    int GetSize() const { return mList.GetSize(); }
    // The pointer at index, or null outside the list.
    T* Get(int index) const
    {
        return index >= 0 && index < GetSize() ? mList.Get()[index] : nullptr;
    }
    T* const* GetList() const { return mList.Get(); }

    T* Add(T* item) { return mList.Add(item) ? item : nullptr; }
    T* Insert(int index, T* item) { return mList.Insert(item, index) ? item : nullptr; }
    void Set(int index, T* item)
    {
        if (index >= 0 && index < GetSize())
            mList.Get()[index] = item;
    }
    int Find(const T* item) const
    {
        for (int i = 0; i < GetSize(); ++i)
            if (mList.Get()[i] == item)
                return i;
        return -1;
    }
    // Removes the entry at index, deleting the object when asked to.
    void Delete(int index, bool deletePtr = false)
    {
        if (index < 0 || index >= GetSize())
            return;
        T* item = mList.Get()[index];
        mList.Delete(index);
        if (deletePtr)
            delete item;
    }
    // Removes every entry, deleting the objects when asked to (last first).
    void Empty(bool deletePtrs = false)
    {
        if (deletePtrs)
            for (int i = GetSize() - 1; i >= 0; --i)
                delete mList.Get()[i];
        mList.Resize(0);
    }

private:
    WDL_TypedBuf<T*> mList;
};
