#include "viewer/scene/floor_hold.h"

namespace mirevo::viewer {

void FloorHold::floorShown() {
    if (!channel_ || shownSent_) return;
    shownSent_ = true;
    channel_->send(FloorMessage::Shown);
}

bool FloorHold::ends(bool keyPressed) {
    if (!channel_) return keyPressed;
    if (ended_) return true;
    for (FloorMessage message : channel_->receive()) {
        if (message == FloorMessage::End) ended_ = true;
        if (message == FloorMessage::Lock && !lockComing_) {
            lockComing_ = true;
            if (!waitingSince_) waitingSince_ = now_();
        }
    }
    if (keyPressed && !keySent_) {
        keySent_ = true;
        channel_->send(FloorMessage::Key);
        if (!waitingSince_) waitingSince_ = now_();
    }
    // The channel closed (mirevo-idle has gone), or no word came in time.
    if (channel_->closed() || (waitingSince_ && now_() - *waitingSince_ >= kOwnBound)) ended_ = true;
    return ended_;
}

} // namespace mirevo::viewer
