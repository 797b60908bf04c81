#!/usr/bin/env bash
# What scripts/windows_qt.sh promises its callers, and how scripts/apt_sources.sh reads
# apt's entries, on made-up apt folders and with apt, dpkg and the compiler replaced by
# small stand-ins: no network, no root and no real apt are needed, and nothing outside a
# temporary folder changes.
#
#   windows_qt_test.sh <project folder>
set -euo pipefail

ROOT=$(cd "$1" && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Compares two texts; on a difference names the case and shows a diff.
expect_text() {
    local name=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        fail "$name"
        diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || true
    fi
}

# deb_src_entries and has_source_entries on the apt folder given first.
src_entries() {
    local etc=$1
    shift
    (
        APT_ETC=$etc
        source "$ROOT/scripts/apt_sources.sh"
        deb_src_entries "$@"
    )
}
has_sources() {
    (
        APT_ETC=$1
        source "$ROOT/scripts/apt_sources.sh"
        has_source_entries
    )
}

# --- An apt folder with binary entries of every form and no source entry -------------

MIXED="$TMP/mixed"
mkdir -p "$MIXED/sources.list.d"
cat >"$MIXED/sources.list" <<'EOF'
# Written for this test.
# deb-src http://deb.example.org/debian stable main
deb [arch=amd64 signed-by=/usr/share/keyrings/example-archive.gpg] http://deb.example.org/debian stable main contrib
deb http://security.example.org/debian-security/ stable-security main # security fixes
	deb   http://mirror.example.net/debian/   stable   main
deb cdrom:[Example 12 _Stable_ - Official amd64 DVD Binary-1]/ stable main

EOF
cat >"$MIXED/sources.list.d/tools.list" <<'EOF'
deb [ signed-by=/etc/apt/keyrings/tools.asc ] https://tools.example.com/apt tools main
EOF
cat >"$MIXED/sources.list.d/example.sources" <<'EOF'
# The archive, as an installer writes it.
Types: deb
# the address chosen at installation
URIs: http://deb.example.org/debian/
Suites: stable stable-updates
Components: main non-free-firmware
Signed-By: /usr/share/keyrings/example-archive.gpg

Types: deb
URIs: http://old.example.org/debian
Suites: oldstable
Components: main
Enabled: no

types: deb
uris: http://security.example.org/debian-security
suites: stable-security
components: main
signed-by:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZnotarealkeyZnotarealkeyZnotarealkey
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://older.example.org/debian
Suites: oldoldstable
Components: main
Enabled: false

Types: deb
URIs: https://flat.example.com/apt
Suites: ./
EOF
# Files apt does not read.
echo 'deb http://ignored.example.org/debian stable main' >"$MIXED/sources.list.d/old.list.save"
printf 'Types: deb\nURIs: http://ignored.example.org/debian\nSuites: stable\nComponents: main\n' \
    >"$MIXED/sources.list.d/off.sources.disabled"

# One entry each, in apt's reading order: sources.list, *.list, *.sources.
DEB_LINE='Types: deb-src
URIs: http://deb.example.org/debian
Suites: stable
Components: main contrib
Signed-By: /usr/share/keyrings/example-archive.gpg'
SECURITY_LINE='Types: deb-src
URIs: http://security.example.org/debian-security/
Suites: stable-security
Components: main'
MIRROR_LINE='Types: deb-src
URIs: http://mirror.example.net/debian/
Suites: stable
Components: main'
TOOLS_LINE='Types: deb-src
URIs: https://tools.example.com/apt
Suites: tools
Components: main
Signed-By: /etc/apt/keyrings/tools.asc'
DEB_822='Types: deb-src
URIs: http://deb.example.org/debian/
Suites: stable stable-updates
Components: main non-free-firmware
Signed-By: /usr/share/keyrings/example-archive.gpg'
SECURITY_822='Types: deb-src
URIs: http://security.example.org/debian-security
Suites: stable-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZnotarealkeyZnotarealkeyZnotarealkey
 -----END PGP PUBLIC KEY BLOCK-----'
FLAT_822='Types: deb-src
URIs: https://flat.example.com/apt
Suites: ./'

# Entries, each followed by an empty line, as deb_src_entries prints them.
entries() {
    local entry
    for entry in "$@"; do
        printf '%s\n\n' "$entry"
    done
}

# Every binary entry that apt reads and that is enabled gets its source entry, with its
# own suites, components and keyring (a disc has no sources); comments stay out.
expect_text "all entries" \
    "$(entries "$DEB_LINE" "$SECURITY_LINE" "$MIRROR_LINE" "$TOOLS_LINE" "$DEB_822" \
        "$SECURITY_822" "$FLAT_822")" \
    "$(src_entries "$MIXED")"

# Filtered by address, with or without a final "/" on either side.
expect_text "entries of one address" \
    "$(entries "$DEB_LINE" "$DEB_822")" \
    "$(src_entries "$MIXED" http://deb.example.org/debian)"
expect_text "entries of two addresses, one with a final slash" \
    "$(entries "$SECURITY_LINE" "$SECURITY_822" "$FLAT_822")" \
    "$(src_entries "$MIXED" http://security.example.org/debian-security/ https://flat.example.com/apt)"
expect_text "entries of a mirror written with a final slash" \
    "$(entries "$MIRROR_LINE")" \
    "$(src_entries "$MIXED" http://mirror.example.net/debian)"
expect_text "no entry of an address apt does not use" \
    "" \
    "$(src_entries "$MIXED" http://nowhere.example.org/debian http://old.example.org/debian)"
expect_text "no entry in a folder without sources" "" "$(src_entries "$TMP/nothing-here")"

# The entries printed are what apt reads: given to has_source_entries they count.
WRITTEN="$TMP/written"
mkdir -p "$WRITTEN/sources.list.d"
src_entries "$MIXED" >"$WRITTEN/sources.list.d/added.sources"
if ! has_sources "$WRITTEN"; then
    fail "the printed entries are no source entries to has_source_entries"
fi

# has_source_entries: a folder and its files, whether apt has a source entry there.
has_case() {
    local name=$1 expected=$2
    shift 2
    local etc="$TMP/has-$name"
    mkdir -p "$etc/sources.list.d"
    while [ $# -gt 0 ]; do
        printf '%b' "$2" >"$etc/$1"
        shift 2
    done
    local actual=no
    if has_sources "$etc"; then
        actual=yes
    fi
    expect_text "has_source_entries: $name" "$expected" "$actual"
}
if has_sources "$MIXED"; then
    fail "has_source_entries: binary entries taken for source entries"
fi
has_case empty no
has_case one-line yes sources.list 'deb http://x.example/d stable main\ndeb-src http://x.example/d stable main\n'
has_case one-line-indented-with-options yes sources.list.d/a.list \
    '  deb-src [signed-by=/k.gpg] http://x.example/d stable main\n'
has_case one-line-commented no sources.list '# deb-src http://x.example/d stable main\n#deb-src http://x.example/d stable main\n'
has_case deb822-both-types yes sources.list.d/a.sources \
    'Types: deb deb-src\nURIs: http://x.example/d\nSuites: stable\nComponents: main\n'
has_case deb822-lower-case-field yes sources.list.d/a.sources \
    'types: deb-src\nURIs: http://x.example/d\nSuites: stable\nComponents: main\n'
has_case deb822-disabled no sources.list.d/a.sources \
    'Types: deb\nURIs: http://x.example/d\nSuites: stable\n\nTypes: deb-src\nURIs: http://x.example/d\nSuites: stable\nEnabled: no\n'
has_case deb822-commented no sources.list.d/a.sources \
    '#Types: deb-src\nTypes: deb\nURIs: http://x.example/d\nSuites: stable\n'
has_case file-apt-ignores no sources.list.d/a.sources.disabled \
    'Types: deb-src\nURIs: http://x.example/d\nSuites: stable\n'

# --- windows_qt.sh with apt, dpkg and the compiler replaced ---------------------------

# Stand-ins print noise on stdout, as the real tools do, and note their calls.
STUBS="$TMP/stubs"
mkdir -p "$STUBS"
cat >"$STUBS/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $* (in $PWD)" >>"$STUB_LOG"
echo "Reading package lists... Done"
case $1 in
    update)
        if [ -f "$APT_ETC/sources.list.d/jnxenv-sources.sources" ]; then
            echo "update with source entries" >>"$STUB_LOG"
        fi
        echo "Hit:1 http://deb.example.org/debian stable InRelease"
        if [ -n "${STUB_UPDATE_FAILS:-}" ]; then
            echo "E: Failed to fetch http://deb.example.org/debian/dists/stable/main/source/Sources  404  Not Found" >&2
            exit 100
        fi
        ;;
    install) echo "Setting up $*" ;;
    *)
        echo "E: You must put some 'deb-src' URIs in your sources.list" >&2
        exit 100
        ;;
