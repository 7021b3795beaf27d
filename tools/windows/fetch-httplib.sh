#!/usr/bin/env bash
# Puts the single-header form of the HTTP library the sandbox serves with into DIR/httplib.h, for the
# Windows build: Debian ships the library for Linux only, split into a header and a shared library, while
# its source package keeps the single header. Takes the source of the version installed here (Debian's
# fixes applied) through apt, with a private package index under DIR, so the machine's own is untouched.
#   tools/windows/fetch-httplib.sh DIR
set -euo pipefail
dir=${1:?usage: tools/windows/fetch-httplib.sh DIR}
[ -f "$dir/httplib.h" ] && exit 0
version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
mkdir -p "$dir"
dir=$(realpath "$dir")
work="$dir/source"
rm -rf "$work" && mkdir -p "$work/lists/partial" "$work/download"
cat >"$work/sources.list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian-security bookworm-security main
EOF
apt_options=(-q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" update >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
(cd "$work/download" && apt-get "${apt_options[@]}" source --download-only "cpp-httplib=$version") \
    >>"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
dpkg-source -x "$work"/download/*.dsc "$work/unpacked" >>"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
cp "$work/unpacked/httplib.h" "$dir/httplib.h"
rm -rf "$work"
echo "HTTP library $version (single header) in $dir"
