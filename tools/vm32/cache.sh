# Sourced: the guest kept once per machine, outside any clone, so every clone and CI run on the
# machine shares it. Each entry is named by a hash of what went into it: make-image.sh (the
# guest's packages and files) and the apt lines of the mirror it came from. A change to either
# builds a new entry and removes the old ones no run is using. An entry is built under another
# name and renamed when complete, so an interrupted build never leaves one that looks complete.
# The Wine prefixes made in the guest live in the entry, named by a hash of wine.sh, which makes
# them.
#   vm32_image           sets VM32_IMAGE, building the image when the machine has none (as root)
#   vm32_prefixes TOP    sets VM32_PREFIXES (win32/, win64/), making them in the guest when missing
# QLR_VM32_CACHE names the cache folder (default /var/cache/setupqlr/vm32).

vm32_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The deb lines of this machine's own apt sources for Debian 12 (bookworm*), in one-line form:
# the guest's packages come from the mirror this machine uses, whatever it is.
vm32_mirror_lines() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush(   n, m, i, j, U, S) {
        if (enabled && types ~ /(^| )deb( |$)/ && uris != "" && suites != "") {
          n = split(uris, U, /[ \t]+/); m = split(suites, S, /[ \t]+/)
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            if (U[i] != "" && S[j] ~ /^bookworm/) print "deb " U[i] " " S[j] " " comps
        }
        types = uris = suites = comps = ""; enabled = 1
      }
      BEGIN { enabled = 1 }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^Types:/      { sub(/^Types:[ \t]*/, "");      types = $0;  next }
      /^URIs:/       { sub(/^URIs:[ \t]*/, "");       uris = $0;   next }
      /^Suites:/     { sub(/^Suites:[ \t]*/, "");     suites = $0; next }
      /^Components:/ { sub(/^Components:[ \t]*/, ""); comps = $0;  next }
      /^Enabled:[ \t]*[Nn][Oo]/ { enabled = 0; next }
      END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -E -n 's/^[ \t]*deb[ \t]+(\[[^]]*\][ \t]+)?([^ \t]+)[ \t]+(bookworm[^ \t]*)[ \t]+(.*)$/deb \2 \3 \4/p' "$f"
  done | awk '!seen[$0]++'
}

# Removes the entries beside KEEP (image entries, or prefix sets in an entry) that no run holds.
# Users hold their entry's lock shared; one that can be taken exclusively is free.
vm32_remove_unused() {
  local keep=$1 kind lock dir
  kind=$(basename "$keep")
  kind=${kind%%-*}
  for lock in "$(dirname "$keep")/$kind"-*.lock; do
    [ -f "$lock" ] && [ "$lock" != "$keep.lock" ] || continue
    dir=${lock%.lock}
    (
      flock -xn 9 || exit 0
      echo "vm32: removing the unused $dir" >&2
      rm -rf "$dir" "$dir.partial" "$lock"
    ) 9<"$lock"
  done
}

vm32_image() {
  local root=${QLR_VM32_CACHE:-/var/cache/setupqlr/vm32} lines key entry start
  lines=$(vm32_mirror_lines)
  if ! grep -qE '^deb [^ ]+ bookworm ' <<<"$lines"; then
    echo "vm32: no Debian 12 (bookworm) mirror in this machine's apt sources" >&2
    return 1
  fi
  key=$({ cat "$vm32_here/make-image.sh"; printf '%s\n' "$lines"; } | sha256sum | cut -c1-16)
  mkdir -p "$root" || return 1
  entry=$root/image-$key
  # Held shared for as long as the caller runs, so no other run removes the entry under it.
  exec {VM32_LOCK}>>"$entry.lock"
  if [ ! -d "$entry" ]; then
    flock -x "$VM32_LOCK"
    if [ ! -d "$entry" ]; then
      start=$SECONDS
      echo "vm32: building the guest image $entry (once per machine and recipe)" >&2
      rm -rf "$entry.partial"
      mkdir -p "$entry.partial"
      printf '%s\n' "$lines" >"$entry.partial/sources.list"
      if ! "$vm32_here/make-image.sh" "$entry.partial" "$entry.partial/sources.list"; then
        echo "vm32: the image could not be built (log: $entry.partial/make-image.log)" >&2
        flock -u "$VM32_LOCK"
        return 1
      fi
      mv "$entry.partial" "$entry"
      echo "vm32: image built in $((SECONDS - start)) s" >&2
    fi
  fi
  flock -s "$VM32_LOCK"
  vm32_remove_unused "$entry"
  VM32_IMAGE=$entry
}

vm32_prefixes() {
  local top=$1 key dir start arch
  key=$(sha256sum "$top/tools/scripts/wine.sh" | cut -c1-16)
  dir=$VM32_IMAGE/prefixes-$key
  # Held shared for as long as the caller runs, as the image's.
  exec {VM32_PREFIXES_LOCK}>>"$dir.lock"
  if [ ! -d "$dir" ]; then
    flock -x "$VM32_PREFIXES_LOCK"
    if [ ! -d "$dir" ]; then
      start=$SECONDS
      echo "vm32: making the 32-bit and 64-bit Wine prefixes in the guest (once per image and wine.sh)" >&2
      rm -rf "$dir.partial"
      mkdir -p "$dir.partial"
      for arch in win32 win64; do
        if ! "$vm32_here/run-in-vm.sh" "$VM32_IMAGE" "bash '$vm32_here/guest-prefixes.sh' '$dir.partial' $arch" \
               "$top" "$dir.partial" >&2; then
          echo "vm32: the $arch Wine prefix could not be made" >&2
          flock -u "$VM32_PREFIXES_LOCK"
          return 1
        fi
      done
      mv "$dir.partial" "$dir"
      echo "vm32: prefixes made in $((SECONDS - start)) s" >&2
    fi
  fi
  flock -s "$VM32_PREFIXES_LOCK"
  vm32_remove_unused "$dir"
  VM32_PREFIXES=$dir
}
