# On processors without AVX-512 (or AVX) the program refuses to start, cleanly.
source "$(dirname "$0")/lib.bash"
command -v qemu-x86_64 >/dev/null || { echo "qemu-x86_64 not installed"; exit 77; }
check() {  # cpu model, expected message
    qemu-x86_64 -cpu "$1" "$QUILLANE" </dev/null >out.txt 2>err.txt
    local code=$?
    [ $code = 1 ] || fail "$1: exit code $code, expected 1 ($(cat err.txt))"
    grep -qx "$2" err.txt || fail "$1: stderr was: $(cat err.txt)"
    [ -s out.txt ] && fail "$1: wrote to stdout: $(cat out.txt)"
    return 0
}
check Haswell "Error: AVX-512-compatible CPU is required."
check Nehalem "Error: AVX-compatible CPU is required."
exit 0
