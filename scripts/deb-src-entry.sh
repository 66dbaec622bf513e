#!/usr/bin/env bash
# Prints a deb-src entry (deb822 format) that copies this machine's own apt
# entries for its Debian release: the same URIs, suites, components and key.
# Entries of other suites (third-party repositories) are left out.
# Usage: deb-src-entry.sh [APT_DIR]   (default /etc/apt)
set -euo pipefail
APT="${1:-/etc/apt}"
CODENAME="$( (. "$APT/../os-release" 2>/dev/null || . /etc/os-release; echo "${VERSION_CODENAME:-}") )"
if [ -z "$CODENAME" ]; then CODENAME=bookworm; fi

files=()
for f in "$APT/sources.list" "$APT"/sources.list.d/*.list "$APT"/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  case "$(basename "$f")" in mendrix-src.sources) continue ;; esac
  files+=("$f")
done
[ ${#files[@]} -gt 0 ] || exit 0

awk -v codename="$CODENAME" '
function ours(suite) { return suite == codename || index(suite, codename "-") == 1 }
function emit(uris, suites, comps, key,    n, a, i, kept) {
  n = split(suites, a, /[ \t]+/); kept = ""
  for (i = 1; i <= n; i++) if (a[i] != "" && ours(a[i])) kept = kept (kept == "" ? "" : " ") a[i]
  if (kept == "" || uris == "") return
  if (printed++) print ""
  print "Types: deb-src"
  print "URIs: " uris
  print "Suites: " kept
  print "Components: " comps
  if (key != "") print "Signed-By: " key
}
function flush() {
  if (has_deb && enabled) emit(uris, suites, comps, key)
  has_deb = 0; enabled = 1; uris = suites = comps = key = ""
}
FNR == 1 { if (deb822) flush(); deb822 = (FILENAME ~ /\.sources$/); has_deb = 0; enabled = 1; uris = suites = comps = key = "" }
deb822 {
  if ($0 ~ /^[ \t]*$/) { flush(); next }
  if ($0 ~ /^#/) next
  field = tolower($1); sub(/:$/, "", field)
  value = $0; sub(/^[^:]*:[ \t]*/, "", value)
  if (field == "types") { n = split(value, t, /[ \t]+/); for (i = 1; i <= n; i++) if (t[i] == "deb") has_deb = 1 }
  else if (field == "uris") uris = value
  else if (field == "suites") suites = value
  else if (field == "components") comps = value
  else if (field == "signed-by") key = value
  else if (field == "enabled") enabled = (tolower(value) != "no")
  next
}
/^[ \t]*deb[ \t]/ {
  line = $0; opts = ""
  if (match(line, /\[[^]]*\]/)) { opts = substr(line, RSTART + 1, RLENGTH - 2); line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH) }
  n = split(line, w, /[ \t]+/); k = 0
  for (i = 1; i <= n; i++) if (w[i] != "") v[++k] = w[i]
  if (k < 3) next
  c = ""; for (i = 4; i <= k; i++) c = c (c == "" ? "" : " ") v[i]
  sk = ""; m = split(opts, o, /[ \t]+/)
  for (i = 1; i <= m; i++) if (o[i] ~ /^signed-by=/) { sk = o[i]; sub(/^signed-by=/, "", sk) }
  emit(v[2], v[3], c, sk)
}
END { if (deb822) flush() }
' "${files[@]}"
