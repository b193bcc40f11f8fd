#include "app/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLine, FirstTwoCharactersDecide) {
    const struct {
        const char *argument;
        ArgumentKind kind;
    } cases[] = {
        {nullptr, ArgumentKind::missing}, {"-h", ArgumentKind::usage},   {"-help", ArgumentKind::usage},
        {"-v", ArgumentKind::version},    {"-verbose", ArgumentKind::version},
        {"-x", ArgumentKind::path},       {"-", ArgumentKind::path},     {"song.xm", ArgumentKind::path},
        {"h", ArgumentKind::path},        {"", ArgumentKind::path},
        {"--help", ArgumentKind::usage},  {"--version", ArgumentKind::version},
        {"--h", ArgumentKind::path},      {"--helpme", ArgumentKind::path},
        {"--verbose", ArgumentKind::path},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classify_argument(c.argument), c.kind) << (c.argument ? c.argument : "(none)");
}
