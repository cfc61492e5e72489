// The platform services on real Windows: user32 and kernel32 calls.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
#include "platform.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "win32_console.h"

namespace {

HWND hwnd_of(platform::WindowHandle h) { return reinterpret_cast<HWND>(h); }
platform::WindowHandle handle_of(HWND h) { return reinterpret_cast<platform::WindowHandle>(h); }

// The tool's callbacks use the C calling convention; the enumerations call
// a CALLBACK that forwards to them.
struct Enumeration {
    platform::WindowCallback callback;
    intptr_t value;
};

BOOL CALLBACK forward_window(HWND window, LPARAM context) {
    const Enumeration *e = reinterpret_cast<const Enumeration *>(context);
    return e->callback(handle_of(window), e->value) ? TRUE : FALSE;
}

// IsHungAppWindow was seen true under Wine 8 for a moment after a thread
// that had waited for messages for more than 5 s woke, until it asked for
// the next one (often through qemu). Whether Windows does the same is not
// known: a window counts as hung only once it has stayed so for a while.
const DWORD kPollMs = 50;

bool window_stays_hung(HWND window) {
    const DWORD start = GetTickCount();
    while (IsHungAppWindow(window)) {
        if (GetTickCount() - start >= platform::kHungConfirmMs) return true;
        Sleep(kPollMs);
    }
    return false;
}

// ShowWindow on another thread's window sends that thread messages of its
// own and waits for them without limit: it runs on a worker of ours that
// the caller can stop waiting for. There is one worker at a time, so that
// show commands are carried out in the order given: a call that outlives
// its wait keeps the worker until the window's thread wakes.
struct ShowCall {
    HWND window;
    int command;
};
HANDLE worker = nullptr; // the call under way, if any
HWND worker_window = nullptr;

DWORD WINAPI carry_out_show(LPVOID param) {
    ShowCall *call = static_cast<ShowCall *>(param);
    ::ShowWindow(call->window, call->command);
    free(call);
    return 0;
}

bool worker_busy() {
    if (!worker) return false;
    if (WaitForSingleObject(worker, 0) == WAIT_TIMEOUT) return true;
    CloseHandle(worker);
    worker = nullptr;
    return false;
}

platform::ShowOutcome show_within(HWND window, int command, DWORD timeout_ms) {
    if (worker_busy()) return platform::kShowNotGiven;
    ShowCall *call = static_cast<ShowCall *>(malloc(sizeof(ShowCall)));
    if (!call) return platform::kShowNotGiven;
    *call = ShowCall{window, command};
    worker = CreateThread(nullptr, 0, carry_out_show, call, 0, nullptr);
    if (!worker) {
        free(call);
        return platform::kShowNotGiven;
    }
    worker_window = window;
    if (WaitForSingleObject(worker, timeout_ms) != WAIT_OBJECT_0) return platform::kShowUnderWay;
    worker_busy();
    return platform::kShowDone;
}

// The answer to the send under way. The system may call back after the
// send that asked for it has given up and returned, inside a later send:
// the reply lives on, and one that carries another send's number is not
// this send's answer.
struct Reply {
    ULONG_PTR send;
    bool arrived;
    LRESULT result;
};
Reply reply = {0, false, 0};

VOID CALLBACK take_reply(HWND, UINT, ULONG_PTR send, LRESULT result) {
    if (send != reply.send) return;
    reply.arrived = true;
    reply.result = result;
}

// The visible, enabled top-level windows of a thread, every one of them
// (free the list).
struct ShownWindows {
    HWND *list;
    int count;
};

BOOL CALLBACK collect_shown(HWND window, LPARAM context) {
    ShownWindows *shown = reinterpret_cast<ShownWindows *>(context);
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    HWND *grown = static_cast<HWND *>(realloc(shown->list, sizeof(HWND) * (shown->count + 1u)));
    if (!grown) return FALSE;
    shown->list = grown;
    shown->list[shown->count++] = window;
    return TRUE;
}

ShownWindows shown_windows(DWORD thread) {
    ShownWindows shown = {nullptr, 0};
    EnumThreadWindows(thread, collect_shown, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Whether the program shows its user a question: a modal dialog or message
// box disables the window it belongs to, and one without an owner is a
// window of the thread that was not shown when the message was sent
// (windows shown before are the program's own, not a question).
bool shows_question(HWND window, DWORD thread, const ShownWindows &before) {
    if (IsWindow(window) && !IsWindowEnabled(window)) return true;
    const ShownWindows now = shown_windows(thread);
    bool asking = false;
    for (int i = 0; i < now.count && !asking; ++i) {
        bool known = now.list[i] == window;
        for (int j = 0; j < before.count && !known; ++j) known = before.list[j] == now.list[i];
        asking = !known;
    }
    free(now.list);
    return asking;
}

// Whether the thread has stopped handling messages. The system judges a
// thread by its windows: the window itself while it exists, else any other
// window of its thread (a program may destroy its main window and go on in
// one of its own, "Saving..."). A thread without windows cannot be judged.
BOOL CALLBACK take_first(HWND window, LPARAM found) {
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

bool thread_stays_hung(DWORD thread, HWND window) {
    if (IsWindow(window)) return window_stays_hung(window);
    HWND other = nullptr;
    EnumThreadWindows(thread, take_first, reinterpret_cast<LPARAM>(&other));
    return other && window_stays_hung(other);
}

// Sends, then waits for the answer as the wait says. (SMTO_NOTIMEOUTIFNOTHUNG
// would wait without limit for a program that handles messages and never
// answers, and Wine ignores it.)
platform::SendOutcome send_awaiting(HWND window, UINT message, WPARAM wparam,
                                    const platform::AnswerWait &wait, DWORD_PTR *result) {
    using platform::kAnswered, platform::kGone, platform::kRefused, platform::kUnanswered;
    // Whose thread it is, asked before anything is sent: a window that
    // destroys itself while it answers has none afterwards. A thread that
    // may not be opened (another user's program) is one whose end cannot
    // be seen, not one that has ended.
    const DWORD thread_id = GetWindowThreadProcessId(window, nullptr);
    if (!thread_id) return kGone;
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, thread_id);
    const ShownWindows before = shown_windows(thread_id);
    reply = {reply.send + 1, false, 0};
    // A refused or invalid window fails here at once.
    if (!SendMessageCallbackA(window, message, wparam, 0, take_reply, reply.send)) {
        if (thread) CloseHandle(thread);
        free(before.list);
        return GetLastError() == ERROR_INVALID_WINDOW_HANDLE ? kGone : kRefused;
    }
    platform::SendOutcome outcome;
    DWORD quiet_since = GetTickCount();
    for (;; MsgWaitForMultipleObjects(thread ? 1 : 0, &thread, FALSE, kPollMs, QS_ALLINPUT)) {
        // The peek itself hands the reply to take_reply. Nothing that
        // arrives is dispatched: Quillex owns no window, and what another
        // program posts to its thread (a timer with a function) is not
        // Quillex's to run.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        if (reply.arrived) {
            *result = static_cast<DWORD_PTR>(reply.result);
            outcome = kAnswered;
        } else if (thread && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
            outcome = kGone;
        } else if (wait.hung_ends && thread_stays_hung(thread_id, window)) {
            outcome = kUnanswered; // hung with a question open too: no answer can come
        } else if (wait.longer_while_asking && shows_question(window, thread_id, before)) {
            quiet_since = GetTickCount(); // the bound runs only while none is open
            continue;
        } else if (GetTickCount() - quiet_since < wait.bound_ms) {
            continue;
        } else {
            outcome = kUnanswered;
        }
        break;
    }
    if (thread) CloseHandle(thread);
    free(before.list);
    return outcome;
}

} // namespace

namespace platform {

WindowHandle FindWindowA(const char *class_name, const char *title) {
    write_out_console_output();
    return handle_of(::FindWindowA(class_name, title));
}

ShowOutcome show_window_within(WindowHandle window, int command, unsigned timeout_ms) {
    write_out_console_output();
    // The null handle is nobody's window: ShowWindow returns at once for it.
    if (!window) return ::ShowWindow(nullptr, command), kShowDone;
    return show_within(hwnd_of(window), command, timeout_ms);
}

int show_under_way(WindowHandle window) {
    return worker_busy() && worker_window == hwnd_of(window);
}

int ShowWindowAsync(WindowHandle window, int command) {
    write_out_console_output();
    return ::ShowWindowAsync(hwnd_of(window), command);
}

SendOutcome send_awaiting_answer(WindowHandle window, unsigned message, uintptr_t wparam,
                                 const AnswerWait &wait, uintptr_t *answer) {
    write_out_console_output();
    DWORD_PTR result = 0;
    const SendOutcome outcome = send_awaiting(hwnd_of(window), message, wparam, wait, &result);
    if (outcome == kAnswered) *answer = result;
    return outcome;
}

int SendNotifyMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    write_out_console_output();
    return ::SendNotifyMessageA(hwnd_of(window), message, wparam, lparam);
}

int stays_hung(WindowHandle window) { return window_stays_hung(hwnd_of(window)); }

unsigned GetLastError() { return ::GetLastError(); }

int PostMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    write_out_console_output();
    return ::PostMessageA(hwnd_of(window), message, wparam, lparam);
}

