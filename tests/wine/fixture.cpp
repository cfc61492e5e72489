// A Windows GUI test program that builds a scenario's desktop out of real
// windows, records the messages of interest that they receive, and reports
// them with the windows' final states when told to stop.
//
//     fixture.exe SCENARIO READY_FILE STOP_FILE REPORT_FILE
//
// The windows are created from the scenario's window and child lines; READY_FILE
// is written once they exist. When STOP_FILE appears the report is written:
// "received ID MESSAGE WPARAM LPARAM" lines per window in scenario order, then
// "final ID visible|hidden normal|minimized|maximized" (or "final ID gone")
// per top-level window.
//
// A window that "exits" ends the whole program while it handles WM_ENDSESSION,
// writing the report first (every window gone); one that "wakes" is hung
// until STOP_FILE appears, then handles what it was sent meanwhile before
// the report is written.
//
// A "churn" line keeps creating and destroying other top-level windows and
// child controls while the program runs (fixture_churn.cpp); "unordered"
// leaves the windows in the order the system gives, for large desktops.
#include <windows.h>

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "fixture_churn.h"
#include "sim_desktop.h"

namespace {

CRITICAL_SECTION lock;
std::map<HWND, sim::Window *> model_of;
std::map<const sim::Window *, HWND> hwnd_of;

// For the report written by a window whose program ends.
const sim::Desktop *the_desktop;
const char *report_path;
void write_report(const sim::Desktop &d, Churned churned, const char *path);

const char *message_name(UINT m) {
    switch (m) {
    case WM_NULL: return "WM_NULL";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_QUERYENDSESSION: return "WM_QUERYENDSESSION";
    case WM_QUIT: return "WM_QUIT";
    case WM_ENDSESSION: return "WM_ENDSESSION";
    case WM_COMMAND: return "WM_COMMAND";
    default: return nullptr;
    }
}

// A program with unsaved work asks its user before it answers the query:
// its thread keeps handling messages, as under a modal question, until the
// user has answered.
void ask_user(int seconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

// A Unicode window procedure: the system keeps each title as it was given,
// converted from the code page only when it was given in it.
LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const char *name = message_name(message);
    if (!name) return DefWindowProcW(hwnd, message, wparam, lparam);
    // A message sent after a post would otherwise be handled first, as sent
    // messages are: handle the posts already queued, so that the report keeps
    // the order in which the messages arrived. Not for a message handed over
    // without waiting: the peek would handle the next such one first.
    MSG posted;
    const DWORD sent = InSendMessageEx(nullptr);
    if (sent != ISMEX_NOSEND && !(sent & ISMEX_NOTIFY))
        while (PeekMessageA(&posted, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            DispatchMessageA(&posted);
    EnterCriticalSection(&lock);
    sim::Window *w = model_of.count(hwnd) ? model_of[hwnd] : nullptr;
    if (w) {
        char text[96];
        snprintf(text, sizeof text, "%s %lu %ld", name, static_cast<unsigned long>(wparam),
                 static_cast<long>(lparam));
        w->received.push_back(text);
    }
    const bool vanish = w && w->vanishes && !w->gone;
    if (vanish) w->gone = true;
    LeaveCriticalSection(&lock);
    if (!w) return DefWindowProcW(hwnd, message, wparam, lparam);
    // A vanishing window destroys itself while it handles its first message.
    if (vanish) DestroyWindow(hwnd);
    if (message == WM_ENDSESSION && w->exits) {
        // The program ends here, before it answers: every window goes with it.
        EnterCriticalSection(&lock);
        for (sim::Window *t : the_desktop->top) t->gone = true;
        LeaveCriticalSection(&lock);
        write_report(*the_desktop, Churned{0, 0}, report_path);
        ExitProcess(0);
    }
    // Closing is only recorded: the window stays for the final report.
    if (message == WM_QUERYENDSESSION) {
        if (w->asks_seconds > 0) ask_user(w->asks_seconds);
        return static_cast<LRESULT>(w->query_answer);
    }
    if (message == WM_ENDSESSION) return static_cast<LRESULT>(w->endsession_answer);
    return 0;
}

const char kClass[] = "QuillexFixtureWindow";

// With "titles utf-8" the scenario's titles are UTF-8, whatever the code
// page, and the windows get them as Unicode.
bool utf8_titles = false;

HWND create_window(const sim::Window *w, DWORD style, HWND parent) {
    HMENU id = parent ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(w->control_id)) : nullptr;
    if (!utf8_titles)
        return CreateWindowExA(0, kClass, w->title.c_str(), style, 10, 10, 300, 200, parent, id,
                               GetModuleHandleA(nullptr), nullptr);
    std::wstring title(w->title.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, w->title.c_str(), -1, &title[0],
                                      static_cast<int>(title.size()));
    title.resize(n > 0 ? n - 1 : 0);
    return CreateWindowExW(0, L"QuillexFixtureWindow", title.c_str(), style, 10, 10, 300, 200,
                           parent, id, GetModuleHandleA(nullptr), nullptr);
}

HWND create(sim::Window *w, HWND parent) {
    DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
    if (w->placement == sim::MINIMIZED) style |= WS_MINIMIZE;
    if (w->placement == sim::MAXIMIZED) style |= WS_MAXIMIZE;
    if (parent && !w->visible) style &= ~WS_VISIBLE;
    HWND h = create_window(w, style, parent);
    EnterCriticalSection(&lock);
    model_of[h] = w;
    hwnd_of[w] = h;
    LeaveCriticalSection(&lock);
    for (sim::Window *c : w->children) create(c, h);
    if (!parent && w->visible) {
        ShowWindow(h, w->placement == sim::MINIMIZED   ? SW_SHOWMINNOACTIVE
                      : w->placement == sim::MAXIMIZED ? SW_SHOWMAXIMIZED
                                                       : SW_SHOWNOACTIVATE);
    }
    return h;
}

// Set once the windows stand in scenario order; hung windows stop answering
// only then, since ordering sends every window messages. Waking windows wake
// when the test stops the fixture.
HANDLE ordered, wake;

void pump_until(HANDLE event) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
            return;
    }
}

