#!/usr/bin/env bash
# Builds the Debian package in a configured build folder and checks it as a
# user's system would take it: its metadata, every file it installs, lintian
# (any error fails; warnings are listed), the desktop entry, the AppStream
# metadata, the manual pages, the icons, shell completion and --version of
# each program. As root, and where the package is not installed yet, it is
# also installed with apt, its programs run from PATH, and it is removed again.
#   bash scripts/check_package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

fail() {
  echo "package check: $*" >&2
  exit 1
}

version="$(sed -n 's/^project(zelpocket VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || fail "no version in CMakeLists.txt's project()"

cmake --build "$build" -j"$(nproc)" --target zelpocket zelctl zelsim zel_icons zel_docs >/dev/null
rm -f "$build"/zelpocket_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/zelpocket_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made no $deb"
echo "package: $deb"

# ---- metadata ------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zelpocket ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version '$(field Version)' is not $version"
case "$(field Section)" in utils | hamradio) ;; *) fail "section '$(field Section)'" ;; esac
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "maintainer '$(field Maintainer)'"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -ge 4 ] || fail "no long description"
# Dependencies from the shared libraries the programs link.
depends="$(field Depends)"
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6multimedia6 libqt6svg6; do
  [[ ", $depends" == *", $lib "* ]] || fail "Depends lacks $lib: $depends"
done

# ---- contents --------------------------------------------------------------------
contents="$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
if grep -v -E '^/usr/' <<<"$contents" | grep -v -x -E '/' | grep -q .; then
  fail "files outside /usr: $(grep -v -E '^/usr/' <<<"$contents" | tr '\n' ' ')"
fi
if grep -q '^/usr/local' <<<"$contents"; then fail "files under /usr/local"; fi
expected=(
  /usr/bin/zelpocket /usr/bin/zelctl /usr/bin/zelsim
  /usr/share/applications/org.example.zelpocket.desktop
  /usr/share/metainfo/org.example.zelpocket.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/zelpocket.svg
  /usr/share/man/man1/zelpocket.1.gz /usr/share/man/man1/zelctl.1.gz /usr/share/man/man1/zelsim.1.gz
  /usr/share/bash-completion/completions/zelctl /usr/share/bash-completion/completions/zelsim
  /usr/share/zsh/vendor-completions/_zelctl /usr/share/zsh/vendor-completions/_zelsim
  /usr/share/fish/vendor_completions.d/zelctl.fish /usr/share/fish/vendor_completions.d/zelsim.fish
  /usr/share/doc/zelpocket/copyright /usr/share/doc/zelpocket/changelog.gz
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("/usr/share/icons/hicolor/${s}x${s}/apps/zelpocket.png"); done
for f in "${expected[@]}"; do
  grep -q -x -F "$f" <<<"$contents" || fail "the package lacks $f"
done

# ---- lintian: errors fail ------------------------------------------------------------
lintian_status=0
lintian_log="$(lintian --display-info --fail-on error "$deb" 2>/dev/null)" || lintian_status=$?
if [ -n "$lintian_log" ]; then
  echo "lintian:"
  sed 's/^/  /' <<<"$lintian_log"
fi
if [ "$lintian_status" -ne 0 ] || grep -q '^E:' <<<"$lintian_log"; then fail "lintian reports errors (exit $lintian_status)"; fi

# ---- the files themselves ----------------------------------------------------------------
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.example.zelpocket.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.zelpocket.metainfo.xml" || fail "AppStream metainfo"
appstreamcli validate-tree --no-net "$root" || fail "AppStream metainfo with its desktop entry and icons"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$root/usr/share/metainfo/org.example.zelpocket.metainfo.xml" ||
  fail "the metainfo has no release $version"
zcat "$root/usr/share/doc/zelpocket/changelog.gz" | head -n 1 | grep -q "^zelpocket ($version)" ||
  fail "the changelog's first entry is not $version"

for page in zelpocket zelctl zelsim; do
  man_file="$root/usr/share/man/man1/$page.1.gz"
  zcat "$man_file" | grep -q "^\.TH ${page^^} 1 \"[0-9-]*\" \"zelpocket $version\"" || fail "$page.1 is not of version $version"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_file" 2>&1 >/dev/null || true)"
  [ -z "$warnings" ] || fail "$page.1: $warnings"
  text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$man_file" 2>/dev/null)"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
    grep -q "^$section" <<<"$text" || fail "$page.1 has no $section section"
  done
done
# Every command and option of zelctl's help is in its manual page.
zelctl_page="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$root/usr/share/man/man1/zelctl.1.gz" 2>/dev/null | sed 's/‐/-/g')"
for word in $("$build/zelctl" --help | grep -o -E '^  [a-z]+ ' | tr -d ' ') \
  $( { "$build/zelctl" --help; for c in status list copy decode screenshot slots update; do "$build/zelctl" "$c" --help; done; } |
    grep -o -E '(^|[ [(|])--?[a-z][a-z-]*' | sed 's/^[ [(|]//' | sort -u); do
  grep -q -e "$word" <<<"$zelctl_page" || fail "zelctl.1 does not describe $word"
