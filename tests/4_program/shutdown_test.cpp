#include "4_program/shutdown.h"

#include <csignal>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

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
