// Windows that come and go while the program under test lists them: a thread
// of their own creates top-level windows with child controls, retitles them,
// replaces their children and destroys the oldest, without pause.
#include "fixture_churn.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

namespace {

const char kChurnClass[] = "QuillexChurnWindow";
const size_t kMaxWindows = 6;

volatile LONG stopping = 0;
volatile LONG created = 0; // top-level windows and child controls
volatile LONG destroyed = 0;
HANDLE churn = nullptr;

// Titles of many lengths, some just around the 127 characters a listing shows.
void churn_title(char *title, size_t size, unsigned n) {
    const int length = n % 4 == 0 ? 120 + static_cast<int>(n % 12) : 0;
    int used = snprintf(title, size, "Churn %u", n);
    for (; used < length && used + 1 < static_cast<int>(size); ++used)
        title[used] = static_cast<char>('a' + used % 26);
    title[used] = 0;
}

HWND add_child(HWND parent, unsigned n, int k) {
    InterlockedIncrement(&created);
    char title[32];
    snprintf(title, sizeof title, "Churn child %u.%d", n, k);
    return CreateWindowExA(0, "BUTTON", title, WS_CHILD | WS_VISIBLE, 5, 5 + 25 * k, 120, 20,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + k)),
                           GetModuleHandleA(nullptr), nullptr);
}

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

DWORD WINAPI churn_thread(LPVOID) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kChurnClass;
    RegisterClassA(&wc);
    std::vector<HWND> windows;
    for (unsigned n = 1; !stopping; ++n) {
        char title[160];
        churn_title(title, sizeof title, n);
        HWND w = CreateWindowExA(0, kChurnClass, title, WS_OVERLAPPEDWINDOW, 40, 40, 240, 160,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        InterlockedIncrement(&created);
        for (int k = 0; k < 3; ++k) add_child(w, n, k);
        if (n % 5 != 0) ShowWindow(w, n % 3 == 0 ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
        windows.push_back(w);
        if (windows.size() > kMaxWindows) {
            DestroyWindow(windows.front());
            InterlockedIncrement(&destroyed);
            windows.erase(windows.begin());
        }
        // An older window gets a new title and loses a child for a new one.
        HWND old = windows[n % windows.size()];
        churn_title(title, sizeof title, n * 7);
        SetWindowTextA(old, title);
        if (HWND child = GetWindow(old, GW_CHILD)) {
            DestroyWindow(child);
            InterlockedIncrement(&destroyed);
        }
        add_child(old, n, 3);
        pump();
        Sleep(n % 3);
    }
    for (HWND w : windows) DestroyWindow(w);
    return 0;
}

} // namespace

void start_churn() { churn = CreateThread(nullptr, 0, churn_thread, nullptr, 0, nullptr); }

Churned stop_churn() {
    if (!churn) return {0, 0};
    InterlockedExchange(&stopping, 1);
    const Churned done = {created, destroyed};
    WaitForSingleObject(churn, 5000);
    CloseHandle(churn);
    churn = nullptr;
    return done;
}
