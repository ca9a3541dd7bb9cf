#include "app/exit_code.h"

#include <gtest/gtest.h>

#include "platform/process_state.h"

namespace zep8 {
namespace {

TEST(ExitCode, LowestSetBitWins) {
    EXPECT_EQ(ExitCodeFor(0, 0), 0);
    EXPECT_EQ(ExitCodeFor(0, 3), 3);
    EXPECT_EQ(ExitCodeFor(EXIT_FILE_ERROR, 0), 200);
    EXPECT_EQ(ExitCodeFor(EXIT_PORT_ERROR, 0), 201);
    EXPECT_EQ(ExitCodeFor(EXIT_TIMEOUT, 0), 202);
    EXPECT_EQ(ExitCodeFor(EXIT_GARBAGE, 0), 203);
    EXPECT_EQ(ExitCodeFor(0x10, 0), 204);
    EXPECT_EQ(ExitCodeFor(EXIT_INTERRUPTED, 0), 205);
    EXPECT_EQ(ExitCodeFor(EXIT_NOT_ZEP8, 0), 206);
    EXPECT_EQ(ExitCodeFor(EXIT_INTERRUPTED | EXIT_TIMEOUT, 0), 202);
    EXPECT_EQ(ExitCodeFor(EXIT_NOT_ZEP8 | EXIT_GARBAGE | EXIT_PORT_ERROR, 0), 201);
    EXPECT_EQ(ExitCodeFor(0x80, 7), 7);  // no meaning, no code
}

}  // namespace
}  // namespace zep8
