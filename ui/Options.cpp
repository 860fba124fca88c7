#include "ui/Options.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "ui/MainWindow.h"
#include "resources/resource.h"

void COptionsDialog::Open()
{
    if (Dialog)
        return;
    CreateDialogParamA(Context.Instance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionDlgProc,
                       reinterpret_cast<LPARAM>(this));
}

void COptionsDialog::Close()
{
    Dialog.Reset();  // destroyed, not only hidden
}

void COptionsDialog::ApplyToolHint(std::int32_t value)
{
    OptionToolHint = value;
    SendMessageA(Face.ToolTip(), TTM_ACTIVATE, value != 0, 0);
}

INT_PTR CALLBACK COptionsDialog::OptionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<COptionsDialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->Dialog.Reset(dialog);
        self->ToolHintAtOpen = self->OptionToolHint;
        CheckDlgButton(dialog, IDC_TOOL_HINTS, self->OptionToolHint ? BST_CHECKED : BST_UNCHECKED);
        ShowWindow(dialog, SW_SHOW);
        return TRUE;
    }
    auto* self = reinterpret_cast<COptionsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        self->Dialog.Forget();
        return FALSE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_TOOL_HINTS:
        // The tips start and stop at once.
        self->ApplyToolHint(self->OptionToolHint == 0 ? 1 : 0);
        return TRUE;
    case IDCANCEL:  // the button, Esc, the close box
        self->ApplyToolHint(self->ToolHintAtOpen);
        self->Close();
        return TRUE;
    case IDOK:
        self->Close();
        return TRUE;
    default:
        return FALSE;
    }
}

std::string AboutText()
{
    return std::string("Tarvel Version:  ") + TARVEL_VERSION_TEXT + "\nTarvel のホームページを開きます\n" + HomePage;
}

void ShowAbout(HWND owner)
{
    char module[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, module, sizeof module) == 0)
        return;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(module, &ignored);
    if (size == 0)
        return;
    std::vector<char> version(size);
    void* root = nullptr;
    UINT rootSize = 0;
    if (!GetFileVersionInfoA(module, 0, size, version.data()) ||
        !VerQueryValueA(version.data(), "\\", &root, &rootSize) || rootSize == 0)
        return;
    const std::string text = AboutText();
    if (MessageBoxA(owner, text.c_str(), "Tarvel", MB_YESNO | MB_SETFOREGROUND) == IDYES)
        ShellExecuteA(nullptr, "open", HomePage, nullptr, nullptr, SW_SHOWNORMAL);
}
