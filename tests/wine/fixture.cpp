// A Windows GUI test program that builds a scenario's desktop out of real
// windows, records the messages of interest that they receive, and reports
// them with the windows' final states when told to stop.
//
//     fixture.exe SCENARIO READY_FILE STOP_FILE REPORT_FILE [START_FILE]
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
// the report is written; one that "stalls" does the same from inside its
// first show command. One that "asks" shows a modal dialog before it
// answers the end-of-session query, one that is "busy" sleeps there first,
// and one that "ponders" handles messages there until STOP_FILE appears.
// One that "saves" destroys itself in that query and sleeps behind a window
// of its own; one that "cleans" sleeps in WM_ENDSESSION, then ends the
// program; one that "reshows" shows itself again 100 ms after it is hidden;
// one with a "menu" has an item of that command id in it; one with a
// "class" is of that class; "rect", "minsize", "topmost" and "front" place
// it so. Windows that
// "appear" or "go" do so a while after START_FILE appears; a "console"
// window is the test's own console, not made here.
//
// A "churn" line keeps creating and destroying other top-level windows and
// child controls while the program runs (fixture_churn.cpp); "unordered"
// leaves the windows in the order the system gives, for large desktops.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>
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

// Set once the windows stand in scenario order; hung windows stop answering
// only then, since ordering sends every window messages. Waking windows wake
// when the test stops the fixture.
HANDLE ordered, wake;
const char *stop_path;

bool desktop_ordered() { return WaitForSingleObject(ordered, 0) == WAIT_OBJECT_0; }
bool stop_asked() { return GetFileAttributesA(stop_path) != INVALID_FILE_ATTRIBUTES; }

