// Reading the playlist window of the running program from outside its
// process: the list view's rows, cells, images, selection and places, and
// the status bar's texts. The controls fill records in their own process,
// so the records live in memory lent there.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class RemoteList {
public:
    // The list view `list` and the status bar `status` (may be null).
    RemoteList(HWND list, HWND status) : List(list), Status(status)
    {
        DWORD id = 0;
        GetWindowThreadProcessId(list, &id);
        Process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (Process != nullptr)
            Block = static_cast<char*>(VirtualAllocEx(Process, nullptr, BlockBytes, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteList()
    {
        if (Block != nullptr)
            VirtualFreeEx(Process, Block, 0, MEM_RELEASE);
        if (Process != nullptr)
            CloseHandle(Process);
    }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    bool Ready() const { return Block != nullptr; }
    int Rows() const { return static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0)); }

    std::string Cell(int row, int column) const
    {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = Block + TextOffset;
        item.cchTextMax = BlockBytes - TextOffset;
        if (!Put(item))
            return "(unreadable)";
        SendMessageA(List, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(Block));
        return Text();
    }
    // The row's image index (its icon).
    int Image(int row) const
    {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = -1;
        if (!Put(item) || !SendMessageA(List, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(Block)) || !Get(&item))
            return -1;
        return item.iImage;
    }
    int Selected() const { return static_cast<int>(SendMessageA(List, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }
    // The row's rectangle in screen coordinates (LVIR_BOUNDS, LVIR_LABEL...).
    RECT RowRect(int row, int part = LVIR_BOUNDS) const
    {
        RECT rect{};
        rect.left = part;
        if (Put(rect) && SendMessageA(List, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(Block)))
            Get(&rect);
        MapWindowPoints(List, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    std::string StatusText(int part) const
    {
        const auto length = LOWORD(SendMessageA(Status, SB_GETTEXTLENGTHA, part, 0));
        if (length + 1 > BlockBytes)
            return "(too long)";
        SendMessageA(Status, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(Block + TextOffset));
        return Text();
    }

private:
    static constexpr int BlockBytes = 4096;
    static constexpr int TextOffset = 512;

    template <typename Record>
    bool Put(const Record& record) const
    {
        return Block != nullptr && WriteProcessMemory(Process, Block, &record, sizeof record, nullptr);
    }
    template <typename Record>
    bool Get(Record* record) const
    {
        return ReadProcessMemory(Process, Block, record, sizeof *record, nullptr) != 0;
    }
    std::string Text() const
    {
        char text[BlockBytes - TextOffset] = {};
        if (!ReadProcessMemory(Process, Block + TextOffset, text, sizeof text - 1, nullptr))
            return "(unreadable)";
        return text;
    }

    HWND List;
    HWND Status;
    HANDLE Process = nullptr;
    char* Block = nullptr;
};
