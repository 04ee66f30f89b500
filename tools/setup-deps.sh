#!/usr/bin/env bash
# Installs the Debian packages Talvora needs to build, run and test. Idempotent: prints nothing
# and installs nothing when every package is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libcurl4-openssl-dev libjsoncpp-dev libzip-dev zipcmp zipmerge ziptool libssl-dev libicu-dev
  libcpp-httplib-dev googletest libgtest-dev libgmock-dev zlib1g-dev
  ffmpeg libmediainfo0v5 fonts-wqy-microhei
  xvfb xauth ca-certificates
  # --- Main window and the program: the end-to-end test drives the real window with xdotool ---
  xdotool x11-utils
  # --- First-window benchmark: watches the display through Xlib ---
  libx11-dev
  # --- Desktop integration and packaging: the validators, dpkg-deb and dpkg-shlibdeps the install
  #     test runs, and gio, which reads desktop entries as GLib-based desktops do ---
  desktop-file-utils appstream dpkg dpkg-dev libglib2.0-bin binutils
  # --- Local English recognizer: the decoder, its US-English model; recordings for the tests,
  #     and the library's own command-line decoders that the benchmark compares against ---
  libpocketsphinx-dev pocketsphinx-en-us pocketsphinx-testdata pocketsphinx
  # --- Languages: lrelease builds the English translation and lupdate refreshes it (qt6-tools-dev
  #     has CMake's LinguistTools, qt6-l10n-tools the programs); Qt's own Chinese for its dialogs
  #     and menus ---
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # --- Fuzz targets (tools/fuzz.sh): clang with libFuzzer and the sanitizer runtimes ---
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
