// The thread message queue, the message loop, sent messages and timers.
// Posted messages wait in our own queue; GetMessageA runs Qt's event loop until
// one is there, so Qt input (which becomes sent messages) and our posted messages
// are both served by the program's loop.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "core/app.h"
#include "core/log.h"
#include "user32/window.h"

namespace winshim {
namespace {
struct Queue {
    std::mutex mutex;
    std::deque<MSG> messages;
    bool quit = false;
    int quitCode = 0;
};
Queue& queue() {
    static Queue q;
    return q;
}

struct Timer {
    std::unique_ptr<QTimer> qtimer;
    TIMERPROC proc = nullptr;
    bool pending = false;  // a WM_TIMER for it waits in the queue
};
std::map<std::pair<HWND, UINT_PTR>, Timer>& timers() {
    static std::map<std::pair<HWND, UINT_PTR>, Timer> map;
    return map;
}
UINT_PTR g_nextThreadTimer = 0x7FF0;
int g_loopDepth = 0;

DWORD tickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return DWORD(clock.elapsed());
}

void wake() {
    if (auto* app = QCoreApplication::instance())
        if (auto* dispatcher = QAbstractEventDispatcher::instance(app->thread())) dispatcher->wakeUp();
}

void post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    QPoint cursor = APP_CursorPos();
    {
        std::lock_guard<std::mutex> lock(queue().mutex);
        queue().messages.push_back(MSG{hwnd, msg, wParam, lParam, tickCount(), POINT{cursor.x(), cursor.y()}});
    }
    wake();
}

bool matches(const MSG& m, HWND hwnd, UINT low, UINT high) {
    if (hwnd && m.hwnd != hwnd) return false;
    if (low == 0 && high == 0) return true;
    return m.message >= low && m.message <= high;
}

// Takes the first matching posted message. WM_QUIT comes only once nothing else
// is waiting, as on Windows.
bool take(MSG* out, HWND hwnd, UINT low, UINT high) {
    std::lock_guard<std::mutex> lock(queue().mutex);
    auto& q = queue().messages;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (!matches(*it, hwnd, low, high)) continue;
        *out = *it;
        q.erase(it);
        if (out->message == WM_TIMER) {
            auto t = timers().find({out->hwnd, out->wParam});
            if (t != timers().end()) t->second.pending = false;
        }
        return true;
    }
    if (queue().quit) {
        queue().quit = false;
        *out = MSG{nullptr, WM_QUIT, WPARAM(queue().quitCode), 0, tickCount(), POINT{0, 0}};
        return true;
    }
    return false;
}

// Runs Qt's event loop until a matching message is there, or until stop() says so.
bool pump(MSG* out, HWND hwnd, UINT low, UINT high, const std::function<bool()>& stop) {
    APP_Ensure();
    for (;;) {
        if (take(out, hwnd, low, high)) return true;
        if (stop && stop()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
        // Widgets of destroyed windows are deleted here, in the outermost loop,
        // never beneath a handler that might still use them.
        if (g_loopDepth == 0) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
}  // namespace

LRESULT WIN_Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = WIN_Get(hwnd);
    if (!w || !w->proc) return 0;
    WS_LOG("msg", "%p %04x %llx %llx", static_cast<void*>(hwnd), msg, (unsigned long long)wParam,
           (unsigned long long)lParam);
    return w->proc(hwnd, msg, wParam, lParam);
}

void MSG_RunModalLoop(const std::function<bool()>& done) {
    ++g_loopDepth;
    MSG msg;
    while (!done()) {
        if (!pump(&msg, nullptr, 0, 0, done)) break;
        if (msg.message == WM_QUIT) {
            // The outer loop must see the quit too.
            PostQuitMessage(int(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    --g_loopDepth;
}

void MSG_ForgetWindow(HWND hwnd) {
    for (auto it = timers().begin(); it != timers().end();) {
        if (it->first.first == hwnd)
            it = timers().erase(it);
        else
            ++it;
    }
    std::lock_guard<std::mutex> lock(queue().mutex);
    std::erase_if(queue().messages, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}
}  // namespace winshim

using namespace winshim;

extern "C" BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && !WIN_Get(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    pump(msg, hwnd, filterMin, filterMax, nullptr);
    return msg->message != WM_QUIT;
}

extern "C" BOOL WINAPI TranslateMessage(const MSG*) {
    // Keys reach controls as Qt key events; no WM_KEYDOWN passes through the queue.
    return FALSE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    return WIN_Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

extern "C" BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (HWND top : WIN_TopLevels()) post(top, msg, wParam, lParam);
        return TRUE;
    }
    if (hwnd && !WIN_Get(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    post(hwnd, msg, wParam, lParam);
    return TRUE;
}

extern "C" void WINAPI PostQuitMessage(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(queue().mutex);
        queue().quit = true;
        queue().quitCode = exitCode;
    }
    wake();
}

extern "C" LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (HWND top : WIN_TopLevels()) SendMessageA(top, msg, wParam, lParam);
        return 0;
    }
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Windows runs a message sent from another thread on the window's own
        // thread, and the sender waits for the answer.
        LRESULT result = 0;
        QMetaObject::invokeMethod(
            app, [&] { result = WIN_Send(hwnd, msg, wParam, lParam); }, Qt::BlockingQueuedConnection);
        return result;
    }
    if (!WIN_Get(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return WIN_Send(hwnd, msg, wParam, lParam);
}

extern "C" UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    APP_Ensure();
    if (hwnd && !WIN_Get(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!hwnd) id = g_nextThreadTimer++;
    Timer& t = timers()[{hwnd, id}];
    if (!t.qtimer) {
        t.qtimer = std::make_unique<QTimer>();
        QObject::connect(t.qtimer.get(), &QTimer::timeout, [hwnd, id] {
            auto it = timers().find({hwnd, id});
            if (it == timers().end() || it->second.pending) return;
            it->second.pending = true;
            post(hwnd, WM_TIMER, id, reinterpret_cast<LPARAM>(it->second.proc));
        });
    }
    t.proc = proc;
    t.qtimer->start(int(std::max<UINT>(elapse, USER_TIMER_MINIMUM)));
    return hwnd ? (id ? id : 1) : id;
}

extern "C" BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    auto it = timers().find({hwnd, id});
    if (it == timers().end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers().erase(it);
    // Windows makes WM_TIMER only when the queue is read, so a killed timer never
    // fires again: drop one that is already waiting.
    std::lock_guard<std::mutex> lock(queue().mutex);
    std::erase_if(queue().messages,
                  [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; });
    return TRUE;
}
