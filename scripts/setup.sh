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
PNG_DIR=$CACHE/libpng-i686
ZSTD_DIR=$CACHE/zstd-i686

PACKAGES=(
    cmake make python3 xvfb xauth khronos-api googletest
    g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev zstd
    wine wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libosmesa6:i386
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

# Source packages: the security suite's sources are not served, so list only the main suites.
SRC_LIST=/etc/apt/sources.list.d/kestrel-src.sources
if [ ! -f "$SRC_LIST" ]; then
    cat > "$SRC_LIST" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
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

for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix wine Xvfb cmake python3; do
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
        cat > "$work/trixie.sources" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
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

# libpng, cross-built statically from Debian's source package.
if [ ! -f "$PNG_DIR/lib/libpng16.a" ]; then
    echo "setup: building libpng for i686-w64-mingw32 into $PNG_DIR"
    fetch_source libpng1.6
    (
        cd "$src"
        CC=i686-w64-mingw32-gcc-posix CPPFLAGS="-I/usr/i686-w64-mingw32/include" \
            LDFLAGS="-L/usr/i686-w64-mingw32/lib" \
            ./configure --host=i686-w64-mingw32 --enable-static --disable-shared --prefix="$PNG_DIR.tmp" >/dev/null
        make -j"$(nproc)" >/dev/null
        rm -rf "$PNG_DIR.tmp"
        make install >/dev/null
    ) || fail "libpng cross-build failed"
    mkdir -p "$CACHE"
    rm -rf "$PNG_DIR"
    mv "$PNG_DIR.tmp" "$PNG_DIR"
    rm -rf "$work"
fi
# zstd, the capture files' compression: only its static library, cross-built from Debian's source
# package (no legacy formats, no multithreading: the drainer compresses on its own thread).
if [ ! -f "$ZSTD_DIR/lib/libzstd.a" ]; then
    echo "setup: building zstd for i686-w64-mingw32 into $ZSTD_DIR"
    fetch_source libzstd
    make -C "$src/lib" -j"$(nproc)" libzstd.a CC=i686-w64-mingw32-gcc-posix AR=i686-w64-mingw32-ar \
        ZSTD_LEGACY_SUPPORT=0 >/dev/null || fail "zstd cross-build failed"
    rm -rf "$ZSTD_DIR.tmp"
    mkdir -p "$ZSTD_DIR.tmp/lib" "$ZSTD_DIR.tmp/include"
    cp "$src/lib/libzstd.a" "$ZSTD_DIR.tmp/lib/"
    cp "$src/lib/zstd.h" "$src/lib/zstd_errors.h" "$ZSTD_DIR.tmp/include/"
    rm -rf "$ZSTD_DIR"
    mv "$ZSTD_DIR.tmp" "$ZSTD_DIR"
    rm -rf "$work"
fi
# glfw's examples, cross-built from Debian's source package: real third-party OpenGL programs for
# the main job and the end-to-end tests.
GLFW_DIR=$CACHE/glfw-i686
if [ ! -f "$GLFW_DIR/examples/offscreen.exe" ]; then
    echo "setup: building glfw's examples for i686-w64-mingw32 into $GLFW_DIR"
    fetch_source glfw3
    rm -rf "$GLFW_DIR.tmp"
    cmake -S "$src" -B "$GLFW_DIR.tmp" -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_C_COMPILER=i686-w64-mingw32-gcc-posix -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++-posix \
        -DCMAKE_RC_COMPILER=i686-w64-mingw32-windres -DCMAKE_FIND_ROOT_PATH=/usr/i686-w64-mingw32 \
        -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_BUILD_TYPE=Release \
        -DGLFW_BUILD_DOCS=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_EXAMPLES=ON >/dev/null \
        || fail "glfw configure failed"
    cmake --build "$GLFW_DIR.tmp" -j"$(nproc)" >/dev/null || fail "glfw build failed"
    rm -rf "$GLFW_DIR"
    mv "$GLFW_DIR.tmp" "$GLFW_DIR"
    rm -rf "$work"
fi
echo "setup: ready (libpng in $PNG_DIR, zstd in $ZSTD_DIR, glfw examples in $GLFW_DIR/examples)"