// Handles messages until the test stops the fixture.
void handle_messages_until_stopped() {
    while (!stop_asked()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

// The user answers after the seconds, or when the test stops the fixture
// (its report must not wait for a question nobody answers).
INT_PTR CALLBACK question_proc(HWND dialog, UINT message, WPARAM, LPARAM seconds) {
    static DWORD answer_at;
    if (message == WM_INITDIALOG) {
        answer_at = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
        SetTimer(dialog, 1, 100, nullptr);
    }
    if (message == WM_TIMER && (static_cast<LONG>(GetTickCount() - answer_at) >= 0 || stop_asked()))
        EndDialog(dialog, IDNO);
    return message == WM_INITDIALOG;
}

// A program with unsaved work asks its user before it answers the query, in
// a modal dialog of the window's own: the window is disabled and its thread
// handles messages in the dialog's loop, until the user has answered.
void ask_user(HWND owner, int seconds) {
    struct {
        DLGTEMPLATE head;
        WORD menu, window_class, title[9];
    } question = {{WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 0, 0, 0, 160, 40},
                  0, 0, {'Q', 'u', 'e', 's', 't', 'i', 'o', 'n', 0}};
    DialogBoxIndirectParamW(GetModuleHandleA(nullptr), &question.head, owner, question_proc,
                            seconds);
}

// Stalling windows that have stalled once.
std::set<const sim::Window *> stalled;

// A stalling or vanishing window's first show command, once the desktop
// stands: the first message it brings makes a stalling window stop handling
// messages until the test stops the fixture, and a vanishing one destroy
// itself. Returns whether it did.
bool vanished_on_show(HWND hwnd, sim::Window *w, UINT message) {
    if (message != WM_SHOWWINDOW && message != WM_WINDOWPOSCHANGING) return false;
    if (!w || !desktop_ordered()) return false;
    EnterCriticalSection(&lock);
    const bool stall = w->stalls && stalled.insert(w).second;
    const bool vanish = w->vanishes && !w->gone;
    if (vanish) w->gone = true;
    LeaveCriticalSection(&lock);
    if (stall) WaitForSingleObject(wake, INFINITE);
    if (vanish) DestroyWindow(hwnd);
    return vanish;
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const char *name = sim::message_name(message);
    if (!name) {
        EnterCriticalSection(&lock);
        sim::Window *w = model_of.count(hwnd) ? model_of[hwnd] : nullptr;
        LeaveCriticalSection(&lock);
        if (vanished_on_show(hwnd, w, message)) return 0;
        // One with a least size keeps it, however it is placed.
        if (w && w->min_width && message == WM_WINDOWPOSCHANGING) {
            WINDOWPOS *pos = reinterpret_cast<WINDOWPOS *>(lparam);
            if (!(pos->flags & SWP_NOSIZE)) {
                pos->cx = std::max(pos->cx, w->min_width);
                pos->cy = std::max(pos->cy, w->min_height);
            }
        }
        // One that "reshows" shows itself again 100 ms after it is hidden.
        if (w && w->reshows && message == WM_SHOWWINDOW && !wparam) SetTimer(hwnd, 1, 100, nullptr);
        if (w && w->reshows && message == WM_TIMER && wparam == 1) {
            KillTimer(hwnd, 1);
            ShowWindow(hwnd, SW_SHOWNOACTIVATE);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
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
    if (message == WM_ENDSESSION && (w->exits || w->cleans_seconds > 0)) {
        // The program ends here, before it answers (after cleaning up for a
        // while, without looking at its messages): every window goes with it.
        if (w->cleans_seconds > 0) Sleep(static_cast<DWORD>(w->cleans_seconds) * 1000);
        EnterCriticalSection(&lock);
        for (sim::Window *t : the_desktop->top) t->gone = true;
        LeaveCriticalSection(&lock);
        write_report(*the_desktop, Churned{0, 0}, report_path);
        ExitProcess(0);
    }
    // Closing is only recorded, and the window stays for the final report,
    // but for one that "closes".
    if (message == WM_CLOSE && w->closes) {
        EnterCriticalSection(&lock);
        w->gone = true;
        LeaveCriticalSection(&lock);
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_QUERYENDSESSION && w->saves_seconds > 0) {
        // Its main window goes; the program goes on saving behind a window
        // of its own, without looking at its messages.
        EnterCriticalSection(&lock);
        w->gone = true;
        LeaveCriticalSection(&lock);
        DestroyWindow(hwnd);
        CreateWindowExW(0, L"QuillexFixtureWindow", L"Saving", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        20, 20, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        Sleep(static_cast<DWORD>(w->saves_seconds) * 1000);
        return 0;
    }
    if (message == WM_QUERYENDSESSION) {
        // Saving first, without looking at its messages; then asking; or
        // handling messages without ever answering while the run lasts.
        if (w->busy_seconds > 0) Sleep(static_cast<DWORD>(w->busy_seconds) * 1000);
        if (w->asks_seconds > 0) ask_user(hwnd, w->asks_seconds);
        if (w->ponders) handle_messages_until_stopped();
        return static_cast<LRESULT>(w->query_answer);
    }
    if (message == WM_ENDSESSION) return static_cast<LRESULT>(w->endsession_answer);
    return 0;
}

// The scenario's titles, in the ANSI code page or with "titles utf-8" in
// UTF-8, go to the windows as Unicode.
bool utf8_titles = false;

HWND create_window(const sim::Window *w, DWORD style, HWND parent) {
    HMENU id = parent ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(w->control_id)) : nullptr;
    std::wstring title(w->title.size() + 1, L'\0');
    const int n = MultiByteToWideChar(utf8_titles ? CP_UTF8 : CP_ACP, 0, w->title.c_str(), -1,
                                      &title[0], static_cast<int>(title.size()));
    title.resize(n > 0 ? n - 1 : 0);
    // A window of a class of its own ("class=Ghost") gets that class,
    // registered as the fixture's own.
    std::wstring class_name(w->class_name.begin(), w->class_name.end());
    WNDCLASSW wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = class_name.c_str();
    RegisterClassW(&wc); // fails, harmlessly, once it is registered
    return CreateWindowExW(w->topmost ? WS_EX_TOPMOST : 0, class_name.c_str(), title.c_str(), style,
                           w->x, w->y, w->width, w->height, parent, id, GetModuleHandleA(nullptr),
                           nullptr);
}

HWND create(sim::Window *w, HWND parent) {
    DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
    if (w->placement == sim::MINIMIZED) style |= WS_MINIMIZE;
    if (w->placement == sim::MAXIMIZED) style |= WS_MAXIMIZE;
    if (parent && !w->visible) style &= ~WS_VISIBLE;
    if (w->disabled) style |= WS_DISABLED;
    // A top-level window's owner is made first (main() sees to it).
    if (!parent && !w->owner_id.empty())
        for (const auto &o : the_desktop->all)
            if (o->id == w->owner_id && hwnd_of.count(o.get())) parent = hwnd_of[o.get()];
    HWND h = create_window(w, style, parent);
    // One item in its menu, with the scenario's command id.
    if (w->menu_item && !w->parent) {
        HMENU bar = CreateMenu(), items = CreatePopupMenu();
        AppendMenuW(items, MF_STRING, static_cast<UINT_PTR>(w->menu_item), L"Item");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(items), L"Menu");
        SetMenu(h, bar);
    }
    if (!w->parent) parent = nullptr; // owned, not a child: shown as a top-level window
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

void pump_until(HANDLE event) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
            return;
    }
}

// A hung or stalling window lives on a thread of its own. A hung one
// answers its messages until the desktop is ordered and then stops
// pumping: for good, or, for a window that wakes, until the test stops the
// fixture; then it handles what was sent to it meanwhile, and what comes
// after.
DWORD WINAPI own_thread(LPVOID param) {
    const sim::Window *w = static_cast<sim::Window *>(param);
    create(static_cast<sim::Window *>(param), nullptr);
    if (w->hung) {
        pump_until(ordered);
        if (!w->wakes) Sleep(INFINITE);
        WaitForSingleObject(wake, INFINITE);
    }
    for (MSG msg; GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
    return 0;
}

// Waits until the system judges every hung window hung, so that Quillex
// finds it hung from the start, as the simulated desktop's are.
bool wait_until_judged_hung(const sim::Desktop &d) {
    for (const sim::Window *w : d.top) {
        if (!w->hung) continue;
        for (int tries = 0; !IsHungAppWindow(hwnd_of[w]); ++tries) {
            if (tries == 300) return false;
            Sleep(50);
        }
    }
    return true;
}

// The state of a window the fixture made; the console is the test's own,
// and gone with it by now.
bool real_state(const sim::Window &w, sim::FinalState *state) {
    if (w.console) return false;
    HWND h = hwnd_of[&w];
    // Its normal place: where a maximized or minimized window goes back to.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(h, &placement);
    const RECT &r = placement.rcNormalPosition;
    *state = {IsWindowVisible(h) != 0,
              IsIconic(h) ? sim::MINIMIZED : IsZoomed(h) ? sim::MAXIMIZED : sim::NORMAL,
              static_cast<int>(r.left), static_cast<int>(r.top),
              static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top),
              (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, GetForegroundWindow() == h};
    return true;
}

void write_report(const sim::Desktop &d, Churned churned, const char *path) {
    FILE *f = fopen(path, "w");
    if (!f) return;
    if (d.churn) fprintf(f, "churned %ld %ld\n", churned.created, churned.destroyed);
    EnterCriticalSection(&lock);
    sim::write_report(f, d, real_state);
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

// The top-level windows made at the start, in scenario order: not those
// that appear later, nor the console the test gives the program.
std::vector<HWND> standing(const sim::Desktop &d) {
    std::vector<HWND> made;
    for (const sim::Window *w : d.top)
        if (hwnd_of.count(w)) made.push_back(hwnd_of[w]);
    return made;
}

// Whether those windows come first, in scenario order.
bool in_scenario_order(const sim::Desktop &d) {
    std::vector<HWND> seen;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&seen));
    return seen == standing(d);
}

// Windows that appear or go a while after the program under test starts
// (when the test makes START_FILE).
void come_and_go(const sim::Desktop &d, DWORD since) {
    const DWORD now = GetTickCount() - since;
    for (sim::Window *w : d.top) {
        if (w->appears_ms > 0 && now >= static_cast<DWORD>(w->appears_ms)) {
            w->appears_ms = 0;
            create(w, nullptr);
            EnterCriticalSection(&lock);
            w->gone = false;
            LeaveCriticalSection(&lock);
        }
        if (w->goes_ms > 0 && now >= static_cast<DWORD>(w->goes_ms)) {
            w->goes_ms = 0;
            EnterCriticalSection(&lock);
            w->gone = true;
            LeaveCriticalSection(&lock);
            DestroyWindow(hwnd_of[w]);
        }
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: fixture SCENARIO READY STOP REPORT [START]\n");
        return 2;
    }
    const char *start_path = argc == 6 ? argv[5] : nullptr;
    InitializeCriticalSection(&lock);
    ordered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    report_path = argv[4];
    stop_path = argv[3];
    // Static: a window whose program ends reports it from its handler.
    static sim::Desktop desktop;
    std::string error;
    if (!sim::load_desktop(argv[1], desktop, error)) {
        fprintf(stderr, "fixture: %s\n", error.c_str());
        return 2;
    }
    utf8_titles = desktop.utf8_titles;
    the_desktop = &desktop;
    // Owners before the windows they own.
    std::vector<sim::Window *> order = desktop.top;
    std::stable_partition(order.begin(), order.end(),
                          [](const sim::Window *w) { return w->owner_id.empty(); });
    for (sim::Window *w : order) {
        if (w->gone || w->console) continue; // made later, or not ours to make
        if (w->hung || w->stalls || w->saves_seconds > 0) {
            CreateThread(nullptr, 0, own_thread, w, 0, nullptr);
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
    // A question (a window with an owner) was once in front, as a dialog is
    // when it opens: its owner's last active popup.
    for (sim::Window *w : order)
        if (!w->owner_id.empty() && w->visible && hwnd_of.count(w)) SetForegroundWindow(hwnd_of[w]);
    // Enumeration follows the z-order: put the scenario's windows on top, in
    // scenario order, above any window the system has of its own. Activation
    // may still reorder them while messages are pending, so repeat until the
    // enumeration shows the scenario's order.
    for (int attempt = 0; desktop.ordered && attempt < 100 && !in_scenario_order(desktop);
         ++attempt) {
        pump_messages();
        HWND above = HWND_TOP;
        for (HWND h : standing(desktop)) {
            SetWindowPos(h, above, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
            above = h;
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
    if (desktop.foreground && hwnd_of.count(desktop.foreground))
        SetForegroundWindow(hwnd_of[desktop.foreground]);
    if (!wait_until_judged_hung(desktop)) {
        fprintf(stderr, "fixture: a hung window was not judged hung within 15 s\n");
        return 3;
    }
    if (desktop.churn) start_churn();

    // The handles a scenario's {ID} stands for, and the process its {pid};
    // the file appears whole.
    const std::string part = std::string(argv[2]) + ".part";
    if (FILE *ready = fopen(part.c_str(), "w")) {
        for (const auto &w : desktop.all)
            if (hwnd_of.count(w.get()))
                fprintf(ready, "handle %s 0x%08lX\n", w->id.c_str(),
                        static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd_of[w.get()]) &
                                                   0xFFFFFFFFu));
        fprintf(ready, "pid %lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
        fclose(ready);
        MoveFileA(part.c_str(), argv[2]);
    }
    DWORD started_at = 0;
    bool started = false;
    for (;;) {
        // Asked before the pump: what Quillex posted before it ended is
        // queued before the test asks to stop, and is handled and reported.
        const bool stopping = stop_asked();
        pump_messages();
        if (stopping) break;
        if (!started && start_path &&
            GetFileAttributesA(start_path) != INVALID_FILE_ATTRIBUTES) {
            started = true;
            started_at = GetTickCount();
        }
        if (started) come_and_go(desktop, started_at);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    SetEvent(wake);
    // A message sent after those it was handed is answered once it has
    // handled them (WM_USER is not reported).
    for (const sim::Window *w : desktop.top)
        if (w->wakes || w->stalls)
            SendMessageTimeoutA(hwnd_of[w], WM_USER, 0, 0, SMTO_NORMAL, 10000, nullptr);
    const Churned churned = stop_churn();
    write_report(desktop, churned, argv[4]);
    ExitProcess(0);
}
