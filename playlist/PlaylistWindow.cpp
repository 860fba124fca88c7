#include "playlist/PlaylistWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "playlist/PlaylistFiles.h"
#include "resources/resource.h"

namespace {

struct ColumnPlace {
    const char* Header;
    int Width;
};

constexpr ColumnPlace Columns[PlaylistColumnCount] = {
    {"No", 40}, {"Title", 148}, {"Artist", 106}, {"Time", 38}, {"Kbps", 37}, {"KHz", 32}, {"File", 227},
};

// Titles and artists longer than this widen their column to fit.
constexpr std::size_t WideText = 10;

// Room for any cell: paths and texts of an entry hold up to 255 bytes, the
// artist one more.
constexpr int CellBytes = 520;

const COLORREF SelectedBack = RGB(255, 0, 0);
const COLORREF SelectedText = RGB(255, 255, 255);
const COLORREF OddBack = RGB(230, 230, 230);
const COLORREF GridColour = RGB(150, 150, 150);

// The list view class's own procedure, under the one that handles drags,
// double clicks and drops. It is kept apart from the object, so that a list
// outliving its object still works.
WNDPROC ListClassProc = nullptr;

bool IsWindowThread(HWND window)
{
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

bool CPlayList::CreatePlaylistWindow(HINSTANCE instance, bool create)
{
    // The frame goes first: nothing may reach the rows' images after them.
    Frame.Reset();
    ListView = nullptr;
    StatusBar = nullptr;
    RowImages.Reset();
    IconRow = -1;
    RowDragging = false;
    RedrawHeld = false;
    TotalSeconds = 0;
    TotalBytes = 0;
    if (!create)
        return true;

    Instance = instance;
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
    windowClass.lpfnWndProc = PlaylistWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_PLAYLIST_MENU);
    windowClass.lpszClassName = PlaylistClassName;
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, PlaylistClassName, &existing) && RegisterClassA(&windowClass) == 0)
        return false;

    // Every row shows one of two images.
    RowImages.Reset(ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, 2, 1));
    if (!RowImages)
        return false;
    for (auto [id, index] : {std::pair{IDI_ROW_PLAYING, &PlayingImage}, std::pair{IDI_ROW_IDLE, &IdleImage}}) {
        IconHandle icon(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)));
        *index = icon ? ImageList_AddIcon(RowImages.Get(), icon.Get()) : -1;
        if (*index < 0) {
            RowImages.Reset();
            return false;
        }
    }

    const PlaylistPlace place;
    Frame.Reset(CreateWindowExA(PlaylistExStyle, PlaylistClassName, PlaylistClassName, PlaylistStyle, place.X,
                                place.Y, place.Width, place.Height, nullptr, nullptr, instance, this));
    if (!Frame) {
        ListView = nullptr;
        StatusBar = nullptr;
        RowImages.Reset();
        return false;
    }
    ShowWindow(Frame.Get(), SW_HIDE);
    UpdateWindow(Frame.Get());
    return true;
}

LRESULT CALLBACK CPlayList::PlaylistWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CPlayList*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return self->OnCreate(window) ? 0 : -1;
    case WM_SIZE:
        self->OnSize(wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        self->OnPaint(window);
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_LIST_VIEW) {
            self->DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const NMHDR*>(lParam);
        if (notice->hwndFrom == self->ListView && notice->code == LVN_BEGINDRAG)
            self->BeginRowDrag(reinterpret_cast<const NMLISTVIEW*>(lParam)->iItem);
        return 0;
    }
    case WM_CONTEXTMENU:
        self->OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_COMMAND:
        if (self->OnCommand(LOWORD(wParam)))
            return 1;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            ShowWindow(window, SW_HIDE);
            return 0;
        }
        break;
    case WM_CLOSE:
        // Closing only hides it: the window lives as long as the program.
        ShowWindow(window, SW_HIDE);
        return 0;
    case WM_DROPFILES:
        // Dropped on the frame, the caption or the status bar: as on the list.
        self->Files.DropFiles(reinterpret_cast<HDROP>(wParam), false);
        return 0;
    case WM_APP_PLAYING_ROW:
        self->ShowPlayingRow();
        return 0;
    case WM_APP_ROWS_ADDED:
        self->ReleaseRedraw();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CPlayList::ListViewProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CPlayList*>(GetWindowLongPtrA(list, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
        case WM_MOUSEMOVE:
            if (self->RowDragging) {
                // A move without the left button held never reorders.
                if (wParam & MK_LBUTTON)
                    self->DragRow(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
                else
                    self->EndRowDrag();
            }
            break;
        case WM_LBUTTONUP:
            if (self->RowDragging)
                self->EndRowDrag();
            break;
        case WM_CAPTURECHANGED:
            // A message box or another application took the mouse.
            if (reinterpret_cast<HWND>(lParam) != list)
                self->RowDragging = false;
            break;
        case WM_LBUTTONDBLCLK:
            self->OnDoubleClick();
            return 0;
        case WM_DROPFILES:
            self->Files.DropFiles(reinterpret_cast<HDROP>(wParam), false);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(list, GWLP_USERDATA, 0);
            break;
        default:
            break;
        }
    }
    return CallWindowProcA(ListClassProc, list, message, wParam, lParam);
}

