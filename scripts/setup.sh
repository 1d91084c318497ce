#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Cheap when already done: packages are checked before apt is touched, and the
# cross-built libpng and zstd live in cache folders that are rebuilt only when missing.
set -euo pipefail

fail() {
    echo "setup: $1" >&2
    echo "setup: fix the cause above and run the same command again; finished steps are not repeated." >&2
    exit 1
}

[ "$(id -u)" = 0 ] || fail "must run as root (it installs Debian packages)"

CACHE=${KESTREL_CACHE:-/var/cache/kestrel}
# Both recorder widths are built: i686 for 32-bit programs, x86_64 for 64-bit ones.
ARCHES=(i686 x86_64)

PACKAGES=(
    cmake make python3 xvfb xauth khronos-api googletest
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev zstd
    wine wine64 libgl1 libglx-mesa0 libgl1-mesa-dri libosmesa6 libxrender1 libxrandr2 libxi6 libxcursor1
    libxcomposite1 libxfixes3 libxinerama1 libxxf86vm1
    wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libosmesa6:i386
    libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386
    libxfixes3:i386 libxinerama1:i386 libxxf86vm1:i386
    chromium
)

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}

apt_updated=0
apt_update() {
    [ $apt_updated = 1 ] && return 0
    apt-get update -qq || fail "apt-get update failed (network or sources list)"
    apt_updated=1
}

# The URIs of the machine's own Debian package sources (the security suite's aside), one line with
# them all: the source lines below name no host of their own and change only the type or suite.
system_source_uris() {
    local uris
    uris=$(
        {
            [ -f /etc/apt/sources.list.d/debian.sources ] && awk '
                function flush() { if (types ~ /(^| )deb( |$)/ && suites !~ /-security/) print uris; types = suites = uris = "" }
                /^[ \t]*#/ { next }
                /^[ \t]*$/ { flush(); next }
                tolower($1) == "types:" { $1 = ""; types = $0 " " }
                tolower($1) == "suites:" { $1 = ""; suites = $0 }
                tolower($1) == "uris:" { $1 = ""; uris = $0 }
                END { flush() }' /etc/apt/sources.list.d/debian.sources | tr ' ' '\n'
            [ -f /etc/apt/sources.list ] && awk '
                $1 == "deb" { sub(/\[[^]]*\]/, ""); if ($3 !~ /-security|\/updates/) print $2 }' /etc/apt/sources.list
        } | grep -E '^[a-z+]+:' | awk '!seen[$0]++' | tr '\n' ' '
    )
    [ -n "$uris" ] || fail "no Debian package source is configured (no deb URIs in /etc/apt/sources.list.d/debian.sources or /etc/apt/sources.list)"
    echo "${uris% }"
}

# Source packages: the security suite's sources are not served, so list only the main suites.
SRC_LIST=/etc/apt/sources.list.d/kestrel-src.sources
if [ ! -f "$SRC_LIST" ]; then
    uris=$(system_source_uris)
    cat > "$SRC_LIST" <<SRC
Types: deb-src
URIs: $uris
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt_updated=0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture"
    dpkg --add-architecture i386
fi

