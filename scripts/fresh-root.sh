#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fresh-root check: what a new user meets on a bare Debian 12 machine, from
# the committed HEAD. In minimal roots made with debootstrap from this machine's
# own Debian mirror it checks that
#   - as a user, scripts/test.sh prints the apt-get line and stops; that line,
#     run as root, installs everything, and scripts/test.sh then builds and
#     passes the whole suite; as root, scripts/package.sh builds the package
#     and scripts/fuzz.sh 1 runs the fuzzers;
#   - as root, scripts/demo.sh --screenshot installs what it needs and saves a
#     578x318 picture of the panel;
#   - in a root that never had a development package, the package installs
#     with apt-get, the installed zrm-panel reaches "Ready" against the
#     installed zrm-sim on a virtual display, and man zrm-panel works.
# Prints one line per step with its time; on a failure the step, its command
# and the end of its output. Needs root. With CI=true a check that cannot run
# fails; otherwise it says why it is skipped.
#   scripts/fresh-root.sh
# Downloaded .deb files are kept in /var/cache/zrm-fresh-root for the next run;
# every root still installs them through apt from its bare state. The roots
# are made in /var/tmp (in memory when there is room) and removed at the end.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

cache=/var/cache/zrm-fresh-root
suite=bookworm
user=zrm
picture_size="578x318"

cannot_run() {
    if [ "${CI:-}" = "true" ]; then
        echo "fresh-root: the check cannot run: $*" >&2
        exit 1
    fi
    echo "fresh-root: check skipped: $*" >&2
    exit 0
}

# "URI SUITE" for every enabled deb source of this machine, one-line and deb822.
host_sources() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" | awk '$1 == "deb" {print $2, $3}'
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk '
            function flush(   n, m, i, j, u, s) {
                if (types ~ /(^| )deb( |$)/ && enabled != "no") {
                    n = split(uris, u, " ")
                    m = split(suites, s, " ")
                    for (i = 1; i <= n; i++)
                        for (j = 1; j <= m; j++)
                            print u[i], s[j]
                }
                types = uris = suites = enabled = last = ""
            }
            /^#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^[ \t]/ {
                value = $0
                sub(/^[ \t]+/, "", value)
                if (last == "types") types = types " " value
                else if (last == "uris") uris = uris " " value
                else if (last == "suites") suites = suites " " value
                next
            }
            {
                key = tolower($0)
                sub(/:.*/, "", key)
                value = $0
                sub(/^[^:]*:[ \t]*/, "", value)
                last = key
                if (key == "types") types = value
                else if (key == "uris") uris = value
                else if (key == "suites") suites = value
                else if (key == "enabled") enabled = tolower(value)
            }
            END { flush() }
        ' "$file"
    done
}

[ "$(id -u)" -eq 0 ] || cannot_run "it needs root (debootstrap, mounts, chroot)."
sources="$(host_sources | awk -v s="$suite" '$2 == s || $2 == s "-updates" || $2 == s "-security"' |
    awk '!seen[$0]++')"
mirror="$(awk -v s="$suite" '$2 == s {print $1; exit}' <<<"$sources")"
[ -n "$mirror" ] ||
    cannot_run "no Debian $suite mirror in /etc/apt/sources.list or /etc/apt/sources.list.d/."
zrm_require_packages fresh-root
git -C "$ZRM_ROOT" rev-parse --verify -q HEAD >/dev/null 2>&1 ||
    cannot_run "$ZRM_ROOT is not a git checkout with a commit, so there is no HEAD to check."
head="$(git -C "$ZRM_ROOT" rev-parse HEAD)"

