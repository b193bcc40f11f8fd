#include "4_program/shutdown.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "1_player/player_thread.h"
#include "3_panels/event_loop.h"
#include "3_panels/message_box.h"
#include "headless_screen.h"

// A quit signal only marks the request; the key loop that is waiting, here
// a message box that nobody answers, ends the program within its timeout.
TEST(QuitSignalDeathTest, EndsTheProgramFromTheWaitingKeyLoop) {
    for (int signal_number : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGQUIT, SIGHUP}) {
        EXPECT_EXIT(
            {
                alarm(5);  // a loop that never acts on the request fails instead of hanging
                HeadlessScreen screen;
                LoopContext loop;
                loop.act_on_signals = act_on_signals;
                set_loop_context(loop);
                install_quit_handlers();
                std::raise(signal_number);
                message_box("Nobody presses Enter here.", 1);
                std::_Exit(3);  // not reached when the request is carried out
            },
            ::testing::ExitedWithCode(0), "")
            << signal_number;
    }
}

// A broken pipe or a file grown past its limit is reported by the write
// that failed; the player goes on.
TEST(QuitSignalDeathTest, PipeAndFileSizeSignalsDoNotKill) {
    EXPECT_EXIT(
        {
            install_quit_handlers();
            std::raise(SIGPIPE);
            std::raise(SIGXFSZ);
            std::_Exit(quit_requested ? 4 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The terminal's input is gone once reading it would only ever give end of
// file or an error; waiting keys and a quiet open terminal are not.
TEST(TerminalInput, GoneOnlyAtItsEnd) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_FALSE(terminal_input_gone(fds[0]));  // open, nothing typed
    ASSERT_EQ(write(fds[1], "q", 1), 1);
    EXPECT_FALSE(terminal_input_gone(fds[0]));  // a key waits
    close(fds[1]);
    EXPECT_FALSE(terminal_input_gone(fds[0]));  // the key still waits
    char key;
    ASSERT_EQ(read(fds[0], &key, 1), 1);
    EXPECT_TRUE(terminal_input_gone(fds[0]));  // the writer has gone
    close(fds[0]);
    EXPECT_TRUE(terminal_input_gone(fds[0]));  // closed

    const int null_input = open("/dev/null", O_RDONLY);
    ASSERT_GE(null_input, 0);
    EXPECT_TRUE(terminal_input_gone(null_input));
    close(null_input);
}

namespace {

int never_written[2] = {-1, -1};

// A sound thread held in a write that never ends: the exit must leave it be.
void held_in_a_write() {
    char byte;
    while (read(never_written[0], &byte, 1) != 0) {
    }
}

}  // namespace

// The thread left in its write still uses the queue, its locks and the
// module's bytes, so the exit runs no destructor and no atexit handler
// (one here would end with status 7), and still leaves with the status of
// an orderly exit or of a failed start, its message written.
TEST(LeaveProgramDeathTest, AThreadLeftInAWriteRunsNoDestructor) {
    const struct {
        const char *error;
        int status;
        const char *stderr_pattern;
    } cases[] = {
        {nullptr, 0, ""},
        {"XQ: Can't load 'a.xm': Not a file.\n", kFailedStartStatus, "XQ: Can't load 'a.xm': Not a file."},
    };
    for (const auto &c : cases) {
        EXPECT_EXIT(
            {
                alarm(10);
                HeadlessScreen screen;
                ASSERT_EQ(pipe(never_written), 0);
                ASSERT_EQ(start_player_thread(held_in_a_write), 0);
                std::atexit([] { _exit(7); });
                if (c.error)
                    leave_after_failed_start(c.error);
                else
                    leave_program(false);
            },
            ::testing::ExitedWithCode(c.status), c.stderr_pattern)
            << (c.error ? c.error : "orderly exit");
    }
}

// With the thread back, the exit is the ordinary one: atexit handlers run.
TEST(LeaveProgramDeathTest, TheOrdinaryExitRunsItsHandlers) {
    EXPECT_EXIT(
        {
            alarm(10);
            HeadlessScreen screen;
            std::atexit([] { _exit(7); });
            leave_program(false);
        },
        ::testing::ExitedWithCode(7), "");
}