int EnumWindows(WindowCallback callback, intptr_t value) {
    write_out_console_output();
    Enumeration e = {callback, value};
    return ::EnumWindows(forward_window, reinterpret_cast<LPARAM>(&e));
}

int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value) {
    write_out_console_output();
    Enumeration e = {callback, value};
    return ::EnumChildWindows(hwnd_of(parent), forward_window, reinterpret_cast<LPARAM>(&e));
}

int GetWindowTextA(WindowHandle window, char *buffer, int size) {
    write_out_console_output();
    return ::GetWindowTextA(hwnd_of(window), buffer, size);
}

int IsWindowVisible(WindowHandle window) { return ::IsWindowVisible(hwnd_of(window)); }
int IsZoomed(WindowHandle window) { return ::IsZoomed(hwnd_of(window)); }
int IsIconic(WindowHandle window) { return ::IsIconic(hwnd_of(window)); }
int GetDlgCtrlID(WindowHandle window) { return ::GetDlgCtrlID(hwnd_of(window)); }

unsigned window_thread(WindowHandle window) {
    return window ? GetWindowThreadProcessId(hwnd_of(window), nullptr) : 0;
}

unsigned tick_ms() { return GetTickCount(); }

void sleep_ms(unsigned ms) {
    write_out_console_output();
    Sleep(ms);
}

