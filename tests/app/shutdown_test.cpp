#include "app/shutdown.h"

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

#include "headless_screen.h"
#include "panels/message_box.h"

// A quit signal only marks the request; the key loop that is waiting, here
// a message box that nobody answers, ends the program within its timeout.
TEST(QuitSignalDeathTest, EndsTheProgramFromTheWaitingKeyLoop) {
    for (int signal_number : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) {
        EXPECT_EXIT(
            {
                alarm(5);  // a loop that never acts on the request fails instead of hanging
                HeadlessScreen screen;
                install_quit_handlers();
                std::raise(signal_number);
                message_box("Nobody presses Enter here.", 1);
                std::_Exit(3);  // not reached when the request is carried out
            },
            ::testing::ExitedWithCode(0), "")
            << signal_number;
    }
}
