#pragma once
// The technical-tools chord: Ctrl, Shift and Alt (or Meta, as X11 names Alt under Shift) pressed one
// after another in that order, then T, with no other key in between. The chord fires once; the letter
// again (or its auto-repeat) does nothing until another key breaks the sequence.

namespace quelt::app {

class KeyChord {
  public:
    enum Key { Control, Shift, Alt, Letter, Other };
    // One key press; true when it completes the chord.
    bool press(Key key, bool autoRepeat);
    void reset() { step_ = 0; }

  private:
    int step_ = 0;  // keys of the chord seen so far; 4 after it fired
};

}  // namespace quelt::app