void console_windows(WindowHandle *console, WindowHandle *terminal) {
    // Under a terminal such as Windows Terminal the console's window is a
    // hidden stand-in, owned by the terminal's own window.
    HWND own = GetConsoleWindow();
    HWND root = own ? GetAncestor(own, GA_ROOTOWNER) : nullptr;
    *console = handle_of(own);
    *terminal = handle_of(root != own ? root : nullptr);
}

static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 text is wchar_t on Windows");

wchar_t *wide(uint16_t *text) { return reinterpret_cast<wchar_t *>(text); }

// An empty title leaves the error as it was: cleared first, it tells a
// failure from no title.
int GetWindowTextLengthW(WindowHandle window) {
    SetLastError(0);
    return ::GetWindowTextLengthW(hwnd_of(window));
}

int GetWindowTextW(WindowHandle window, uint16_t *buffer, int size) {
    write_out_console_output();
    if (size > 0) buffer[0] = 0;
    SetLastError(0);
    return ::GetWindowTextW(hwnd_of(window), wide(buffer), size);
}

int GetClassNameW(WindowHandle window, uint16_t *buffer, int size) {
    // A class that cannot be read is an empty one.
    const int copied = ::GetClassNameW(hwnd_of(window), wide(buffer), size);
    if (size > 0 && copied <= 0) buffer[0] = 0;
    return copied > 0 ? copied : 0;
}

unsigned window_process(WindowHandle window, uint16_t *name, int size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd_of(window), &pid);
    name[0] = 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return pid;
    // Most paths fit; a long one (up to 32,767 characters) is asked again.
    wchar_t short_path[MAX_PATH * 2];
    wchar_t *path = short_path;
    DWORD length = sizeof short_path / sizeof short_path[0];
    bool read = QueryFullProcessImageNameW(process, 0, path, &length) != 0;
    if (!read && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
        (path = static_cast<wchar_t *>(malloc(32768 * sizeof(wchar_t)))) != nullptr) {
        length = 32768;
        read = QueryFullProcessImageNameW(process, 0, path, &length) != 0;
    }
    if (read) {
        const wchar_t *file = path;
        for (const wchar_t *p = path; *p; ++p)
            if (*p == L'\\') file = p + 1;
        lstrcpynW(wide(name), file, size);
    }
    if (path && path != short_path) free(path);
    CloseHandle(process);
    return pid;
}

WindowHandle window_owner(WindowHandle window) {
    return handle_of(GetWindow(hwnd_of(window), GW_OWNER));
}

int GetWindowRect(WindowHandle window, WindowRect *rect) {
    RECT r;
    if (!::GetWindowRect(hwnd_of(window), &r)) return 0;
    *rect = WindowRect{r.left, r.top, r.right, r.bottom};
    return 1;
}

