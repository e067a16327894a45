// The console bridge and the output pump against Wine's real cmd.exe, in a real window with a
// real multi-line edit box.
#include "console/console_bridge.hpp"
#include "console/output_pump.hpp"
#include "pump.hpp"
#include "win/process.hpp"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <functional>
#include <string>

using namespace quorvel;

using namespace quorvel::test;

namespace {

const std::string emit_exe = QUORVEL_TEST_EMIT_EXE;

std::function<void()> on_change;

LRESULT CALLBACK test_window_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE && on_change) on_change();
    return DefWindowProcA(h, msg, wp, lp);
}

int processes_named(const char* exe, DWORD parent) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    int n = 0;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
        if (_stricmp(e.szExeFile, exe) == 0 && (parent == 0 || e.th32ParentProcessID == parent))
            ++n;
    CloseHandle(snap);
    return n;
}

void kill_processes_named(const char* exe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) {
        if (_stricmp(e.szExeFile, exe) != 0) continue;
        HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID);
        if (p) {
            TerminateProcess(p, 1);
            CloseHandle(p);
        }
    }
    CloseHandle(snap);
}

bool never_terminates(DWORD, UINT) {
    return false;
}

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = test_window_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuorvelConsoleTest";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "console test", WS_OVERLAPPEDWINDOW, 0, 0,
                                 500, 300, nullptr, nullptr, wc.hInstance, nullptr);
        box = CreateWindowExA(
            WS_EX_CLIENTEDGE, "EDIT", "",
            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 9,
            48, 392, 64, window, reinterpret_cast<HMENU>(1), wc.hInstance, nullptr);
        ASSERT_NE(box, nullptr);
        SendMessageA(box, EM_SETLIMITTEXT, 0, 0);
        on_change = nullptr;
    }
    void TearDown() override {
        on_change = nullptr;
        set_terminate_function(nullptr);
        if (bridge.open) close_bridge(bridge);
        EXPECT_TRUE(pump_until([] { return live_readers() == 0; }, 10000))
            << "readers still running";
        DestroyWindow(window);
        pump_messages();
    }

    std::string text() {
        int n = GetWindowTextLengthA(box);
        std::string s(static_cast<size_t>(n) + 1, '\0');
        int got = GetWindowTextA(box, s.data(), n + 1);
        s.resize(static_cast<size_t>(got > 0 ? got : 0));
        return s;
    }
    bool wait_for_text(const std::string& part, DWORD timeout_ms = 15000) {
        return pump_until([&] { return text().find(part) != std::string::npos; }, timeout_ms);
    }
    std::string prompt() const { return system_directory() + ">"; }
    bool pump_once() { return start_pump(pump, bridge, window, box); }
    // Opens the bridge, starts a reader and waits for the interpreter's first prompt. The box is
    // cleared first so that an earlier run's prompt is not taken for this one's.
    bool open_and_wait_for_prompt() {
        SetWindowTextA(box, "");
        return open_bridge(bridge) != 0 && pump_once() && wait_for_text(prompt());
    }

    ConsoleBridge bridge;
    OutputPump pump;
    HWND window = nullptr, box = nullptr;
};

size_t count_of(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos;
         p = hay.find(needle, p + needle.size()))
        ++n;
    return n;
}

} // namespace

