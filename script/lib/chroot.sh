# A Debian root for script/fresh-check: where its packages come from, going in, and taking it
# apart again. Source it; everything here needs root.

# zt_debian_mirror: the Debian archive this machine installs bookworm from.
zt_debian_mirror() {
  local mirror
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
    awk '$2 == "bookworm" { print $1; exit }')
  [ -n "$mirror" ] || { echo "no bookworm entry among this machine's apt sources" >&2; return 1; }
  echo "$mirror"
}

# zt_debian_sources: this machine's bookworm entries (with its updates and security) as the
# lines of a sources.list.
zt_debian_sources() {
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
    awk '$2 ~ /^bookworm(-|$)/ { print "deb " $1 " " $2 " " $3 }' | sort -u
}

# zt_root_mount ROOT: the kernel's file systems and the pseudo-terminals, as the tests need them.
zt_root_mount() {
  mount -t proc proc "$1/proc"
  mount --bind /sys "$1/sys"
  mount --bind /dev "$1/dev"
  mount --bind /dev/pts "$1/dev/pts"
  mount -t tmpfs -o mode=1777 tmpfs "$1/dev/shm"
}

# zt_in_root ROOT [chroot options] COMMAND...: runs COMMAND in ROOT with a plain root login's
# environment.
zt_in_root() {
  local root=$1 options=()
  shift
  while [[ ${1:-} == --* ]]; do options+=("$1"); shift; done
  chroot "${options[@]}" "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# zt_root_processes ROOT: the ids of the processes still running inside ROOT.
zt_root_processes() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}

# zt_root_unmount ROOT: ends what still runs in ROOT (a step that failed half way may leave a
# virtual display or the simulator) and unmounts everything beneath it, innermost first.
zt_root_unmount() {
  local root pids target left
  root=$(realpath -m "$1")
  pids=$(zt_root_processes "$root")
  if [ -n "$pids" ]; then
    kill $pids 2>/dev/null || true
    sleep 2
    pids=$(zt_root_processes "$root")
    [ -z "$pids" ] || kill -KILL $pids 2>/dev/null || true
  fi
  for target in $(findmnt -rn -o TARGET | grep "^$root/" | sort -r); do
    umount "$target" 2>/dev/null || umount -l "$target"
  done
  left=$(findmnt -rn -o TARGET | grep "^$root/" || true)
  [ -z "$left" ] || { echo "still mounted: $left" >&2; return 1; }
}

# zt_root_remove ROOT: unmounts and deletes ROOT; it refuses while anything is mounted in it.
zt_root_remove() {
  [ -e "$1" ] || return 0
  zt_root_unmount "$1" || return 1
  rm -rf --one-file-system "$1"
}