# Ends what still runs in ROOT, by process id: all of it was started here.
end_processes() {
    local root="$1" proc pids
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        pids=()
        for proc in /proc/[0-9]*; do
            [ "$proc/root" -ef "$root" ] && pids+=("${proc#/proc/}")
        done
        [ ${#pids[@]} -eq 0 ] && return 0
        echo "ending what still runs in $root: ${pids[*]}"
        kill -KILL "${pids[@]}" 2>/dev/null || true
        sleep 0.2
    done
}

# Ends what still runs in the roots under DIR (or DIR itself), undoes every
# mount under it, newest first (debootstrap's own included), and removes it.
release() {
    local dir="$1" root point
    for root in "$dir" "$dir"/*/; do
        [ -d "$root" ] && end_processes "${root%/}"
    done
    for point in $(awk -v d="$dir" '$2 == d || index($2, d "/") == 1 {print $2}' \
        /proc/self/mounts | tac); do
        umount "$point" 2>/dev/null || umount -l "$point"
    done
    if awk -v d="$dir" '$2 == d || index($2, d "/") == 1 {found = 1} END {exit !found}' \
        /proc/self/mounts; then
        echo "fresh-root: mounts left under $dir; not removing it" >&2
        return 1
    fi
    rm -rf --one-file-system "$dir"
}

finish() {
    local status=$?
    trap - EXIT INT TERM HUP
    release "$work" || status=1
    exit "$status"
}

work="$(mktemp -d /var/tmp/zrm-fresh-root.XXXXXX)"
started=$SECONDS
trap finish EXIT
trap 'echo "fresh-root: interrupted" >&2; exit 130' INT
trap 'echo "fresh-root: terminated" >&2; exit 143' TERM
trap 'echo "fresh-root: hung up" >&2; exit 129' HUP
# The roots in memory where there is room for them (the largest, with its
# builds, takes under 4 GB): dpkg's syncs and the removal of a root then wait
# for no disk.
if [ "$(awk '/^MemAvailable:/ {print int($2 / 1048576)}' /proc/meminfo)" -ge 8 ]; then
    mount -t tmpfs -o size=6g,mode=0700 zrm-fresh-root "$work"
    where_roots="in memory (tmpfs)"
else
    where_roots="on disk"
fi

# The time since the start, as m:ss.
clock() {
    local s=$((SECONDS - $1))
    printf '%d:%02d' $((s / 60)) $((s % 60))
}

failed() {
    local name="$1" status="$2" command="$3" log="$4"
    {
        echo "fresh-root: FAILED: $name (exit $status after $(clock "$step_started"))"
        echo "fresh-root: command: $command"
        echo "fresh-root: the last lines of its output (all of it in $log):"
        tail -n 40 "$log" | sed 's/^/    /'
    } >&2
    exit 1
}

# step NAME WHERE COMMAND: runs the shell command here (WHERE is "host", with
# this script's functions) or in a root as root or as the user (WHERE is "ROOT"
# or "ROOT user"), its output to the step's log, and prints the step's line
# with its time. With expect_failure=1 the command must fail instead.
expect_failure=0
step() {
    local name="$1" where="$2" command="$3"
    local root="${where%% *}" shown status
    step_number=$((step_number + 1))
    step_log="$logs/$chain-$(printf '%02d' "$step_number").log"
    step_started=$SECONDS
    set +e
    if [ "$where" = host ]; then
        shown="$command"
        (
            set -e
            eval "$command"
        ) </dev/null >"$step_log" 2>&1
    elif [ "$where" = "$root" ]; then
        shown="(root in $root) $command"
        chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            /bin/bash -c "$command" </dev/null >"$step_log" 2>&1
    else
        shown="($user in $root) $command"
        chroot --userspec="$(chroot "$root" id -u "$user"):$(chroot "$root" id -g "$user")" \
            "$root" /usr/bin/env -i HOME="/home/$user" USER="$user" LOGNAME="$user" \
            SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin:/usr/games \
            /bin/bash -c "$command" </dev/null >"$step_log" 2>&1
    fi
    status=$?
    set -e
    if [ "$expect_failure" -eq 1 ]; then
        [ "$status" -ne 0 ] || failed "$name" "0, a failure was expected" "$shown" "$step_log"
    elif [ "$status" -ne 0 ]; then
        failed "$name" "$status" "$shown" "$step_log"
    fi
    printf 'fresh-root: %-66s %5s  (at %s)\n' "$name" "$(clock "$step_started")" \
        "$(clock "$started")"
}

# The base root: debootstrap, then the apt sources and hosts file of an
# installed system.
make_base() {
    flock "$cache/debootstrap.lock" debootstrap --variant=minbase \
        --cache-dir="$cache/debootstrap" "$suite" "$work/base" "$mirror"
    awk '{print "deb", $1, $2, "main"}' <<<"$sources" >"$work/base/etc/apt/sources.list"
    printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' \
        >"$work/base/etc/hosts"
}

# A copy of the base root with /proc, its own pseudo-terminals, /dev/shm and
# the .deb files fetched by earlier roots and runs in apt's archive.
make_root() {
    local root="$1"
    cp -a "$work/base" "$root"
    mount -t proc proc "$root/proc"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
    mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
    link_debs "$cache/apt" "$root/var/cache/apt/archives"
}

# Hard links (copies across file systems) of the .deb files of FROM that TO lacks.
link_debs() {
    local deb
    for deb in "$1"/*.deb; do
        if [ -f "$deb" ] && [ ! -e "$2/${deb##*/}" ]; then
            ln "$deb" "$2/" 2>/dev/null || cp -n "$deb" "$2/"
        fi
    done
}

# Keeps what a root fetched for the next one, then removes the root.
drop_root() {
    link_debs "$1/var/cache/apt/archives" "$cache/apt"
    release "$1"
}

# The checkout of HEAD (a git clone, for the format check) and ../shared beside
# it, in DIR of a root, owned by OWNER.
copy_checkout() {
    local root="$1" dir="$2" owner="$3"
    git clone -q --no-checkout --no-hardlinks "$ZRM_ROOT" "$root$dir/zrm-panel"
    git -C "$root$dir/zrm-panel" checkout -q --detach "$head"
    chroot "$root" chown -R "$owner:" "$dir/zrm-panel"
    if [ -d "$ZRM_ROOT/../shared" ]; then
        cp -a "$ZRM_ROOT/../shared" "$root$dir/shared"
        chroot "$root" chown -R "$owner:" "$dir/shared"
    fi
}

# Width x height from a PNG header (big-endian at bytes 16 and 20).
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{
        printf "%dx%d\n", $1 * 16777216 + $2 * 65536 + $3 * 256 + $4,
                          $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}

mkdir -p "$cache/debootstrap" "$cache/apt"
logs="$(mktemp -d /tmp/zrm-fresh-root-logs.XXXXXX)"
echo "fresh-root: HEAD $head, mirror $mirror, roots in $work $where_roots, logs in $logs"

# The user's path: nothing installed, the printed line, the suite, the package,
# the fuzzers.
build_chain() {
    chain=build
    step_number=0
    build_root="$work/build-root"
    step "build root: a copy of the base, user $user, the checkout of HEAD" host \
        "make_root '$build_root'; chroot '$build_root' useradd -m -s /bin/bash $user
         copy_checkout '$build_root' /home/$user $user"
    expect_failure=1
    step "as a user, scripts/test.sh on the bare root stops with the apt line" "$build_root $user" \
        "cd ~/zrm-panel && scripts/test.sh"
    expect_failure=0
    apt_line="$(grep -m 1 '^ *apt-get update && apt-get install ' "$step_log" || true)"
    [ -n "$apt_line" ] || failed "the apt line printed by scripts/test.sh" "-" \
        "grep 'apt-get update && apt-get install' in its output" "$step_log"
    echo "fresh-root:   the line:$apt_line"
    step "as root, the printed line" "$build_root" "$apt_line"
    step "as a user, scripts/test.sh builds and passes the suite" "$build_root $user" \
        "cd ~/zrm-panel && scripts/test.sh"
    step "as root, scripts/package.sh" "$build_root" \
        "cd /home/$user/zrm-panel && scripts/package.sh"
    step "as root, scripts/fuzz.sh 1" "$build_root" "cd /home/$user/zrm-panel && scripts/fuzz.sh 1"
    step "build root: package kept, root removed" host \
        "cp '$build_root/home/$user/zrm-panel/build-package/'zrm-panel_*.deb '$work/'
         drop_root '$build_root'"
}

# The demo as root, nothing installed beforehand.
demo_chain() {
    chain=demo
    step_number=0
    demo_root="$work/demo-root"
    step "demo root: a copy of the base, the checkout of HEAD" host \
        "make_root '$demo_root'; copy_checkout '$demo_root' /root root"
    step "as root, scripts/demo.sh --screenshot on the bare root" "$demo_root" \
        "cd ~/zrm-panel && scripts/demo.sh --screenshot /tmp/zrm-demo.png"
    step "the picture is $picture_size" host \
        "cp '$demo_root/tmp/zrm-demo.png' '$logs/'; size=\$(png_size '$logs/zrm-demo.png')
         echo \"picture: \$size\"; [ \"\$size\" = $picture_size ]"
    step "demo root: removed" host "drop_root '$demo_root'"
}

# The package where no development package ever was.
install_chain() {
    chain=install
    step_number=0
    install_root="$work/install-root"
    step "install root: a copy of the base, the package" host \
        "make_root '$install_root'; cp '$work/'zrm-panel_*.deb '$install_root/tmp/'"
    step "as root, apt-get install ./zrm-panel_*.deb on the bare root" "$install_root" \
        "cd /tmp && apt-get update && apt-get install -y ./zrm-panel_*.deb"
    step "as root, xvfb and xauth for a virtual display" "$install_root" \
        "apt-get install -y xvfb xauth"
    step "no development package was ever installed" "$install_root" \
        "dev=\$(grep -h -o ' install [^ ]*-dev:[^ ]*' /var/log/dpkg.log || true)
         [ -z \"\$dev\" ] || { echo \"installed:\$dev\"; exit 1; }"
    step "the installed zrm-panel reaches Ready against the installed zrm-sim" "$install_root" '
        set -eu
        zrm-sim --link /tmp/zrm-com1 >/tmp/sim.out &
        sim=$!
        tries=0
        until [ -L /tmp/zrm-com1 ]; do
            tries=$((tries + 1)); [ $tries -le 100 ] || { echo "zrm-sim did not start"; exit 1; }
            sleep 0.1
        done
        export ZRM_COM1=/tmp/zrm-com1 ZRM_COM2=/nonexistent/com2 ZRM_COM3=/nonexistent/com3 \
            ZRM_COM4=/nonexistent/com4 QT_LOGGING_RULES="zrm.link.debug=true"
        xvfb-run -a sh -c "zrm-panel & echo \$! >/tmp/panel.pid; wait \$!" 2>/tmp/trace.txt &
        display=$!
        tries=0
        until grep -q " status 1 Ready\$" /tmp/trace.txt 2>/dev/null; do
            tries=$((tries + 1))
            [ $tries -le 600 ] || { echo "no Ready within 60 s; the trace:"; cat /tmp/trace.txt; exit 1; }
            sleep 0.1
        done
        cat /tmp/trace.txt
        kill "$(cat /tmp/panel.pid)" "$sim"
        wait "$display" "$sim" || true
        '
    step "as root, man-db, then man zrm-panel" "$install_root" \
        "apt-get install -y man-db && MANWIDTH=80 man -P cat zrm-panel | tee /tmp/man.txt &&
         grep -q '^NAME' /tmp/man.txt && grep -q 'zrm-panel' /tmp/man.txt"
    step "install root: removed" host "drop_root '$install_root'"
}

chain=base
step_number=0
step "base root: debootstrap --variant=minbase $suite" host make_base
build_chain
demo_chain
install_chain

echo "fresh-root: passed in $(clock "$started")"