mapfile -t need < <(missing_packages)
if [ ${#need[@]} -gt 0 ]; then
    echo "setup: installing ${need[*]}"
    apt_update
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null \
        || fail "apt-get install failed for: ${need[*]}"
    mapfile -t still < <(missing_packages)
    [ ${#still[@]} -eq 0 ] || fail "packages still missing after install: ${still[*]}"
fi

for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix \
    x86_64-w64-mingw32-gcc-posix wine /usr/lib/wine/wine64 Xvfb cmake python3; do
    command -v "$tool" >/dev/null || fail "$tool not found after install"
done
# Wine runs 32-bit programs as i386 Linux processes. A kernel that refuses those (IA-32 emulation
# off, as on some virtual machines) gets them run through qemu's user-mode emulator instead: the
# static build of Debian 13 (bookworm's 7.2 crashes under Wine), registered with binfmt_misc.
QEMU=$CACHE/qemu-i386
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if [ ! -x "$QEMU" ]; then
        echo "setup: this kernel does not run 32-bit programs; fetching qemu's i386 emulator into $QEMU"
        work=$(mktemp -d)
        trap 'rm -rf "$work"' EXIT
        mkdir -p "$work/lists/partial" "$work/archives/partial"
        uris=$(system_source_uris)
        cat > "$work/trixie.sources" <<SRC
Types: deb
URIs: $uris
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        # An apt of its own: the system's sources and package lists stay as they are.
        aptq=(-o Dir::Etc::SourceList="$work/trixie.sources" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
              -o APT::Architecture=amd64 -o APT::Architectures=amd64 -o APT::Sandbox::User=root)
        apt-get -qq "${aptq[@]}" update >/dev/null || fail "could not read Debian 13's package list"
        (cd "$work" && apt-get -qq "${aptq[@]}" download qemu-user >/dev/null) || fail "could not download qemu-user from Debian 13"
        dpkg-deb -x "$work"/qemu-user_*.deb "$work/x" || fail "could not unpack qemu-user"
        mkdir -p "$CACHE"
        install -m 755 "$work/x/usr/bin/qemu-i386" "$QEMU.tmp" && mv "$QEMU.tmp" "$QEMU" || fail "could not install $QEMU"
        rm -rf "$work"
    fi
    misc=/proc/sys/fs/binfmt_misc
    [ -e $misc/register ] || mount -t binfmt_misc binfmt_misc $misc || fail "could not mount $misc"
    if [ ! -e $misc/kestrel-i386 ]; then
        echo ':kestrel-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':FP' \
            > $misc/register || fail "could not register $QEMU for i386 programs"
    fi
    # Entries registered later are tried first; an older emulator that fails here must not win.
    for e in $misc/*; do
        case $(basename "$e") in register|status|kestrel-i386) continue ;; esac
        grep -q '^magic 7f454c4601010100000000000000000002000300' "$e" 2>/dev/null && echo 0 > "$e"
    done
    /usr/lib/wine/wine --version >/dev/null 2>&1 || fail "Wine still cannot start through $QEMU"
fi
[ -f /usr/share/khronos-api/gl.xml ] || fail "khronos-api registry (/usr/share/khronos-api/gl.xml) missing"
[ -f /usr/src/googletest/CMakeLists.txt ] || fail "GoogleTest sources (/usr/src/googletest) missing"

# Debian's source package $1 unpacked into a fresh temporary folder ($work, removed at exit): sets
# $src to its source tree.
fetch_source() {
    apt_update
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && apt-get source -qq "$1" >/dev/null 2>&1) || fail "apt-get source $1 failed (is $SRC_LIST usable?)"
    src=$(find "$work" -maxdepth 1 -type d -name "$1-*" | head -n 1)
    [ -n "$src" ] || fail "$1 source folder not found after apt-get source"
}

# libpng, zstd and glfw's examples, cross-built for one target ($1: i686 or x86_64) from Debian's
# source packages into cache folders named after it.
cross_build() {
    local arch=$1 host=$1-w64-mingw32
    local cc=$host-gcc-posix cxx=$host-g++-posix
    local png_dir=$CACHE/libpng-$arch zstd_dir=$CACHE/zstd-$arch glfw_dir=$CACHE/glfw-$arch
    if [ ! -f "$png_dir/lib/libpng16.a" ]; then
        echo "setup: building libpng for $host into $png_dir"
        fetch_source libpng1.6
        (
            cd "$src"
            CC=$cc CPPFLAGS="-I/usr/$host/include" LDFLAGS="-L/usr/$host/lib" \
                ./configure --host=$host --enable-static --disable-shared --prefix="$png_dir.tmp" >/dev/null
            make -j"$(nproc)" >/dev/null
            rm -rf "$png_dir.tmp"
            make install >/dev/null
        ) || fail "libpng cross-build for $host failed"
        mkdir -p "$CACHE"
        rm -rf "$png_dir"
        mv "$png_dir.tmp" "$png_dir"
        rm -rf "$work"
    fi
    # zstd, the capture files' compression: only its static library (no legacy formats, no
    # multithreading: the drainer compresses on its own thread).
    if [ ! -f "$zstd_dir/lib/libzstd.a" ]; then
        echo "setup: building zstd for $host into $zstd_dir"
        fetch_source libzstd
        make -C "$src/lib" -j"$(nproc)" libzstd.a CC=$cc AR=$host-ar ZSTD_LEGACY_SUPPORT=0 >/dev/null \
            || fail "zstd cross-build for $host failed"
        rm -rf "$zstd_dir.tmp"
        mkdir -p "$zstd_dir.tmp/lib" "$zstd_dir.tmp/include"
        cp "$src/lib/libzstd.a" "$zstd_dir.tmp/lib/"
        cp "$src/lib/zstd.h" "$src/lib/zstd_errors.h" "$zstd_dir.tmp/include/"
        rm -rf "$zstd_dir"
        mv "$zstd_dir.tmp" "$zstd_dir"
        rm -rf "$work"
    fi
    # glfw's examples: real third-party OpenGL programs for the main job and the end-to-end tests.
    if [ ! -f "$glfw_dir/examples/offscreen.exe" ]; then
        echo "setup: building glfw's examples for $host into $glfw_dir"
        fetch_source glfw3
        rm -rf "$glfw_dir.tmp"
        cmake -S "$src" -B "$glfw_dir.tmp" -DCMAKE_SYSTEM_NAME=Windows \
            -DCMAKE_C_COMPILER=$cc -DCMAKE_CXX_COMPILER=$cxx \
            -DCMAKE_RC_COMPILER=$host-windres -DCMAKE_FIND_ROOT_PATH=/usr/$host \
            -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_BUILD_TYPE=Release \
            -DGLFW_BUILD_DOCS=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_EXAMPLES=ON >/dev/null \
            || fail "glfw configure for $host failed"
        cmake --build "$glfw_dir.tmp" -j"$(nproc)" >/dev/null || fail "glfw build for $host failed"
        rm -rf "$glfw_dir"
        mv "$glfw_dir.tmp" "$glfw_dir"
        rm -rf "$work"
    fi
}
for arch in "${ARCHES[@]}"; do cross_build "$arch"; done
echo "setup: ready (libpng, zstd and glfw's examples for ${ARCHES[*]} in $CACHE)"