bool CPlayList::OnCreate(HWND window)
{
    ListView = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES, WC_LISTVIEWA, "",
                               WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDRAWFIXED |
                                   LVS_NOSORTHEADER,
                               0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_VIEW)),
                               Instance, nullptr);
    if (ListView == nullptr)
        return false;
    if (ListClassProc == nullptr)
        ListClassProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(ListView, GWLP_WNDPROC));
    if (ListClassProc == nullptr)
        return false;
    SetWindowLongPtrA(ListView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(ListView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListViewProc));

    for (int i = 0; i < PlaylistColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = Columns[i].Width;
        column.pszText = const_cast<char*>(Columns[i].Header);
        column.iSubItem = i;
        if (SendMessageA(ListView, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) != i)
            return false;
    }
    SendMessageA(ListView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(RowImages.Get()));

    StatusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, "", window, IDC_STATUS_BAR);
    return StatusBar != nullptr;
}

void CPlayList::OnSize(WPARAM kind, int width, int height)
{
    // The status bar sits at the bottom at its own height; the list fills
    // the rest.
    SendMessageA(StatusBar, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBar, &status);
    const int statusHeight = status.bottom - status.top;
    MoveWindow(ListView, 0, 0, width + 1, std::max(0, height - statusHeight), TRUE);
    if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED)
        SendMessageA(ListView, LVM_REDRAWITEMS, 0, RowCount());
    int edges[2] = {100, width};
    SendMessageA(StatusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

void CPlayList::OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    const std::int32_t rows = RowCount();
    if (rows > 0 && ColumnsStale)
        FitColumns();
    const std::string count = FileCountText(rows);
    const std::string total = TotalText(TotalSeconds, TotalBytes);
    SendMessageA(StatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(count.c_str()));
    SendMessageA(StatusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(total.c_str()));
}

