#!/usr/bin/env bash
# Fetches and unpacks Debian's libwebp source package into build/libwebp-src, the one the
# build machines run (bookworm), so the Windows program and the native tests link the same
# library. apt verifies the package against the archive's signatures. The system's apt
# configuration is left alone: sources list, state and cache are private folders under build/.
#   scripts/fetch_libwebp.sh        prints the unpacked folder; does nothing when it is there
set -euo pipefail
cd "$(dirname "$0")/.."

version=1.2.4-0.2+deb12u1
upstream=${version%%-*}
root="$PWD/build/libwebp-src"
unpacked="$root/libwebp-$upstream"
stamp="$root/.unpacked-$version"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

if [ -f "$stamp" ] && [ -f "$unpacked/src/webp/encode.h" ]; then
  echo "$unpacked"
  exit 0
fi
command -v dpkg-source >/dev/null || { echo "fetch_libwebp: dpkg-source missing (scripts/deps.sh installs dpkg-dev)" >&2; exit 1; }
[ -f "$keyring" ] || { echo "fetch_libwebp: $keyring missing (debian-archive-keyring)" >&2; exit 1; }

apt_dir="$root/apt"
mkdir -p "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/etc/sources.list.d" \
         "$apt_dir/etc/preferences.d" "$apt_dir/etc/apt.conf.d"
cat > "$apt_dir/etc/sources.list" <<LIST
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
LIST
: > "$apt_dir/state/status"
# Only our own list, state and cache; the index download runs as the calling user so the
# private folders stay writable.
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/etc/sources.list"
          -o "Dir::Etc::SourceParts=$apt_dir/etc/sources.list.d"
          -o "Dir::Etc::Preferences=$apt_dir/etc/preferences"
          -o "Dir::Etc::PreferencesParts=$apt_dir/etc/preferences.d"
          -o "Dir::State=$apt_dir/state"
          -o "Dir::State::status=$apt_dir/state/status"
          -o "Dir::Cache=$apt_dir/cache"
          -o "APT::Sandbox::User=$(id -un)"
          -o "Acquire::Languages=none"
          -o "APT::Get::AllowUnauthenticated=false"
          -o "Acquire::AllowInsecureRepositories=false")

apt-get "${apt_opts[@]}" -q update >&2
rm -rf "$unpacked" "$root"/libwebp_* "$stamp"
# Unpacking needs the .dsc, the upstream tarball and the Debian tarball, whose hashes apt has
# checked against the signed index; dpkg-source then applies Debian's patches (the security fixes).
(cd "$root" && apt-get "${apt_opts[@]}" -q source "libwebp=$version") >&2
[ -f "$unpacked/src/webp/encode.h" ] || { echo "fetch_libwebp: nothing unpacked at $unpacked" >&2; exit 1; }
touch "$stamp"
echo "$unpacked"