int place_window(WindowHandle window, unsigned placing, int32_t x, int32_t y, int32_t width,
                 int32_t height) {
    write_out_console_output();
    UINT flags = SWP_ASYNCWINDOWPOS | SWP_NOACTIVATE;
    if (!(placing & kPlaceMove)) flags |= SWP_NOMOVE;
    if (!(placing & kPlaceSize)) flags |= SWP_NOSIZE;
    HWND after = (placing & kPlaceTopmost) ? HWND_TOPMOST
                 : (placing & kPlaceNotTopmost) ? HWND_NOTOPMOST : nullptr;
    if (!after) flags |= SWP_NOZORDER;
    return ::SetWindowPos(hwnd_of(window), after, x, y, width, height, flags);
}

int is_topmost(WindowHandle window) {
    return (GetWindowLongW(hwnd_of(window), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

WindowHandle GetForegroundWindow() { return handle_of(::GetForegroundWindow()); }

int SetForegroundWindow(WindowHandle window) {
    write_out_console_output();
    return ::SetForegroundWindow(hwnd_of(window));
}

WindowHandle GetLastActivePopup(WindowHandle window) {
    return handle_of(::GetLastActivePopup(hwnd_of(window)));
}

int IsWindowEnabled(WindowHandle window) { return ::IsWindowEnabled(hwnd_of(window)); }

int has_enabled_menu_item(WindowHandle window, unsigned id) {
    HMENU menu = GetMenu(hwnd_of(window));
    if (!menu) return 0;
    // By command: submenus are searched too.
    const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_DISABLED | MF_GRAYED | MF_POPUP));
}
int IsHungAppWindow(WindowHandle window) { return ::IsHungAppWindow(hwnd_of(window)); }

WindowHandle top_level_window(uint32_t number) {
    // Handles are 32 bits wide on every Windows; 64-bit code widens them
    // with their sign.
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(number)));
    if (!IsWindow(window) || GetAncestor(window, GA_PARENT) != GetDesktopWindow()) return nullptr;
    return handle_of(window);
}

uint32_t handle_number(WindowHandle window) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

int ansi_to_utf16(const char *text, uint16_t *buffer, int size) {
    // MultiByteToWideChar counts the 0 and gives 0 when it fails: -1.
    if (!buffer) return MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) - 1;
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide(buffer), size);
    if (n <= 0 && size > 0) buffer[0] = 0;
    return n - 1;
}

bool same_ignoring_case(const uint16_t *a, int a_length, const uint16_t *b, int b_length) {
    const int compared = CompareStringOrdinal(reinterpret_cast<const wchar_t *>(a), a_length,
                                              reinterpret_cast<const wchar_t *>(b), b_length, TRUE);
    if (compared != 0) return compared == CSTR_EQUAL;
    return a_length == b_length && memcmp(a, b, sizeof(uint16_t) * a_length) == 0;
}

unsigned GetACP() { return ::GetACP(); }

const char *GetCommandLineA() { return ::GetCommandLineA(); }

bool command_line_losses(unsigned char *lost) {
    if (::GetACP() == CP_UTF8) return false;
    // The line as the system made it, one character at a time: a character
    // the code page lacks comes out as its default character.
    const wchar_t *wide_line = GetCommandLineW();
    const char *line = ::GetCommandLineA();
    size_t at = 0;
    bool any = false;
    for (const wchar_t *c = wide_line; *c;) {
        const int units = (c[0] >= 0xD800 && c[0] < 0xDC00 && c[1] >= 0xDC00 && c[1] < 0xE000)
                              ? 2 : 1;
        char bytes[8];
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, c, units, bytes,
                                          sizeof bytes, nullptr, &defaulted);
        for (int i = 0; i < n && line[at]; ++i) lost[at++] = defaulted ? 1 : 0;
        any |= defaulted != 0;
        c += units;
    }
    // Where the two lines do not line up (a code page of two-byte
    // characters), every byte is suspect once any character was lost.
    if (any && line[at] != 0)
        for (size_t i = 0; line[i]; ++i) lost[i] = 1;
    return any;
}

void write_out_output() {
    fflush(stdout);
    write_out_console_output();
}

int argument_count(int argc, char **) { return argc; }

void exit_process(int code) {
    fflush(stdout);
    write_out_console_output();
    restore_console();
    exit(code);
}

} // namespace platform