// A hung window lives on a thread of its own, which answers its messages
// until the desktop is ordered and then stops pumping: for good, or, for a
// window that wakes, until the test stops the fixture.
DWORD WINAPI hung_thread(LPVOID param) {
    const sim::Window *w = static_cast<sim::Window *>(param);
    create(static_cast<sim::Window *>(param), nullptr);
    pump_until(ordered);
    if (!w->wakes) Sleep(INFINITE);
    WaitForSingleObject(wake, INFINITE);
    // Handles what was sent to it while it was hung, and what comes after.
    for (MSG msg; GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
    return 0;
}

// Waits until the system judges every waking window hung, so that Quillex
// finds it hung from the start.
bool wait_until_judged_hung(const sim::Desktop &d) {
    for (const sim::Window *w : d.top) {
        if (!w->wakes) continue;
        for (int tries = 0; !IsHungAppWindow(hwnd_of[w]); ++tries) {
            if (tries == 300) return false;
            Sleep(50);
        }
    }
    return true;
}

void write_report(const sim::Desktop &d, Churned churned, const char *path) {
    FILE *f = fopen(path, "w");
    if (!f) return;
    if (d.churn) fprintf(f, "churned %ld %ld\n", churned.created, churned.destroyed);
    EnterCriticalSection(&lock);
    for (const auto &w : d.all)
        for (const std::string &m : w->received) fprintf(f, "received %s %s\n", w->id.c_str(), m.c_str());
    for (const sim::Window *w : d.top) {
        HWND h = hwnd_of[w];
        if (w->gone) {
            fprintf(f, "final %s gone\n", w->id.c_str());
            continue;
        }
        fprintf(f, "final %s %s %s\n", w->id.c_str(), IsWindowVisible(h) ? "visible" : "hidden",
                IsIconic(h) ? "minimized" : IsZoomed(h) ? "maximized" : "normal");
    }
    LeaveCriticalSection(&lock);
    fclose(f);
}

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // A posted WM_COMMAND is delivered here; a posted quit is ignored.
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
}

BOOL CALLBACK collect_window(HWND h, LPARAM list) {
    if (model_of.count(h)) reinterpret_cast<std::vector<HWND> *>(list)->push_back(h);
    return TRUE;
}

// Whether the scenario's top-level windows come first, in scenario order.
bool in_scenario_order(const sim::Desktop &d) {
    std::vector<HWND> seen;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&seen));
    if (seen.size() != d.top.size()) return false;
    for (size_t i = 0; i < seen.size(); ++i)
        if (seen[i] != hwnd_of[d.top[i]]) return false;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: fixture SCENARIO READY STOP REPORT\n");
        return 2;
    }
    InitializeCriticalSection(&lock);
    ordered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    report_path = argv[4];
    // Static: a window whose program ends reports it from its handler.
    static sim::Desktop desktop;
    std::string error;
    if (!sim::load_desktop(argv[1], desktop, error)) {
        fprintf(stderr, "fixture: %s\n", error.c_str());
        return 2;
    }
    utf8_titles = desktop.utf8_titles;
    the_desktop = &desktop;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = L"QuillexFixtureWindow";
    RegisterClassW(&wc);

    for (sim::Window *w : desktop.top) {
        if (w->hung) {
            CreateThread(nullptr, 0, hung_thread, w, 0, nullptr);
            while (true) {
                EnterCriticalSection(&lock);
                const bool made = hwnd_of.count(w) != 0;
                LeaveCriticalSection(&lock);
                if (made) break;
                Sleep(10);
            }
        } else {
            create(w, nullptr);
        }
    }
    // Enumeration follows the z-order: put the scenario's windows on top, in
    // scenario order, above any window the system has of its own. Activation
    // may still reorder them while messages are pending, so repeat until the
    // enumeration shows the scenario's order.
    for (int attempt = 0; desktop.ordered && attempt < 100 && !in_scenario_order(desktop);
         ++attempt) {
        pump_messages();
        HWND above = HWND_TOP;
        for (sim::Window *w : desktop.top) {
            SetWindowPos(hwnd_of[w], above, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
            above = hwnd_of[w];
        }
        pump_messages();
        Sleep(20);
    }
    if (desktop.ordered && !in_scenario_order(desktop)) {
        // Listings would not show the windows in the order the scenario
        // expects: better no run than a run that fails for this.
        fprintf(stderr, "fixture: the windows are not in scenario order after 100 tries\n");
        return 3;
    }
    SetEvent(ordered);
    if (!wait_until_judged_hung(desktop)) {
        fprintf(stderr, "fixture: a waking window was not judged hung within 15 s\n");
        return 3;
    }
    if (desktop.churn) start_churn();

    if (FILE *ready = fopen(argv[2], "w")) fclose(ready);
    for (;;) {
        pump_messages();
        if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    SetEvent(wake);
    // A message sent after those it was handed is answered once it has
    // handled them (WM_USER is not reported).
    for (const sim::Window *w : desktop.top)
        if (w->wakes) SendMessageTimeoutA(hwnd_of[w], WM_USER, 0, 0, SMTO_NORMAL, 10000, nullptr);
    const Churned churned = stop_churn();
    write_report(desktop, churned, argv[4]);
    ExitProcess(0);
}
