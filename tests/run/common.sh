# What the pkhost-run tests share (sourced): the runners of each host and float64 files.
# Needs $root (the source tree), $build, $win and $arm (the build trees with the runners).

# Runners by host; each takes MODULE_FILE OUT_FILE ARG... The Windows one runs in the Wine session
# that the suite runs in (tests/windows/wine_session.sh), and refuses to run outside one.
run_linux() { "$build/pkhost-run" "$@"; }
run_windows() { "$root/tests/windows/wine.sh" "$win/bin/pkhost-run.exe" "$@"; }
run_arm() { qemu-aarch64-static -L /usr/aarch64-linux-gnu "$arm/pkhost-run" "$@"; }

# float64 values as little-endian bytes: f64 FILE HEXWORD...
f64() {
  local file=$1 w
  shift
  : >"$file"
  for w in "$@"; do
    printf "$(sed -E 's/(..)(..)(..)(..)(..)(..)(..)(..)/\\x\8\\x\7\\x\6\\x\5\\x\4\\x\3\\x\2\\x\1/' <<<"$w")" >>"$file"
  done
}

# A file's float64 values, one per line, in hex; every NaN as "nan" (which NaN an invalid
# operation yields is the processor's: x86-64 and arm64 differ in its sign).
words() {
  od -An -v -tx8 -w8 "$1" | awk '{
    w = $1; e = substr(w, 1, 3)
    if ((e == "7ff" || e == "fff") && substr(w, 4) != "0000000000000") print "nan"; else print w }'
}
