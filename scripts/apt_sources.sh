# apt's source entries for apt-get source, taken from the machine's own binary entries.
# Source it; do not run it. APT_ETC names apt's configuration folder (/etc/apt by default),
# so that the functions can be tried on a made-up one.

APT_ETC=${APT_ETC:-/etc/apt}

# The sources files apt reads: sources.list and sources.list.d/*.list (one-line form),
# sources.list.d/*.sources (deb822 form).
apt_source_files() {
    local file
    for file in "$APT_ETC/sources.list" "$APT_ETC"/sources.list.d/*.list \
        "$APT_ETC"/sources.list.d/*.sources; do
        [ -f "$file" ] && printf '%s\n' "$file"
    done
    return 0
}

# Whether apt already has any source entry.
has_source_entries() {
    local file
    while IFS= read -r file; do
        if grep -Eqs -e '^[[:space:]]*deb-src[[:space:]]' -e '^Types:.*deb-src' "$file"; then
            return 0
        fi
    done < <(apt_source_files)
    return 1
}

# Prints, in deb822 form, one deb-src entry for each binary entry whose address is one of
# the given URIs (all of them when none is given), with the entry's own suites,
# components and keyring: a machine on a mirror or a proxy gets its sources from there.
deb_src_entries() {
    local wanted=" ${*%/} "
    local file
    while IFS= read -r file; do
        case $file in
            *.sources) awk -v wanted="$wanted" -f - "$file" <<'AWK'
function flush() {
    if (isdeb && uris != "" && keep(uris)) {
        print "Types: deb-src"
        print "URIs: " uris
        print "Suites: " suites
        if (components != "") print "Components: " components
        if (signed != "") print "Signed-By: " signed
        print ""
    }
    isdeb = 0; uris = suites = components = signed = ""; enabled = 1
}
function keep(list,   n, parts, i) {
    if (!enabled) return 0
    if (wanted ~ /^ *$/) return 1
    n = split(list, parts, /[ \t]+/)
    for (i = 1; i <= n; i++) { sub(/\/+$/, "", parts[i]); if (index(wanted, " " parts[i] " ") > 0) return 1 }
    return 0
}
function value(line) { sub(/^[^:]*:[ \t]*/, "", line); sub(/[ \t]+$/, "", line); return line }
BEGIN { enabled = 1 }
/^[ \t]*#/ { next }
/^[ \t]*$/ { flush(); next }
/^Types:/ { isdeb = (" " value($0) " " ~ / deb /) }
/^URIs:/ { uris = value($0) }
/^Suites:/ { suites = value($0) }
/^Components:/ { components = value($0) }
/^Signed-By:/ { signed = value($0) }
/^Enabled:/ { enabled = (tolower(value($0)) != "no") }
END { flush() }
AWK
                ;;
            *) awk -v wanted="$wanted" -f - "$file" <<'AWK'
function keep(uri) { sub(/\/+$/, "", uri); return wanted ~ /^ *$/ || index(wanted, " " uri " ") > 0 }
/^[ \t]*deb[ \t]/ {
    line = $0
    signed = ""
    if (match(line, /\[[^]]*\]/)) {
        options = substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
        n = split(options, parts, /[ \t]+/)
        for (i = 1; i <= n; i++) if (parts[i] ~ /^signed-by=/) signed = substr(parts[i], 11)
    }
    n = split(line, field, /[ \t]+/)
    start = (field[1] == "") ? 2 : 1
    uri = field[start + 1]
    if (!keep(uri)) next
    components = ""
    for (i = start + 3; i <= n; i++) components = components (components == "" ? "" : " ") field[i]
    print "Types: deb-src"
    print "URIs: " uri
    print "Suites: " field[start + 2]
    if (components != "") print "Components: " components
    if (signed != "") print "Signed-By: " signed
    print ""
}
AWK
                ;;
        esac
    done < <(apt_source_files)
}
