#include "app/KeyChord.h"

namespace quelt::app {

bool KeyChord::press(Key key, bool autoRepeat) {
    if (autoRepeat) return false;
    if (step_ == 4 && key == Letter) return false;  // fired: the letter alone does nothing more
    if (static_cast<int>(key) == step_ && key != Other) {
        ++step_;
        return step_ == 4;
    }
    step_ = key == Control ? 1 : 0;
    return false;
}

}  // namespace quelt::app
