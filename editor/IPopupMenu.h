#pragma once
// A popup menu as the editor offers it: a list of items, each with its text and flags, an
// optional numbering prefix and the index of the item the user chose (-1 while none).

#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"

class IPopupMenu
{
public:
    struct Item
    {
        enum EFlags
        {
            kNoFlags = 0,
            kDisabled = 1,
            kTitle = 2,
            kChecked = 4,
            kSeparator = 8
        };
        WDL_String text;
        int flags = kNoFlags;
        IPopupMenu* submenu = nullptr; // not owned

        bool Checked() const { return (flags & kChecked) != 0; }
        bool Enabled() const { return (flags & (kDisabled | kSeparator | kTitle)) == 0; }
    };

    IPopupMenu() = default;
    ~IPopupMenu() { mItems.Empty(true); }
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    Item* AddItem(const char* text, int flags = Item::kNoFlags)
    {
        Item* item = new Item;
        item->text.Set(text);
        item->flags = flags;
        mItems.Add(item);
        return item;
    }
    void AddSeparator() { AddItem("", Item::kSeparator); }

    int NItems() const { return mItems.GetSize(); }
    Item* GetItem(int idx) const { return mItems.Get(idx); }
    // 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: ".
    void SetPrefix(int style) { mPrefix = style; }
    // The text as shown, with the numbering prefix when the menu asks for one.
    void ItemLabel(int idx, WDL_String* out) const;

    void SetChosenItemIdx(int idx) { mChosen = idx; }
    int GetChosenItemIdx() const { return mChosen; }

private:
    WDL_PtrList<Item> mItems;
    int mPrefix = 0;
    int mChosen = -1;
};
