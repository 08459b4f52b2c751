#include "saver/session/picture_sources.h"

namespace mirevo {

PictureOutcome firstPicture(const std::vector<PictureSource>& sources, const std::function<Deadline()>& now,
                            std::chrono::milliseconds limit, const std::function<bool()>& stopped) {
    PictureOutcome outcome;
    for (const PictureSource& source : sources) {
        Result<ComposedPicture, std::string> taken = source.take(now() + limit);
        if (stopped && stopped()) {
            outcome = PictureOutcome{};
            outcome.stopped = true;
            break;
        }
        if (!taken) {
            outcome.failures.push_back(source.name + ": " + taken.reason());
        } else if (taken->width() <= 0 || taken->height() <= 0) {
            outcome.failures.push_back(source.name + ": an empty picture");
        } else if (taken->allBlack()) {
            outcome.failures.push_back(source.name + ": an entirely black picture");
        } else {
            outcome.picture = std::move(*taken);
            outcome.from = source.name;
            break;
        }
    }
    return outcome;
}

} // namespace mirevo
