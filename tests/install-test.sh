#!/usr/bin/env bash
# Installs a build into a fresh prefix and checks what a desktop and a packager expect: the
# program, its window's module, its menu entry, four icons, the AppStream metadata and the manual
# page are all there, belong together, carry the program's version, and pass their validators
# without a warning; the program runs without Qt and opens its window from the module.
# Takes its settings from the environment: CMAKE, BUILD, APP_ID, VERSION, BINDIR, DATADIR, MANDIR,
# WINDOW_MODULE (the module's path under the prefix) and BUILT_PROGRAM (the build tree's program).
set -uo pipefail

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! output=$("$CMAKE" --install "$BUILD" --prefix "$prefix" 2>&1); then
  echo "$output" >&2
  fail "cmake --install into $prefix"
  exit 1
fi

program=$prefix/$BINDIR/feedwright
module=$prefix/$WINDOW_MODULE
desktop=$prefix/$DATADIR/applications/$APP_ID.desktop
metainfo=$prefix/$DATADIR/metainfo/$APP_ID.metainfo.xml
manual=$prefix/$MANDIR/man1/feedwright.1

[[ -x "$program" ]] || fail "no executable $program"
for file in "$module" "$desktop" "$metainfo" "$manual" \
  "$prefix/$DATADIR"/{bash-completion/completions/feedwright,zsh/vendor-completions/_feedwright} \
  "$prefix/$DATADIR"/{fish/vendor_completions.d/feedwright.fish,doc/feedwright/examples/feedwright-daily.{service,timer}}; do
  [[ -s "$file" ]] || fail "not installed: $file"
done
# Each icon in the folder of its size: width and height are the PNG header's bytes 16 to 23.
for size in 32 48 128 256; do
  icon=$prefix/$DATADIR/icons/hicolor/${size}x$size/apps/$APP_ID.png
  read -r -a header < <(od -An -tu1 -j16 -N8 "$icon" 2>/dev/null)
  if [[ ${#header[@]} -ne 8 ]]; then
    fail "not installed: $icon"
  elif (( header[2] * 256 + header[3] != size || header[6] * 256 + header[7] != size )); then
    fail "$icon is not $size x $size"
  fi
done
((failures == 0)) || exit 1

# The desktop entry starts the installed program and names the installed icon.
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x "$prefix/$BINDIR/$command" ]] || fail "Exec names '$command', which is not installed"
grep -qx "Icon=$APP_ID" "$desktop" || fail "the desktop entry's Icon is not $APP_ID"

# The program, the metadata's newest release and the manual page tell the same version.
shown=$("$program" --version) || fail "$program --version failed"
[[ "$shown" == "Feedwright $VERSION" ]] || fail "the program says '$shown', the build $VERSION"
grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "no release $VERSION in the metadata"
grep -q "^\.TH FEEDWRIGHT 1 .*\"Feedwright $VERSION\"" "$manual" || fail "the manual page is not of $VERSION"

# The validators: any warning counts. validate-tree also checks that the metadata's launchable
# and icon are found in the installed tree.
output=$(desktop-file-validate "$desktop" 2>&1)
[[ $? -eq 0 && -z "$output" ]] || fail "desktop-file-validate: $output"
output=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) ||
  fail "appstreamcli validate: $output"
output=$(appstreamcli validate-tree --no-net --no-color "$prefix" 2>&1) ||
  fail "appstreamcli validate-tree: $output"
output=$(groff -man -Tutf8 -ww -z "$manual" 2>&1)
[[ $? -eq 0 && -z "$output" ]] || fail "groff: $output"
output=$(mandoc -T lint -W warning "$manual" 2>&1) || fail "mandoc: $output"

# The program itself links no Qt library; the module brings Qt, and shows only its entry point.
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[[ -n "$needed" ]] || fail "readelf finds no NEEDED entry in $program"
grep -i qt <<<"$needed" && fail "$program links Qt"
grep -q libQt6Widgets <<<"$(readelf -d "$module")" || fail "$module does not link Qt Widgets"
exports=$(nm -D --defined-only "$module" | awk '{print $3}')
[[ "$exports" == FeedwrightWindowMain ]] || fail "$module exports: $exports"

# The installed and the built program open their window (offscreen, settings and caches in the
# prefix): still running when timeout ends them.
home=$prefix/home
mkdir -p -m 700 "$home/runtime"
for started in "$program" "$BUILT_PROGRAM"; do
  output=$(HOME=$home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
           XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=offscreen \
           timeout 3 "$started" 2>&1 </dev/null)
  status=$?
  ((status == 124)) ||
    fail "$started ended with status $status instead of showing its window: $output"
done

# Without its module the program says so and fails.
rm -f "$module"
output=$(HOME=$home QT_QPA_PLATFORM=offscreen timeout 10 "$program" 2>&1 </dev/null)
status=$?
((status != 0 && status != 124)) || fail "$program without its module: status $status"
[[ "$output" == "feedwright: cannot open the window: "*"/$WINDOW_MODULE: "* ]] ||
  fail "$program without its module says: $output"

((failures == 0)) || exit 1
echo "Installed tree in order: program without Qt, window module, desktop entry, 4 icons," \
  "metadata, manual page."