done
for option in $("$build/zelsim" --help | grep -o -E -- '--[a-z-]+' | sort -u); do
  grep -q -e "$option" < <(zcat "$root/usr/share/man/man1/zelsim.1.gz" | sed 's/\\-/-/g') || fail "zelsim.1 does not describe $option"
done

for s in "${sizes[@]}"; do
  png="$root/usr/share/icons/hicolor/${s}x${s}/apps/zelpocket.png"
  read -r -a dims <<<"$(od -An -tu1 -j16 -N8 "$png")"
  w=$(((dims[2] << 8) | dims[3])) h=$(((dims[6] << 8) | dims[7]))
  [ "$w" -eq "$s" ] && [ "$h" -eq "$s" ] || fail "${s}x${s}/apps/zelpocket.png is ${w}x${h}"
done

for program in zelpocket zelctl zelsim; do
  out="$("$root/usr/bin/$program" --version)"
  [ "$out" = "$program $version" ] || fail "$program --version says '$out'"
done

# ---- shell completion (bash) ----------------------------------------------------------------
if [ -f /usr/share/bash-completion/bash_completion ]; then
  ZEL_COMPLETIONS="$root/usr/share/bash-completion/completions" bash --norc --noprofile -c '
    set -u
    source /usr/share/bash-completion/bash_completion
    source "$ZEL_COMPLETIONS/zelctl"
    source "$ZEL_COMPLETIONS/zelsim"
    # words typed | the candidates offered
    cases=(
      "zelctl |status list copy decode screenshot slots update doctor"
      "zelctl --simulator sc|screenshot"
      "zelctl --device 127.0.0.1:5 --timeout 400 co|copy"
      "zelctl --ver|--version"
      "zelctl screenshot --preset d|diagram-vga diagram-wvga"
      "zelctl update --target |pocket lan"
      "zelctl decode --layout |4096 256"
      "zelctl slots |read write diff clear"
      "zelctl slots clear --y|--yes"
      "zelctl slots write --n|--no-backup"
      "zelctl slots write x.Mem --on|--only-changed"
      "zelctl slots diff x.Mem dev|device"
      "zelctl screenshot --ev|--every"
      "zelctl screenshot --every 2 --co|--count"
      "zelctl copy --n|--new --name"
      "zelctl copy --all --ov|--overwrite"
      "zelctl status --ti|--timeout"
      "zelctl screenshot --frame-colo|--frame-colour --frame-color"
      "zelsim --st|--status"
      "zelsim --status |85 90"
      "zelsim --after-update |new old never"
      "zelctl --simulator --latency 20 st|status"
      "zelctl update --no|--no-verify"
      "zelctl update --verify-timeout |"
    )
    status=0
    for c in "${cases[@]}"; do
      line="${c%%|*}" want="${c#*|}"
      read -r -a COMP_WORDS <<<"$line"
      [[ $line == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE="$line" COMP_POINT=${#line}
      COMPREPLY=()
      "_${COMP_WORDS[0]}" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      got="${COMPREPLY[*]}"
      if [ "$got" != "$want" ]; then
        echo "completion of \"$line\": \"$got\", expected \"$want\"" >&2
        status=1
      fi
    done
    exit $status' || fail "bash completion"
else
  echo "bash-completion is not installed: completion not tried" >&2
  exit 1
fi

# ---- installed with apt, run from PATH, removed ----------------------------------------------
if [ "$(id -u)" -eq 0 ] && ! dpkg -s zelpocket >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null
  status=0
  for program in zelpocket zelctl zelsim; do
    out="$(cd / && env PATH=/usr/bin:/bin "$program" --version)" || status=1
    [ "$out" = "$program $version" ] || { echo "installed $program --version says '$out'" >&2; status=1; }
  done
  (cd / && zelctl --simulator status >/dev/null) || { echo "installed zelctl --simulator status failed" >&2; status=1; }
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zelpocket >/dev/null
  [ "$status" -eq 0 ] || fail "the installed package"
  echo "installed with apt, ran from PATH, removed"
fi
echo "package check passed"
