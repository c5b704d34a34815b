# Shared helpers for the shell tests: each test gets the program path and the source
# directory as arguments and works in a private temporary directory.
set -u
QUILLANE=$1
SOURCE_DIR=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

fail() {
    echo "FAIL: $*"
    exit 1
}

# Program output without the banner line.
without_banner() { tail -n +2; }
