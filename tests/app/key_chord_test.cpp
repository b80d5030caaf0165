#include <gtest/gtest.h>

#include <vector>

#include "app/KeyChord.h"

using quelt::app::KeyChord;

TEST(KeyChord, FiresOnceInOrderAndAnyOtherKeyBreaksIt) {
    constexpr auto C = KeyChord::Control, S = KeyChord::Shift, A = KeyChord::Alt, T = KeyChord::Letter,
                   X = KeyChord::Other;
    struct Case {
        const char* name;
        std::vector<KeyChord::Key> keys;
        int fired;
    };
    for (const Case& c : std::vector<Case>{
             {"the chord", {C, S, A, T}, 1},
             {"letter again", {C, S, A, T, T, T}, 1},
             {"another key re-arms", {C, S, A, T, X, C, S, A, T}, 2},
             {"a key in between", {C, S, X, A, T}, 0},
             {"wrong order", {S, C, A, T}, 0},
             {"control starts again", {C, S, C, S, A, T}, 1},
             {"letter first", {T, C, S, A, T}, 1},
         }) {
        SCOPED_TRACE(c.name);
        KeyChord chord;
        int fired = 0;
        for (KeyChord::Key k : c.keys)
            fired += chord.press(k, false);
        EXPECT_EQ(fired, c.fired);
    }
    KeyChord chord;
    chord.press(C, false);
    chord.press(S, false);
    chord.press(S, true);  // auto-repeat of a held key is no new key
    chord.press(A, false);
    EXPECT_TRUE(chord.press(T, false));
    EXPECT_FALSE(chord.press(T, true));
}