void CPlayList::FitColumns()
{
    // Measuring walks every row: done once per change of the rows, never
    // once per row added, so that a long list loads in linear time.
    ColumnsStale = false;
    for (int column : {ColumnTime, ColumnKhz, ColumnFile})
        SendMessageA(ListView, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
    if (WideTitles)
        SendMessageA(ListView, LVM_SETCOLUMNWIDTH, ColumnTitle, LVSCW_AUTOSIZE);
    if (WideArtists)
        SendMessageA(ListView, LVM_SETCOLUMNWIDTH, ColumnArtist, LVSCW_AUTOSIZE);
    WideTitles = false;
    WideArtists = false;
}

std::int32_t CPlayList::RowCount() const
{
    return ListView != nullptr ? static_cast<std::int32_t>(SendMessageA(ListView, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

void CPlayList::SetCell(std::int32_t row, int column, const std::string& text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(ListView, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void CPlayList::AddRow(const TrackEntry& entry)
{
    if (ListView == nullptr)
        return;
    HoldRedraw();
    const std::int32_t row = RowCount();
    const std::string number = RowNumberText(row);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<char*>(number.c_str());
    item.iImage = IdleImage;
    if (SendMessageA(ListView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0)
        return;
    for (int column = ColumnTitle; column < PlaylistColumnCount; ++column)
        SetCell(row, column, CellText(entry, row, static_cast<PlaylistColumn>(column)));
    WideTitles = WideTitles || strnlen(entry.Title, sizeof entry.Title) > WideText;
    WideArtists = WideArtists || strnlen(entry.Artist, sizeof entry.Artist) > WideText;
    ColumnsStale = true;
    TotalSeconds += entry.Duration;
    TotalBytes += entry.DataLength;
}

void CPlayList::HoldRedraw()
{
    if (RedrawHeld)
        return;
    RedrawHeld = true;
    SendMessageA(ListView, WM_SETREDRAW, FALSE, 0);
    PostMessageA(Frame.Get(), WM_APP_ROWS_ADDED, 0, 0);
}

void CPlayList::ReleaseRedraw()
{
    if (!RedrawHeld)
        return;
    RedrawHeld = false;
    SendMessageA(ListView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView, nullptr, TRUE);
}

void CPlayList::SubtractTotals(const TrackEntry& entry)
{
    TotalSeconds -= entry.Duration;
    TotalBytes -= entry.DataLength;
}

void CPlayList::SetPlayingIcon(std::int32_t row, bool playing)
{
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = playing ? PlayingImage : IdleImage;
    SendMessageA(ListView, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void CPlayList::ShowPlayingRow()
{
    HWND frame = Frame.Get();
    if (frame == nullptr)
        return;
    if (!IsWindowThread(frame)) {
        // One notice at a time is enough: the window's thread reads the
        // engine's state when it gets to it.
        if (!PlayingRowPosted.exchange(true))
            PostMessageA(frame, WM_APP_PLAYING_ROW, 0, 0);
        return;
    }
    PlayingRowPosted = false;
    std::int32_t row = Engine.PlayingIndex();
    const std::int32_t rows = RowCount();
    if (row >= rows)
        row = -1;
    if (row == IconRow)
        return;
    if (IconRow >= 0 && IconRow < rows)
        SetPlayingIcon(IconRow, false);
    if (row >= 0)
        SetPlayingIcon(row, true);
    IconRow = row;
}

void CPlayList::SelectPlaylistItem(std::int32_t row)
{
    if (row < 0 || row >= RowCount())
        return;
    ListView_SetItemState(ListView, row, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_SetItemState(ListView, row, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageA(ListView, LVM_ENSUREVISIBLE, row, TRUE);
}

void CPlayList::Renumber(std::int32_t first)
{
    const std::int32_t rows = RowCount();
    for (std::int32_t row = std::max(first, 0); row < rows; ++row)
        SetCell(row, ColumnNumber, RowNumberText(row));
}

void CPlayList::DeleteAll()
{
    if (ListView != nullptr)
        SendMessageA(ListView, LVM_DELETEALLITEMS, 0, 0);
    IconRow = -1;
    Engine.ClearPlaylist();
    TotalSeconds = 0;
    TotalBytes = 0;
    RefreshList();
}

void CPlayList::DeleteSelected()
{
    const std::int32_t rows = RowCount();
    const auto row = static_cast<std::int32_t>(SendMessageA(ListView, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (row < 0 || row >= rows)
        return;
    // The row goes first, so that the playing mark the engine sets next
    // lands on the rows as they will stay.
    SendMessageA(ListView, LVM_DELETEITEM, row, 0);
    if (IconRow == row)
        IconRow = -1;
    else if (IconRow > row)
        --IconRow;
    const std::int32_t next = row == rows - 1 ? row - 1 : row;
    if (next >= 0)
        ListView_SetItemState(ListView, next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Engine.RemoveEntry(row);
    Renumber(row);
    SendMessageA(ListView, LVM_REDRAWITEMS, row, rows - 1);
    ColumnsStale = true;
    RefreshList();
}

bool CPlayList::MoveRow(std::int32_t from, std::int32_t to)
{
    const std::int32_t rows = RowCount();
    if (from == to || from < 0 || to < 0 || from >= rows || to >= rows)
        return false;
    // The table decides; the rows follow only a move it made.
    if (!Engine.MoveEntry(from, to))
        return false;

    // The rows between take their entries' texts and numbers again (the
    // rows outside keep theirs), and keep their selection, focus and
    // playing mark with them.
    const std::int32_t low = std::min(from, to);
    const std::int32_t high = std::max(from, to);
    std::vector<UINT> states(static_cast<std::size_t>(high - low + 1));
    for (std::int32_t row = low; row <= high; ++row) {
        const UINT state = ListView_GetItemState(ListView, row, LVIS_SELECTED | LVIS_FOCUSED);
        states[static_cast<std::size_t>(FollowMove(row, from, to) - low)] = state;
    }
    IconRow = FollowMove(IconRow, from, to);
    TrackEntry entry;
    for (std::int32_t row = low; row <= high; ++row) {
        if (!Engine.EntryAt(row, &entry))
            continue;
        for (int column = ColumnNumber; column < PlaylistColumnCount; ++column)
            SetCell(row, column, CellText(entry, row, static_cast<PlaylistColumn>(column)));
        SetPlayingIcon(row, row == IconRow);
        if (states[static_cast<std::size_t>(row - low)] == 0)
            ListView_SetItemState(ListView, row, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    for (std::int32_t row = low; row <= high; ++row) {
        const UINT state = states[static_cast<std::size_t>(row - low)];
        if (state != 0)
            ListView_SetItemState(ListView, row, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
    SendMessageA(ListView, LVM_REDRAWITEMS, low, high);
    return true;
}

void CPlayList::RefreshList()
{
    HWND frame = Frame.Get();
    if (frame == nullptr)
        return;
    ReleaseRedraw();
    InvalidateRect(frame, nullptr, FALSE);
    UpdateWindow(frame);
}

void CPlayList::ToggleShown()
{
    HWND frame = Frame.Get();
    if (frame == nullptr)
        return;
    if (IsWindowVisible(frame)) {
        ShowWindow(frame, SW_HIDE);
        return;
    }
    ShowWindow(frame, SW_SHOWNA);
    ShowWindow(Context.MainWindow, SW_SHOWNA);
}

std::int32_t CPlayList::RowAt(int x, int y) const
{
    LVHITTESTINFO hit{};
    hit.pt = {x, y};
    const auto row = static_cast<std::int32_t>(SendMessageA(ListView, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return row >= 0 && (hit.flags & LVHT_ONITEM) ? row : -1;
}

void CPlayList::BeginRowDrag(std::int32_t row)
{
    if (row < 0)
        return;
    DragFromRow = row;
    SetCapture(ListView);
    RowDragging = true;
}

void CPlayList::DragRow(int x, int y)
{
    const std::int32_t row = RowAt(x, y);
    if (row < 0 || row == DragFromRow)
        return;
    if (MoveRow(DragFromRow, row))
        DragFromRow = row;
}

void CPlayList::EndRowDrag()
{
    RowDragging = false;
    if (GetCapture() == ListView)
        ReleaseCapture();
}

void CPlayList::OnDoubleClick()
{
    const auto row =
        static_cast<std::int32_t>(SendMessageA(ListView, LVM_GETNEXTITEM, -1, LVNI_FOCUSED | LVNI_SELECTED));
    if (row >= 0)
        Engine.PlayChosen(row);
}

void CPlayList::OnContextMenu(int x, int y)
{
    POINT point{x, y};
    ScreenToClient(ListView, &point);
    const std::int32_t row = RowAt(point.x, point.y);
    if (row < 0)
        return;
    RECT last{};
    last.top = PlaylistColumnCount - 1;
    last.left = LVIR_BOUNDS;
    SendMessageA(ListView, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&last));
    if (point.x > last.right)
        return;
    MenuHandle menu(LoadMenuA(Instance, MAKEINTRESOURCEA(IDR_PLAYLIST_CONTEXT)));
    if (menu)
        TrackPopupMenu(GetSubMenu(menu.Get(), 0), TPM_RIGHTBUTTON, x, y, 0, Frame.Get(), nullptr);
}

bool CPlayList::OnCommand(WORD id)
{
    switch (id) {
    case IDC_LIST_DELETE:
        DeleteSelected();
        break;
    case IDC_LIST_DELETE_ALL:
        DeleteAll();
        break;
    case IDC_SAVE_PLAYLIST:
        Files.ShowSaveDialog(Context.MainWindow);
        break;
    case IDC_LIST_ADD:
        Files.ShowOpenDialog(Context.MainWindow);
        break;
    default:
        return false;
    }
    RefreshList();
    return true;
}

void CPlayList::DrawRow(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1))
        return;
    HDC dc = item.hDC;
    const auto row = static_cast<std::int32_t>(item.itemID);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    // A selected row shows no focus rectangle.
    const bool focus = !selected && (item.itemState & ODS_FOCUS) != 0;

    COLORREF back = GetSysColor(COLOR_WINDOW);
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    if (selected) {
        back = SelectedBack;
        text = SelectedText;
    } else if (row % 2 != 0) {
        back = OddBack;
        text = RGB(0, 0, 0);
    } else {
        const auto listBack = static_cast<COLORREF>(SendMessageA(ListView, LVM_GETTEXTBKCOLOR, 0, 0));
        if (listBack != CLR_NONE && listBack != CLR_DEFAULT)
            back = listBack;
    }
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    BrushHandle brush(CreateSolidBrush(back));

    // The row from its label on: the icon keeps the list's own background.
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageA(ListView, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageA(ListView, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label));
    RECT rowRect = bounds;
    rowRect.left = label.left;
    FillRect(dc, &rowRect, brush.Get());

    LVITEMA image{};
    image.mask = LVIF_IMAGE;
    image.iItem = row;
    SendMessageA(ListView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&image));
    RECT icon{};
    icon.left = LVIR_ICON;
    SendMessageA(ListView, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&icon));
    if (RowImages)
        ImageList_Draw(RowImages.Get(), image.iImage, dc, icon.left, icon.top,
                       selected ? ILD_TRANSPARENT | ILD_FOCUS : ILD_TRANSPARENT);

    PenHandle pen(CreatePen(PS_SOLID, 1, GridColour));
    Selection penSelection(dc, pen.Get());
    char cell[CellBytes];
    for (int column = 0; column < PlaylistColumnCount; ++column) {
        LVCOLUMNA format{};
        format.mask = LVCF_FMT;
        SendMessageA(ListView, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&format));
        LVITEMA textItem{};
        textItem.iSubItem = column;
        textItem.pszText = cell;
        textItem.cchTextMax = sizeof cell;
        cell[0] = '\0';
        SendMessageA(ListView, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&textItem));
        if (column == ColumnNumber) {
            DrawCellText(dc, cell, label, format.fmt);
            DrawGridLines(dc, label, true);
            continue;
        }
        RECT cellBounds{};
        cellBounds.top = column;
        cellBounds.left = LVIR_BOUNDS;
        SendMessageA(ListView, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cellBounds));
        FillRect(dc, &cellBounds, brush.Get());
        RECT cellLabel{};
        cellLabel.top = column;
        cellLabel.left = LVIR_LABEL;
        SendMessageA(ListView, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cellLabel));
        DrawCellText(dc, cell, cellLabel, format.fmt);
        DrawGridLines(dc, cellBounds, false);
    }
    if (focus)
        DrawFocusRect(dc, &rowRect);
}

void CPlayList::DrawCellText(HDC dc, const char* text, RECT rect, int format)
{
    DRAWTEXTPARAMS margins{};
    margins.cbSize = sizeof margins;
    margins.iLeftMargin = 2;
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
        flags |= DT_RIGHT;
        margins.iRightMargin = 6;
        break;
    case LVCFMT_CENTER:
        flags |= DT_CENTER;
        break;
    default:
        break;
    }
    DrawTextExA(dc, const_cast<char*>(text), -1, &rect, flags, &margins);
}

void CPlayList::DrawGridLines(HDC dc, const RECT& rect, bool left)
{
    MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    LineTo(dc, rect.right - 1, rect.bottom - 1);
    LineTo(dc, rect.right - 1, rect.top - 1);
    if (left) {
        MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
        LineTo(dc, rect.left, rect.top - 1);
    }
}
