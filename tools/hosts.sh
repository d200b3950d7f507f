#!/usr/bin/env bash
# Other Debian releases and architectures as chroots, made once with debootstrap and reused:
# the real hosts (GNU Octave versions, 64-bit Arm) and the older compilers the tests build with.
#
#   tools/hosts.sh list                  every host: name, Debian suite, architecture
#   tools/hosts.sh ensure NAME           makes $HOSTS_DIR/NAME unless it is there; prints its path
#   tools/hosts.sh run NAME DIR CMD...   runs CMD in the chroot, in DIR, with this source tree and
#                                        DIR at the same paths inside (bind mounts that end with
#                                        the command)
#
# HOSTS_DIR (default build-hosts/ in this tree) holds the chroots; DEBIAN_MIRROR is the mirror
# (default http://deb.debian.org/debian). A chroot is ready when its .pk-ready file names the
# packages it was made with; a missing package is installed into it. ensure exits 3, with the
# reason on standard error, when a host cannot be made here (no mirror, no binfmt_misc for
# another architecture), and 1 on any other failure.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/.." && pwd)
HOSTS_DIR=${HOSTS_DIR:-$SRC/build-hosts}
MIRROR=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

# name suite arch packages (comma-separated; Octave's headers are liboctave-dev up to Debian 12,
# octave-dev after it)
hosts() {
  cat <<'EOF'
bullseye-amd64 bullseye amd64 octave,liboctave-dev,g++,g++-9,make,cmake,libgtest-dev,libbenchmark-dev
trixie-amd64 trixie amd64 octave,octave-dev,g++,make
sid-amd64 sid amd64 octave,octave-dev,g++,make
bookworm-arm64 bookworm arm64 octave,liboctave-dev,g++,make
EOF
}

field() {  # field NAME COLUMN
  hosts | awk -v n="$1" -v c="$2" '$1 == n { print $c }'
}

cannot() {
  echo "hosts: $*" >&2
  exit 3
}

ensure() {
  local name=$1 suite arch packages dir
  suite=$(field "$name" 2)
  [ -n "$suite" ] || { echo "hosts: no host named '$name' (tools/hosts.sh list)" >&2; exit 1; }
  arch=$(field "$name" 3)
  packages=$(field "$name" 4)
  dir=$HOSTS_DIR/$name
  # One maker at a time: a second run waits for the chroot the first one is making.
  mkdir -p "$HOSTS_DIR"
  exec 9> "$HOSTS_DIR/$name.lock"
  flock 9
  if [ -f "$dir/.pk-ready" ] && [ "$(cat "$dir/.pk-ready")" = "$packages" ]; then
    echo "$dir"
    return
  fi
  command -v debootstrap >/dev/null ||
    cannot "$name: debootstrap is not installed (apt-get install debootstrap)"
  if [ "$arch" != "$(dpkg --print-architecture)" ]; then
    [ -e /usr/bin/qemu-aarch64-static ] ||
      cannot "$name: qemu-user-static is not installed" \
        "(apt-get install qemu-user-static binfmt-support)"
    if [ ! -e /proc/sys/fs/binfmt_misc/status ]; then
      mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
        cannot "$name: binfmt_misc cannot be mounted here, so $arch programs cannot run"
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ]; then
      update-binfmts --enable qemu-aarch64 >/dev/null 2>&1 || true
      [ -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ] ||
        cannot "$name: no binfmt_misc entry for qemu-aarch64 (update-binfmts --enable qemu-aarch64)"
    fi
  fi
  if [ -f "$dir/.pk-ready" ]; then  # made before with other packages: add the missing ones
    echo "hosts: $name: installing ${packages//,/ }" >&2
    in_chroot "$dir" / env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
      --no-install-recommends ${packages//,/ } >&2 ||
      { echo "hosts: $name: apt-get failed" >&2; exit 1; }
    echo "$packages" > "$dir/.pk-ready"
    echo "$dir"
    return
  fi
  local release_file=$MIRROR/dists/$suite/Release
  if command -v curl >/dev/null; then
    curl -fsS -o /dev/null --max-time 30 "$release_file" ||
      cannot "$name: the Debian mirror does not answer ($release_file)"
  fi
  echo "hosts: making $name (Debian $suite, $arch) in $dir; this takes a few minutes" >&2
  rm -rf "$dir"
  local started=$SECONDS
  if ! debootstrap --variant=minbase --arch="$arch" --include="$packages" "$suite" "$dir" \
      "$MIRROR" > "$HOSTS_DIR/$name.debootstrap.log" 2>&1; then
    tail -5 "$HOSTS_DIR/$name.debootstrap.log" >&2
    echo "hosts: $name: debootstrap failed, log in $HOSTS_DIR/$name.debootstrap.log" >&2
    exit 1
  fi
  echo "$packages" > "$dir/.pk-ready"
  echo "hosts: $name made in $((SECONDS - started)) s" >&2
  echo "$dir"
}

# in_chroot DIR WORKDIR CMD...: a private mount namespace, so that the mounts end with CMD.
in_chroot() {
  local dir=$1 work=$2
  shift 2
  unshare --mount --propagation private -- /bin/bash -c '
    set -e
    dir=$1 work=$2 src=$3
    shift 3
    mount -t proc proc "$dir/proc"
    mount -t sysfs -o ro sysfs "$dir/sys"  # read-only: what a test may ask of the kernel
    mount --rbind /dev "$dir/dev"
    for d in "$src" "$work"; do
      [ "$d" = / ] && continue
      mkdir -p "$dir$d"
      mount --bind "$d" "$dir$d"
    done
    cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
    exec chroot "$dir" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/tmp LANG=C.UTF-8 \
      /bin/bash -c "cd \"\$0\" && exec \"\$@\"" "$work" "$@"
  ' in_chroot "$dir" "$work" "$SRC" "$@"
}

case "${1:-}" in
  list) hosts | awk '{ print $1, $2, $3 }' ;;
  ensure) [ $# -eq 2 ] || { echo "usage: $0 ensure NAME" >&2; exit 2; }; ensure "$2" ;;
  run)
    [ $# -ge 4 ] || { echo "usage: $0 run NAME DIR CMD..." >&2; exit 2; }
    name=$2 work=$(cd "$3" && pwd)
    shift 3
    dir=$(ensure "$name")
    in_chroot "$dir" "$work" "$@"
    ;;
  *) echo "usage: $0 list | ensure NAME | run NAME DIR CMD..." >&2; exit 2 ;;
esac
