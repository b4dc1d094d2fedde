# Shared by run.sh and test.sh: installs the Debian packages that are
# missing and builds the Release tree in build/.

FIDMORA_PACKAGES=(
    build-essential cmake pkg-config
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5network5 libqt5svg5
    fonts-dejavu-core
    libcurl4-openssl-dev libxml2-dev libxxhash-dev
    # Remembered passwords in the system's keyring (the Secret Service).
    qtkeychain-qt5-dev
    # Qt's own texts (standard buttons, file choosers) in Russian.
    qttranslations5-l10n
)

# Only for the tests (test.sh), never for a user's machine (run.sh): the
# servers the exchange tests start on 127.0.0.1, and what the install test
# checks the desktop entry, the metainfo, the MIME type and the icons with.
FIDMORA_TEST_PACKAGES=(
    # The include rules of the model (scripts/check-includes.py).
    python3
    python3-pyftpdlib vsftpd openssl openssh-server openssh-client
    php-cli php-sqlite3
    # The site script's MODX mode: a private MariaDB server and PHP's driver.
    mariadb-server php-mysql
    desktop-file-utils appstream shared-mime-info file
    # The keyring tests: a private D-Bus session with an unlocked keyring.
    dbus-daemon gnome-keyring
    # The fuzz targets (test.sh --fuzz): clang, and libFuzzer's runtime,
    # which clang only recommends.
    clang libclang-rt-14-dev
    # The formatter of the house style (.clang-format), for the lines a
    # change touches: git clang-format.
    clang-format
)

# Only for the Qt 6 build (test.sh --qt6), which builds the same sources
# against Debian's Qt 6 and runs the suite with it; the program itself stays
# on Qt 5 (run.sh). Its translation tools, the offscreen platform the tests
# run with (in libqt6gui6, which qt6-base-dev brings), the SVG icon plugins
# and Qt's own texts in Russian.
FIDMORA_QT6_PACKAGES=(
    qt6-base-dev qt6-base-dev-tools
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    libqt6svg6
    qt6-translations-l10n
    # The system's password store, as qtkeychain-qt5-dev is for Qt 5.
    qtkeychain-qt6-dev
)

# Only for the Windows stage (test.sh --windows): the MinGW-w64 cross
# compiler (posix threads), Wine to run the programs, and what
# scripts/windows-toolchain.sh needs to fetch and build Qt, curl, libssh2 and
# libxml2 from Debian's source packages.
FIDMORA_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    wine64
    dpkg-dev xz-utils perl python3 make cmake
    # lrelease compiles the translations for both systems; CMake finds it
    # through qttools5-dev's package files.
    qttools5-dev qttools5-dev-tools
    # The headers of xxHash, which is used header-only.
    libxxhash-dev
    # The fonts that Qt's offscreen platform draws with under Wine.
    fonts-dejavu-core
    # Wine runs in Russian, as our users' Windows does, where the host has
    # the ru_RU.UTF-8 locale (fidmora_russian_locale makes it).
    locales
)

# Only for scripts/screenshots.sh, which draws the change report for the
# README in headless Chromium.
FIDMORA_SCREENSHOT_PACKAGES=(
    chromium
)

# Only for the screenshot of the window under Wine
# (scripts/windows-screenshot.sh): a virtual display, the keys the user
# would press, and the capture.
FIDMORA_WINDOWS_SCREENSHOT_PACKAGES=(
    wine64 xvfb xdotool imagemagick x11-apps
)

fidmora_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

fidmora_install() {
    local missing
    missing=$(fidmora_missing_packages "$@")
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "Fidmora needs these packages: $missing (run as root or install sudo)" >&2; return 1; }
        sudo="sudo"
    fi
    echo "Installing: $missing"
    # shellcheck disable=SC2086
    if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null 2>&1; then
        $sudo apt-get update -qq
        # shellcheck disable=SC2086
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
    fi
}

# Makes the host's ru_RU.UTF-8 locale when it is missing: Wine takes its
# Windows language and the character set of Unix file names from it.
fidmora_russian_locale() {
    locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' && return 0
    local sudo=""
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "Cannot make the ru_RU.UTF-8 locale (run as root or install sudo)" >&2; return 1; }
        sudo="sudo"
    fi
    echo "Making the ru_RU.UTF-8 locale"
    $sudo localedef -i ru_RU -c -f UTF-8 ru_RU.UTF-8
}

# fidmora_build [FOLDER [CMAKE OPTIONS...]]: build/ in Release by default.
fidmora_build() {
    local build=${1:-build} jobs
    [ $# -gt 0 ] && shift
    [ $# -gt 0 ] || set -- -DCMAKE_BUILD_TYPE=Release
    jobs=$(nproc 2>/dev/null || echo 2)
    cmake -S . -B "$build" "$@" >/dev/null
    cmake --build "$build" -j"$jobs"
}
