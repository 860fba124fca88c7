// What the Windows tests share: message pumping, bounded waits, the test
// data, scratch folders and files, answering the dialog boxes the program
// shows, and file drops.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <process.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

// Answers the window's messages (the play thread sets the caption) for `ms`,
// or until `done` holds.
template <typename Done>
bool PumpUntil(DWORD ms, Done done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        Sleep(5);
    }
    return done();
}

inline void Pump(DWORD ms)
{
    PumpUntil(ms, [] { return false; });
}

// PumpUntil for an assertion: when the limit passes it says what it waited for.
template <typename Done>
::testing::AssertionResult WaitFor(const char* what, DWORD ms, Done done)
{
    if (PumpUntil(ms, done))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "gave up after " << ms << " ms waiting for " << what;
}

// A file of the project's test data (tests/data/), as a Windows path.
inline std::string DataFile(const std::string& relative)
{
    std::string path = std::string("Z:") + TARVEL_DATA_DIR + "/" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Copies a file of the test data to `destination`; a missing input fails
// the test and names its path.
inline bool CopyInput(const std::string& relative, const std::string& destination)
{
    const std::string source = DataFile(relative);
    if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ADD_FAILURE() << "missing test input: " << source;
        return false;
    }
    if (!CopyFileA(source.c_str(), destination.c_str(), FALSE)) {
        ADD_FAILURE() << "could not copy " << source << " to " << destination;
        return false;
    }
    return true;
}

// A scratch folder of this test process under the temporary folder.
inline std::string TestFolder(const char* name)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "tarvel-" + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

inline bool WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size();
    CloseHandle(file);
    return whole;
}

inline std::string ReadText(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<absent>";
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(file);
    return text;
}

inline bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes `path` and everything below it.
inline void RemoveTree(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: it goes, not what it leads to.
        if (!RemoveDirectoryA(path.c_str()))
            DeleteFileA(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

// Waits on its own thread for the next dialog box of this process and
// answers it: the program under test is blocked inside the box's own
// message loop meanwhile. Until the answered box closes, any further box
// (a "file not found" from the file dialog, say) is unexpected: it is closed
// at once, the answered box is cancelled, and Wait() fails naming it. A box
// that does not close within the limit is cancelled too, so the program
// under test always gets its thread back.
class DialogAnswerer {
public:
    using Answer = std::function<void(HWND dialog)>;

    explicit DialogAnswerer(Answer answer, DWORD limitMs = 20000) : Respond(std::move(answer)), LimitMs(limitMs)
    {
        Thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
    }
    ~DialogAnswerer() { Wait(); }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // Waits until the box was answered and closed, or the limit passed.
    ::testing::AssertionResult Wait()
    {
        if (Thread != nullptr) {
            // The answering thread bounds its own waits; this is a backstop.
            if (WaitForSingleObject(Thread, 3 * LimitMs + 5000) != WAIT_OBJECT_0) {
                TerminateThread(Thread, 1);
                Problem = "the dialog answerer did not finish";
            }
            CloseHandle(Thread);
            Thread = nullptr;
        }
        if (Problem.empty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << Problem;
    }

    std::string Caption;  // of the box that was answered
    std::string Problem;  // why the answer failed; empty when it did not

    // Answers: cancel; or type `names` into the file name field and press OK.
    static void Cancel(HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }
    static Answer Choose(std::string names)
    {
        return [names](HWND dialog) {
            HWND field = GetDlgItem(dialog, 0x47C);  // the file name box of the explorer-style dialog
            if (field == nullptr)
                field = GetDlgItem(dialog, 0x480);
            DWORD_PTR result = 0;
            SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(names.c_str()), SMTO_ABORTIFHUNG,
                                5000, &result);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        };
    }
    // The text of a message box (its static control).
    static std::string MessageText(HWND box)
    {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        return text;
    }

    // The next dialog box of this process other than `other`, once it has
    // filled its controls; null when none shows within `limitMs`.
    static HWND FindDialog(DWORD limitMs, HWND other)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(20)) {
            Search search{GetCurrentProcessId(), other, nullptr};
            EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
            if (search.Found != nullptr) {
                Sleep(200);
                return search.Found;
            }
        }
        return nullptr;
    }

private:
    struct Search {
        DWORD Process;
        HWND Other;
        HWND Found;
    };
    static BOOL CALLBACK Match(HWND window, LPARAM context)
    {
        Search* search = reinterpret_cast<Search*>(context);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (process == search->Process && window != search->Other && std::string(name) == "#32770" &&
            IsWindowVisible(window) &&
            IsWindowEnabled(window)) {
            search->Found = window;
            return FALSE;
        }
        return TRUE;
    }
    // A box's caption and text, in UTF-8 for the test's report.
    static std::string Describe(HWND box)
    {
        char caption[256] = {};
        GetWindowTextA(box, caption, sizeof caption);
        return "\"" + Utf8(caption) + "\": \"" + Utf8(MessageText(box)) + "\"";
    }
    static std::string Utf8(const std::string& ansi)
    {
        wchar_t wide[512] = {};
        MultiByteToWideChar(932, 0, ansi.c_str(), -1, wide, 512);
        char utf8[1536] = {};
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
        return utf8;
    }
    static unsigned __stdcall Run(void* context)
    {
        DialogAnswerer* self = static_cast<DialogAnswerer*>(context);
        HWND dialog = FindDialog(self->LimitMs, nullptr);
        if (dialog == nullptr) {
            self->Problem = "no dialog box showed within " + std::to_string(self->LimitMs) + " ms";
            return 0;
        }
        char caption[256] = {};
        GetWindowTextA(dialog, caption, sizeof caption);
        self->Caption = caption;
        self->Respond(dialog);
        // The answered box must now close, and nothing else may show meanwhile.
        for (DWORD start = GetTickCount(); IsWindow(dialog) && IsWindowVisible(dialog); Sleep(20)) {
            if (GetTickCount() - start >= self->LimitMs) {
                self->Problem = "the dialog box \"" + Utf8(self->Caption) + "\" did not close within " +
                                std::to_string(self->LimitMs) + " ms of its answer";
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                break;
            }
            Search search{GetCurrentProcessId(), dialog, nullptr};
            EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
            HWND other = search.Found;
            if (other != nullptr) {
                Sleep(200);  // its texts are set a moment after it shows
                if (self->Problem.empty())
                    self->Problem = "an unexpected box showed over \"" + Utf8(self->Caption) + "\": " + Describe(other);
                PostMessageA(other, WM_COMMAND, IDOK, 0);
                PostMessageA(other, WM_COMMAND, IDCANCEL, 0);
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }
        }
        return 0;
    }

    Answer Respond;
    DWORD LimitMs;
    HANDLE Thread = nullptr;
};

// A drop of `names` as the shell hands one over, in this process's memory.
inline HDROP MakeDrop(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
        list += name + '\0';
    list += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}