esac
EOF
cat >"$STUBS/apt-cache" <<'EOF'
#!/usr/bin/env bash
echo "apt-cache $*" >>"$STUB_LOG"
[ "$1" = policy ] || exit 100
echo "qt6-base-dev:"
echo "  Installed: $STUB_QT_VERSION"
echo "  Candidate: $STUB_QT_VERSION"
echo "  Version table:"
echo " *** $STUB_QT_VERSION 500"
if [ -z "${STUB_NO_ARCHIVE:-}" ]; then
    echo "        500 http://deb.example.org/debian stable/main amd64 Packages"
    echo "        500 http://security.example.org/debian-security/ stable-security/main amd64 Packages"
fi
echo "        100 /var/lib/dpkg/status"
EOF
cat >"$STUBS/dpkg-query" <<'EOF'
#!/usr/bin/env bash
echo "dpkg-query $*" >>"$STUB_LOG"
case $2 in
    *Status*)
        [ "$3" != "${STUB_MISSING:-}" ] || exit 1
        printf 'install ok installed'
        ;;
    *Version*) printf '%s' "$STUB_QT_VERSION" ;;
    *) exit 1 ;;
esac
EOF
cat >"$STUBS/x86_64-w64-mingw32-g++-posix" <<'EOF'
#!/usr/bin/env bash
[ "$1" = -dumpfullversion ] && echo "$STUB_GXX_VERSION"
EOF
cat >"$STUBS/sudo" <<'EOF'
#!/usr/bin/env bash
echo "sudo $*" >>"$STUB_LOG"
exec "$@"
EOF
chmod +x "$STUBS"/*
# Everything else the script may run before a build starts; nothing named apt or dpkg.
TOOLS="$TMP/tools"
mkdir -p "$TOOLS"
for tool in bash env dirname awk sort uniq sha256sum cut grep sed tee id mkdir rm cat head \
    nproc find mktemp tr; do
    ln -s "$(command -v "$tool")" "$TOOLS/$tool"
done

export STUB_LOG="$TMP/stub.log"
export STUB_QT_VERSION=6.4.2+dfsg-10
export STUB_GXX_VERSION=12-posix

# Runs the script with the stand-ins and the given apt folder; its stdout, stderr and
# exit status land in $TMP/out, $TMP/err and $status.
run_script() {
    local etc=$1 cache=$2
    : >"$STUB_LOG"
    status=0
    env PATH="$STUBS:$TOOLS" APT_ETC="$etc" JNX_QT_WIN_CACHE="$cache" HOME="$TMP/home" \
        "$ROOT/scripts/windows_qt.sh" >"$TMP/out" 2>"$TMP/err" || status=$?
}

# Where the script keeps a build: named after its recipe, the Qt version and the compiler.
eval "$(sed -n -e '/^RECIPE=/p' -e '/^CONFIGURE_OPTIONS=(/,/)$/p' "$ROOT/scripts/windows_qt.sh")"
KEY=$(printf '%s\n' "$RECIPE" "$STUB_QT_VERSION" "$STUB_GXX_VERSION" "${CONFIGURE_OPTIONS[@]}" |
    sha256sum | cut -c1-16)
CACHE="$TMP/cache"
PREFIX="$CACHE/qt-${STUB_QT_VERSION%%+*}-$KEY"

# Fake apt folders with binary entries only.
fresh_etc() {
    rm -rf "$1"
    cp -r "$MIXED" "$1"
}
ADDED=sources.list.d/jnxenv-sources.sources
# The source entries for the archive and the security fixes, the two that offer Qt.
EXPECTED_ADDED="$(entries "$DEB_LINE" "$SECURITY_LINE" "$DEB_822" "$SECURITY_822")"

# A build that cannot get Qt's sources: nothing on stdout (not even from a package
# installed on the way), source entries added beside the binary ones and apt's lists
# updated with them, nothing left in the cache.
ETC="$TMP/etc-build"
fresh_etc "$ETC"
STUB_MISSING=perl run_script "$ETC" "$CACHE"
[ "$status" -ne 0 ] || fail "build without sources: exit status 0"
expect_text "build without sources: stdout" "" "$(cat "$TMP/out")"
if [ -f "$ETC/$ADDED" ]; then
    expect_text "build without sources: added entries" "$EXPECTED_ADDED" "$(cat "$ETC/$ADDED")"
else
    fail "build without sources: no $ADDED"
fi
grep -qx "update with source entries" "$STUB_LOG" || fail "apt's lists not updated with the entries"
grep -qx "apt-get source --download-only -q qt6-base=$STUB_QT_VERSION (in $CACHE/work-$KEY)" \
    "$STUB_LOG" || fail "the source was not asked for in $CACHE/work-$KEY (the key computed here)"
expect_text "build without sources: cache left empty" "" "$(ls -A "$CACHE")"
for file in sources.list sources.list.d/tools.list sources.list.d/example.sources; do
    cmp -s "$MIXED/$file" "$ETC/$file" || fail "build without sources: $file changed"
done

# Again: the entries are there now and are neither added again nor changed.
cp "$ETC/$ADDED" "$TMP/added-before"
run_script "$ETC" "$CACHE"
[ "$status" -ne 0 ] || fail "second build without sources: exit status 0"
expect_text "second build without sources: stdout" "" "$(cat "$TMP/out")"
cmp -s "$TMP/added-before" "$ETC/$ADDED" || fail "second build without sources: entries changed"

# apt's update fails with the new entries (a server without sources): they are taken out
# again, so that apt works as before.
ETC="$TMP/etc-update-fails"
fresh_etc "$ETC"
STUB_UPDATE_FAILS=1 run_script "$ETC" "$CACHE"
[ "$status" -ne 0 ] || fail "failed update: exit status 0"
expect_text "failed update: stdout" "" "$(cat "$TMP/out")"
[ ! -e "$ETC/$ADDED" ] || fail "failed update: the entries that broke it were left in place"
expect_text "failed update: folder as it was" "$(cd "$MIXED" && find . | sort)" \
    "$(cd "$ETC" && find . | sort)"

# No binary entry offers the installed Qt: nothing is added, and the script says why.
ETC="$TMP/etc-no-archive"
fresh_etc "$ETC"
STUB_NO_ARCHIVE=1 run_script "$ETC" "$CACHE"
[ "$status" -ne 0 ] || fail "no archive: exit status 0"
expect_text "no archive: stdout" "" "$(cat "$TMP/out")"
[ ! -e "$ETC/$ADDED" ] || fail "no archive: entries added for addresses that do not offer Qt"
grep -q 'qt6-base-dev' "$TMP/err" || fail "no archive: no message naming qt6-base-dev"

# The cache holds a complete build: its folder is the only line on stdout, even when a
# package is installed on the way (apt-get prints to stdout) and nothing is built.
mkdir -p "$PREFIX"
touch "$PREFIX/.complete"
ETC="$TMP/etc-cached"
fresh_etc "$ETC"
STUB_MISSING=xz-utils run_script "$ETC" "$CACHE"
expect_text "cached build: exit status" 0 "$status"
expect_text "cached build: stdout" "$PREFIX" "$(cat "$TMP/out")"
[ "$(wc -l <"$TMP/out")" -eq 1 ] || fail "cached build: stdout is not one line"
grep -q '^apt-get install .*xz-utils' "$STUB_LOG" || fail "cached build: missing package not installed"
! grep -q '^apt-get source\|^apt-cache' "$STUB_LOG" || fail "cached build: the cache was not taken"
[ ! -e "$ETC/$ADDED" ] || fail "cached build: source entries added"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all passed"
