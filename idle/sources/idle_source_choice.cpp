#include "idle/sources/idle_source_choice.h"

namespace mirevo {

Result<OpenedIdleSource, std::string> openFirstIdleSource(const std::vector<IdleSourceOpener>& candidates,
                                                          const std::string& noneOffered) {
    for (const IdleSourceOpener& open : candidates) {
        auto opened = open();
        if (opened) return std::move(*opened);
        if (!opened.reason().empty()) return Failure(opened.reason());
    }
    return Failure(noneOffered);
}

std::string noWaylandIdleSourceLine(const std::string& socketName, bool sessionBus) {
    return "the Wayland compositor at \"" + socketName +
           "\" tells no program when the user is idle (it offers neither ext-idle-notify-v1 nor KDE's "
           "org_kde_kwin_idle" +
           (sessionBus ? ", and no GNOME idle monitor serves the session bus"
                       : ", and without a session bus GNOME's idle monitor cannot be asked") +
           "), so mirevo-idle cannot start the screen saver here";
}

} // namespace mirevo
