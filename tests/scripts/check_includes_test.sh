#!/usr/bin/env bash
# scripts/check-includes on small trees of its own: each case adds one file to a clean tree and says whether
# the script must refuse it, and with which words. Usage: check_includes_test.sh <the script>
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# A tree with a room of each kind, committed, that the script passes.
make_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree/scripts" "$work/tree/common/posix" "$work/tree/common/qt" "$work/tree/shared/settings" \
        "$work/tree/saver/session" "$work/tree/viewer" "$work/tree/idle/daemon" "$work/tree/idle/bus"
    cp "$script" "$work/tree/scripts/check-includes"
    cd "$work/tree"
    git init -q .
    printf '#pragma once\n' > common/result.h
    printf '#pragma once\n#include "common/result.h"\n' > common/posix/unique_fd.h
    printf '#pragma once\n#include "common/posix/unique_fd.h"\n' > common/qt/qt_stop_signals.h
    printf '#pragma once\n#include "common/result.h"\n' > shared/settings/values.h
    printf '#pragma once\n#include "shared/settings/values.h"\n' > saver/session/window.h
    printf '#include "common/result.h"\n#include <vector>\n#include <X11/Xlib.h>\n' > viewer/main.cpp
    printf '#pragma once\n#include "common/printable_text.h"\n' > idle/daemon/idle_daemon.h
    printf '#pragma once\n#include "idle/daemon/idle_daemon.h"\n' > idle/bus/qt_idle_bus.h
    git add -A
    git -c user.name=t -c user.email=t@t commit -qm tree
}

# name, file, its text, what the output must hold ("" when the script must pass)
check() {
    local name=$1 file=$2 text=$3 expected=$4 output status=0
    make_tree
    mkdir -p "$(dirname "$file")"
    printf '%b' "$text" > "$file"
    [[ $file == *ignored* ]] || [[ $name == untracked* ]] || git add "$file"
    output=$(scripts/check-includes 2>&1) || status=$?
    if [[ -z $expected && $status -ne 0 ]] || [[ -n $expected && ($status -eq 0 || $output != *"$expected"*) ]]; then
        echo "FAILED: $name (exit $status): $output"
        failed=1
    fi
    cd "$work"
}

check "a clean tree passes" viewer/extra.cpp '#include "common/qt/qt_stop_signals.h"\n' ""
check "angle brackets around a project file" viewer/extra.cpp '#include <shared/settings/values.h>\n' \
    'includes <shared/settings/values.h>: a project file is included with quotes'
check "a relative include" shared/settings/extra.cpp '#include "../../viewer/main.cpp"\n' 'a relative include'
check "posix using qt" common/posix/extra.h '#include "common/qt/qt_stop_signals.h"\n' \
    'common/posix may not use common/qt'
check "qt using posix" common/qt/extra.h '#include "common/posix/unique_fd.h"\n' ""
check "the ground floor using qt" common/extra.h '#include "common/qt/qt_stop_signals.h"\n' \
    'common may not use common/qt'
check "an include running up" shared/settings/extra.h '#include "viewer/main.cpp"\n' \
    'shared/settings may not use viewer'
# The two programs stand side by side on the rooms they share: neither includes the other's.
check "the viewer using the saver" viewer/hack/extra.cpp '#include "saver/session/window.h"\n' 'viewer/hack may not use saver'
check "the saver using the viewer" saver/session/extra.cpp '#include "viewer/main.cpp"\n' 'saver/session may not use viewer'
check "the saver using a shared room" saver/session/extra.cpp '#include "shared/settings/values.h"\n' ""
check "a room using a lower room of its program" idle/bus/extra.cpp '#include "idle/daemon/idle_daemon.h"\n' ""
check "a room using a higher room of its program" idle/daemon/extra.cpp '#include "idle/bus/qt_idle_bus.h"\n' \
    'idle/daemon may not use idle/bus'
check "untracked file" viewer/new.cpp '#include "common/result.h"\n' 'viewer/new.cpp: not added to git'
check "untracked file including upward" shared/settings/new.h '#include "viewer/main.cpp"\n' \
    'shared/settings may not use viewer'
printf 'ignored/\n' > "$work/gitignore"
make_tree
cp "$work/gitignore" .gitignore && git add .gitignore && git -c user.name=t -c user.email=t@t commit -qm ignore
mkdir -p ignored && printf '#include "viewer/main.cpp"\n' > ignored/x.cpp
if ! output=$(scripts/check-includes 2>&1); then
    echo "FAILED: an ignored file is not the script's business: $output"
    failed=1
fi
cd "$work"

exit $failed
