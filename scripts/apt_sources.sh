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

# Reads apt's entries as apt does and, with mode=print, prints a deb-src entry for each
# binary one whose address is in `wanted` (every one when it is empty); with mode=has,
# succeeds when there is a source entry. One-line form: "type [options] uri suite
# components", a "#" outside the options starting a comment. deb822 form: paragraphs of
# fields, field names in any case, a line starting with a blank continuing the field above
# (Signed-By may hold a whole key that way), "Enabled: no" (or false, off …) switching a
# paragraph off. Discs (cdrom:) have no sources.
read -r -d '' APT_ENTRIES_AWK <<'AWK' || true
function trim(text) { sub(/^[ \t]+/, "", text); sub(/[ \t]+$/, "", text); return text }
function entry(types, uris, suites, components, signed,   n, list, i, isdeb) {
    n = split(types, list, /[ \t]+/)
    for (i = 1; i <= n; i++) {
        if (list[i] == "deb") isdeb = 1
        if (list[i] == "deb-src") found = 1
    }
    if (mode != "print" || !isdeb || uris == "" || !keep(uris)) return
    print "Types: deb-src"
    print "URIs: " uris
    print "Suites: " suites
    if (components != "") print "Components: " components
    if (signed ~ /^\n/) print "Signed-By:" signed
    else if (signed != "") print "Signed-By: " signed
    print ""
}
function keep(list,   n, parts, i) {
    n = split(list, parts, /[ \t]+/)
    for (i = 1; i <= n; i++) {
        if (parts[i] == "" || parts[i] ~ /^cdrom:/) continue
        sub(/\/+$/, "", parts[i])
        if (wanted == " " || index(wanted, " " parts[i] " ") > 0) return 1
    }
    return 0
}
function flush(   off) {
    off = tolower(field["enabled"]) ~ /^(no|false|without|off|disable|0)$/
    if (paragraph && !off) {
        entry(field["types"], field["uris"], field["suites"], field["components"], field["signed-by"])
    }
    split("", field)
    paragraph = 0
    name = ""
}
# Where a comment starts in a one-line entry: its first "#" outside "[...]"; 0 for none.
function comment_at(line,   i, c, depth) {
    for (i = 1; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (c == "[") depth++
        else if (c == "]") depth--
        else if (c == "#" && depth <= 0) return i
    }
    return 0
}
BEGIN {
    n = split(wanted, parts, /[ \t]+/)
    wanted = " "
    for (i = 1; i <= n; i++) {
        if (parts[i] == "") continue
        sub(/\/+$/, "", parts[i])
        wanted = wanted parts[i] " "
    }
}
FNR == 1 { flush() }
FILENAME ~ /\.sources$/ {
    if ($0 ~ /^[ \t]*#/) next
    if ($0 ~ /^[ \t]*$/) { flush(); next }
    if ($0 ~ /^[ \t]/) {
        if (name == "signed-by") field[name] = field[name] "\n" $0
        else if (name != "") field[name] = trim(field[name] " " $0)
        next
    }
    colon = index($0, ":")
    if (colon == 0) next
    name = tolower(trim(substr($0, 1, colon - 1)))
    field[name] = trim(substr($0, colon + 1))
    paragraph = 1
    next
}
{
    line = $0
    cut = comment_at(line)
    if (cut > 0) line = substr(line, 1, cut - 1)
    line = trim(line)
    if (line !~ /^deb(-src)?[ \t]/) next
    type = line
    sub(/[ \t].*/, "", type)
    line = trim(substr(line, length(type) + 1))
    signed = ""
    if (substr(line, 1, 1) == "[") {
        shut = index(line, "]")
        if (shut == 0) next
        n = split(substr(line, 2, shut - 2), options, /[ \t]+/)
        for (i = 1; i <= n; i++) if (options[i] ~ /^signed-by=/) signed = substr(options[i], 11)
        line = trim(substr(line, shut + 1))
    }
    n = split(line, words, /[ \t]+/)
    components = ""
    for (i = 3; i <= n; i++) components = components (i > 3 ? " " : "") words[i]
    entry(type, words[1], words[2], components, signed)
}
END {
    flush()
    if (mode == "has") exit(found ? 0 : 1)
}
AWK

# Runs the reader above over apt's sources files.
read_apt_entries() {
    local mode=$1
    shift
    local files
    mapfile -t files < <(apt_source_files)
    if [ ${#files[@]} -eq 0 ]; then
        if [ "$mode" = has ]; then
            return 1
        fi
        return 0
    fi
    awk -v mode="$mode" -v wanted="$*" "$APT_ENTRIES_AWK" "${files[@]}"
}

# Whether apt already has any source entry that it reads and that is switched on.
has_source_entries() {
    read_apt_entries has
}

# Prints, in deb822 form, one deb-src entry for each binary entry whose address is one of
# the given URIs (all of them when none is given; a final "/" does not count), with the
# entry's own suites, components and keyring: a machine on a mirror or a proxy gets its
# sources from there.
deb_src_entries() {
    read_apt_entries print "$@"
}