TEST_F(ConsoleTest, OpeningAnOpenBridgeReturnsTheSameIdAndStartsNothing) {
    DWORD id = open_bridge(bridge);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(bridge.open);
    EXPECT_NE(bridge.lock, nullptr);
    EXPECT_EQ(bridge.startup_info.dwFlags, 257u);
    EXPECT_EQ(bridge.startup_info.wShowWindow, SW_HIDE);
    EXPECT_EQ(bridge.in_pipe_attributes.nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_TRUE(bridge.out_pipe_attributes.bInheritHandle);
    EXPECT_EQ(open_bridge(bridge), id);
    EXPECT_EQ(processes_named("cmd.exe", GetCurrentProcessId()), 1);
}

TEST_F(ConsoleTest, ThePromptIsTheSystemDirectoryAndTheOutputArrivesInOrder) {
    ASSERT_NE(open_bridge(bridge), 0u);
    // Written before the first reader starts: it waits in the pipe.
    // One line: the interpreter reads its input in blocks and acts on one line of a block.
    ASSERT_GT(send_line(bridge, emit_exe + " bytes 300 a & " + emit_exe + " bytes 300 b"), 0);
    pump_for(1500);
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(wait_for_text(std::string(300, 'b'))) << text();
    std::string t = text();
    size_t a = t.find(std::string(300, 'a')), b = t.find(std::string(300, 'b'));
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(t.find(prompt()), a) << "the prompt came first";
    EXPECT_TRUE(wait_for_text(std::string(300, 'b') + "\r\n" + prompt()));
}

TEST_F(ConsoleTest, SendLineAnswers) {
    struct Case {
        const char* text;
        int result;
        bool closes;
    } cases[] = {
        {"exit", 4, true},
        {" EXIT ", 4, true},
        {"Exit", 4, true},
        {"\xa1\xa1"
         "exit\xa1\xa1",
         4, true}, // full-width spaces around it
        {"cls", 3, false},
        {"CLS", 3, false},
        {" Cls ", 3, false},
        {"", 2, false},
        {"   ", 2, false},
        {"echo hello", 12, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(open_and_wait_for_prompt());
        size_t prompts = count_of(text(), prompt());
        EXPECT_EQ(send_line(bridge, c.text), c.result);
        EXPECT_EQ(bridge.open, !c.closes);
        if (c.result == 3) {
            // The prompt goes into the output, not into the interpreter.
            EXPECT_TRUE(pump_until([&] { return count_of(text(), prompt()) == prompts + 1; }, 5000))
                << prompts << " [" << text() << "]";
        }
        if (bridge.open) close_bridge(bridge);
        ASSERT_TRUE(pump_until([] { return live_readers() == 0; }, 10000));
    }
    EXPECT_EQ(send_line(bridge, "echo after"), 0) << "nothing is sent on a closed bridge";
}

TEST_F(ConsoleTest, ClosingAClosedBridgeOrFailingToTerminate) {
    EXPECT_FALSE(close_bridge(bridge));
    EXPECT_FALSE(start_pump(pump, bridge, window, box)) << "no reader on a closed bridge";
    EXPECT_EQ(live_readers(), 0);

    DWORD id = open_bridge(bridge);
    ASSERT_NE(id, 0u);
    set_terminate_function(never_terminates);
    EXPECT_FALSE(close_bridge(bridge));
    EXPECT_TRUE(bridge.open);
    EXPECT_EQ(bridge.in_write, nullptr) << "the pipe ends are closed and unusable";
    EXPECT_EQ(send_line(bridge, "echo x"), 0);
    EXPECT_EQ(open_bridge(bridge), id);
    EXPECT_EQ(processes_named("cmd.exe", GetCurrentProcessId()), 1);
    set_terminate_function(nullptr);
    EXPECT_TRUE(close_bridge(bridge));
    EXPECT_FALSE(bridge.open);
}

TEST_F(ConsoleTest, TheCapEmptiesTheBoxOnlyPast30000Bytes) {
    struct Case {
        int chunk;
        bool emptied;
    } cases[] = {{200, true}, {100, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunk);
        ASSERT_TRUE(open_and_wait_for_prompt());
        SetWindowTextA(box, std::string(29900, 'x').c_str());
        const std::string chunk(static_cast<size_t>(c.chunk), 'y');
        size_t seen = 0;
        bool found = false;
        // Watch every change: the state right after the chunk's append is what counts.
        on_change = [&] {
            if (found) return;
            std::string t = text();
            if (t.find(chunk) != std::string::npos) {
                found = true;
                seen = t.size();
                EXPECT_EQ(t.find('x') == std::string::npos, c.emptied);
            }
        };
        ASSERT_GT(send_line(bridge, emit_exe + " bytes " + std::to_string(c.chunk) + " y 500"), 0);
        ASSERT_TRUE(pump_until([&] { return found; }, 15000));
        EXPECT_EQ(seen, c.emptied ? static_cast<size_t>(c.chunk) : 30000u);
        on_change = nullptr;
        close_bridge(bridge);
        ASSERT_TRUE(pump_until([] { return live_readers() == 0; }, 10000));
    }
}

TEST_F(ConsoleTest, AChunkIsCutAtANulByte) {
    ASSERT_NE(open_bridge(bridge), 0u);
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(wait_for_text(prompt()));
    ASSERT_GT(send_line(bridge, emit_exe + " nul 300"), 0);
    ASSERT_TRUE(wait_for_text("abc"));
    ASSERT_TRUE(wait_for_text("abc\r\n" + prompt())) << "the next chunk follows the cut one";
    EXPECT_EQ(text().find("def"), std::string::npos);
    EXPECT_EQ(pump.last_chunk.find("def"), std::string::npos);
}

TEST_F(ConsoleTest, AfterClosingNoReaderTouchesTheBox) {
    ASSERT_NE(open_bridge(bridge), 0u);
    // One active reader and two waiting for the lock, as ticks would leave them.
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(wait_for_text(prompt()));
    ASSERT_GT(send_line(bridge, "echo final"), 0);
    ASSERT_TRUE(wait_for_text("final\r\n\r\n" + prompt()));
    ASSERT_TRUE(close_bridge(bridge));
    const std::string final_text = text();
    int changes = 0;
    on_change = [&] { ++changes; };
    ASSERT_TRUE(pump_until([] { return live_readers() == 0; }, 10000));
    pump_for(300);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(text(), final_text);

    // A bridge opened later is not touched by the old readers, and works on its own.
    ASSERT_NE(open_bridge(bridge), 0u);
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(pump_until(
        [&] { return text() != final_text && text().find(prompt()) != std::string::npos; }, 15000));
}

TEST_F(ConsoleTest, ClosingFromTheChangeEventDuringAnAppendReturnsAtOnce) {
    ASSERT_NE(open_bridge(bridge), 0u);
    DWORD close_took = 0;
    bool closed = false;
    on_change = [&] {
        if (closed || text().find(prompt()) == std::string::npos) return;
        // The reader that holds the lock is waiting for this append to finish.
        DWORD t0 = GetTickCount();
        closed = close_bridge(bridge);
        close_took = GetTickCount() - t0;
    };
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(pump_until([&] { return closed; }, 15000));
    EXPECT_LT(close_took, 1000u);
    EXPECT_TRUE(pump_until([] { return live_readers() == 0; }, 10000))
        << "the reader ends after the event";
}

TEST_F(ConsoleTest, ClosingEndsABlockedReadWhileAChildHoldsTheWriteEnd) {
    ASSERT_NE(open_bridge(bridge), 0u);
    ASSERT_TRUE(pump_once());
    ASSERT_TRUE(wait_for_text(prompt()));
    // The child inherits the output pipe's write end and keeps it after the interpreter ends.
    ASSERT_GT(send_line(bridge, emit_exe + " sleep 30000"), 0);
    ASSERT_TRUE(pump_until([] { return processes_named("emit.exe", 0) > 0; }, 10000));
    pump_for(300);
    EXPECT_EQ(live_readers(), 1);
    ASSERT_TRUE(close_bridge(bridge));
    EXPECT_TRUE(pump_until([] { return live_readers() == 0; }, 10000));
    EXPECT_GT(processes_named("emit.exe", 0), 0) << "the child was still holding the pipe";
    kill_processes_named("emit.exe");
}

TEST_F(ConsoleTest, OpenAndCloseCyclesLeakNoHandles) {
    // One cycle first, so that what the first use of a function allocates is not counted.
    auto cycle = [&] {
        ASSERT_NE(open_bridge(bridge), 0u);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(pump_once());
        ASSERT_TRUE(wait_for_text(prompt()));
        ASSERT_TRUE(close_bridge(bridge));
        ASSERT_TRUE(pump_until([] { return live_readers() == 0; }, 10000));
    };
    cycle();
    pump_for(200);
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 50; ++i) {
        cycle();
        if (HasFatalFailure()) return;
    }
    pump_for(200);
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before);
}
