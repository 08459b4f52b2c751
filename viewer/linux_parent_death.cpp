#include "viewer/linux_parent_death.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace mirevo::viewer {

bool linuxEndWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died between starting us and the request above.
    return getppid() != 1;
}

} // namespace mirevo::viewer
