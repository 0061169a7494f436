// The console cleared through the scripted system.

#include "console/console.h"
#include "fake_windows.h"

#include <gtest/gtest.h>

// Every cell blank in the screen's own colours, the cursor at the top left, the console closed.
TEST(Console, ClearsEveryCell) {
    Fake fake;
    with_fake(fake, [] { return clear_console(), 0; });
    EXPECT_EQ(screen.text, std::wstring(80 * 25, L' '));
    EXPECT_EQ(screen.colours, std::vector<WORD>(80 * 25, 0x1e));
    EXPECT_EQ(screen.cursor.X + 80 * screen.cursor.Y, 0);
    EXPECT_FALSE(screen.open);
}

// A character cut between two parts comes out whole when the second holds just what it lacks.
TEST(Console, ACharacterCutBetweenParts) {
    Fake fake;
    with_fake(fake, [] {
        return write_console(fake_output, "\xe6\x97", 2) | write_console(fake_output, "\xa5", 1);
    });
    EXPECT_EQ(fake.out, "\xe6\x97\xa5");
}
