#!/usr/bin/env bash
# Builds the Debian package in a configured build directory with cpack and
# checks it: lintian finds no error and no warning, its dependencies were
# found, it holds its documents and the demo tune, the binary is stripped
# and hardened, and the xq and manual page it installs work. The package is
# unpacked into a scratch root inside the build directory; with --install
# it is also installed on this machine with dpkg (CI does this) and removed
# again.
#
#   scripts/check-deb.sh [--install] BUILD_DIR
set -euo pipefail
install=0
if [ "${1:-}" = "--install" ]; then
    install=1
    shift
fi
build_dir=$(cd "${1:?usage: $0 [--install] BUILD_DIR}" && pwd)

fail() {
    echo "check-deb: $*" >&2
    exit 1
}

echo "==> Building the package in $build_dir"
rm -f "$build_dir"/xq_*.deb
(cd "$build_dir" && cpack -G DEB)
debs=("$build_dir"/xq_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no xq_*.deb"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libmikmod libncursesw libc6 libkissfft libarchive13; do
    grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib"
done
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/xq ./usr/share/man/man1/xq.1.gz ./usr/share/doc/xq/README ./usr/share/doc/xq/copyright \
    ./usr/share/doc/xq/changelog.gz ./usr/share/xq/demo.xm; do
    grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
maintainer=$(dpkg-deb -f "$deb" Maintainer)
grep -qi "xq project" <<<"$maintainer" || fail "the maintainer is not the project: $maintainer"

# Debian's own checker: any error or warning fails (informational tags and
# overrides, each with its reason, do not).
echo "==> lintian $deb"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian found errors or warnings"

# The installed program and manual page, from a root of their own.
check_installed() {
    local xq=$1 page=$2 out
    out=$("$xq" -h 2>&1) || fail "$xq -h failed"
    grep -q "^Usage: xq" <<<"$out" || fail "$xq -h printed: $out"
    out=$("$xq" --version 2>&1) || fail "$xq --version failed"
    [ "$out" = ":: XQ v0.6 ::" ] || fail "$xq --version printed: $out"
    file -L "$xq" | grep -q ", stripped" || fail "$xq is not stripped: $(file -L "$xq")"
    # Hardened: position-independent, full RELRO with immediate binding,
    # fortified functions and the stack protector.
    local elf
    elf=$(readelf -h -d --dyn-syms -W "$xq")
    grep -q "Type: *DYN" <<<"$elf" || fail "$xq is not position-independent"
    grep -q "BIND_NOW" <<<"$elf" || fail "$xq is not linked with -z now"
    readelf -l -W "$xq" | grep -q GNU_RELRO || fail "$xq has no RELRO segment"
    grep -q "__[a-z]*_chk" <<<"$elf" || fail "$xq uses no fortified functions"
    grep -q "__stack_chk_fail" <<<"$elf" || fail "$xq has no stack protector"
    # man checks the page's roff as it renders it: any warning fails.
    local warnings
    out=$(MANWIDTH=80 MAN_DISABLE_SECCOMP=1 man --warnings -l "$page" 2>"$build_dir/man-warnings.txt") ||
        fail "man -l $page failed: $(cat "$build_dir/man-warnings.txt")"
    warnings=$(cat "$build_dir/man-warnings.txt")
    [ -z "$warnings" ] || fail "man -l $page warned: $warnings"
    for heading in SYNOPSIS OPTIONS "OPTIONS FILE" "PLAYLIST FILES" ENVIRONMENT "EXIT STATUS"; do
        grep -q "^$heading" <<<"$out" || fail "the manual page has no $heading section"
    done
    grep -q "/usr/share/xq/demo.xm" <<<"$out" || fail "the manual page does not name the demo tune"
}

root="$build_dir/deb-root"
rm -rf "$root"
dpkg-deb -x "$deb" "$root"
check_installed "$root/usr/bin/xq" "$root/usr/share/man/man1/xq.1.gz"
echo "==> $deb: unpacked into $root, xq -h, xq --version and man -l work"

if [ "$install" -eq 1 ]; then
    # Minimal Debian images exclude manual pages from every package; ours
    # is what is being checked, so it is let in.
    dpkg -i --path-include='/usr/share/man/man1/xq.1.gz' --path-include='/usr/share/doc/xq/*' "$deb"
    check_installed "$(command -v xq)" /usr/share/man/man1/xq.1.gz
    [ "$(command -v xq)" = /usr/bin/xq ] || fail "xq is not /usr/bin/xq"
    out=$(MANWIDTH=80 MAN_DISABLE_SECCOMP=1 MANPAGER=cat man xq 2>&1) || fail "man xq failed: $out"
    grep -q "terminal player for tracker music modules" <<<"$out" || fail "man xq showed: $out"
    dpkg -r xq
    echo "==> $deb: installed with dpkg, xq -h and man xq work; removed again"
fi
