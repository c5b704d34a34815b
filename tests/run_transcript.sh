#!/usr/bin/env bash
# Runs one transcript against the program and compares its exact output and exit code.
#
# Transcript format (sections start with a line "=== <name>"):
#   === args           one option per line, passed to the program
#   === exit           the expected exit code (default 0)
#   === file <name>    a file written into the working directory before the run
#   === config         quillane_config.txt beside a private copy of the executable
#   === stdin          the command lines fed to standard input
#   === stdout         the exact expected standard output, banner line excluded
#   === stderr         the exact expected standard error (checked only when present)
#   === filter         sed expressions applied to the actual output before comparing
#                      (for figures that vary from run to run, such as running times)
# Lines before the first section are comments. In expected output the token @DIR@
# stands for the working directory.
set -u
binary=$1
transcript=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"

section=""
args=()
expect_exit=0
have_stderr=0
filters=()
: >"$work/stdin"
: >"$work/stdout.expected"
: >"$work/stderr.expected"
while IFS= read -r line || [ -n "$line" ]; do
    if [[ $line == "=== "* ]]; then
        section=${line#=== }
        case $section in
            file\ *) target="$work/files/${section#file }"; : >"$target" ;;
            config) cp "$binary" "$work/files/quillane"; binary="$work/files/quillane"
                    target="$work/files/quillane_config.txt"; : >"$target" ;;
            stderr) have_stderr=1 ;;
        esac
        continue
    fi
    case $section in
        args) args+=("$line") ;;
        exit) expect_exit=$line ;;
        file\ *|config) printf '%s\n' "$line" >>"$target" ;;
        stdin) printf '%s\n' "$line" >>"$work/stdin" ;;
        stdout) printf '%s\n' "${line//@DIR@/$work/files}" >>"$work/stdout.expected" ;;
        stderr) printf '%s\n' "${line//@DIR@/$work/files}" >>"$work/stderr.expected" ;;
        filter) filters+=(-e "$line") ;;
    esac
done <"$transcript"

cd "$work/files"
timeout 60 "$binary" "${args[@]}" <"$work/stdin" >"$work/stdout.raw" 2>"$work/stderr.actual"
actual_exit=$?

# The banner carries the build date: check its shape, then leave it out of the comparison.
banner_pattern='^Quillane Corvanta \(2\.0\.6\) build 1084 AVX-512 \([A-Z][a-z]{2} [0-9]{1,2} [0-9]{4}, [0-9]{2}:[0-9]{2}:[0-9]{2}\)$'
first=$(head -n 1 "$work/stdout.raw" | sed 's/\x1b\[[0-9;]*m//g')
if [[ $first =~ $banner_pattern ]]; then
    tail -n +2 "$work/stdout.raw" >"$work/stdout.actual"
else
    cp "$work/stdout.raw" "$work/stdout.actual"
fi

if [ ${#filters[@]} -gt 0 ]; then
    sed "${filters[@]}" "$work/stdout.actual" >"$work/stdout.filtered"
    mv "$work/stdout.filtered" "$work/stdout.actual"
fi

status=0
if ! diff -u "$work/stdout.expected" "$work/stdout.actual"; then
    echo "stdout differs from the transcript"
    status=1
fi
if [ $have_stderr = 1 ] && ! diff -u "$work/stderr.expected" "$work/stderr.actual"; then
    echo "stderr differs from the transcript"
    status=1
fi
if [ "$actual_exit" != "$expect_exit" ]; then
    echo "exit code $actual_exit, expected $expect_exit"
    status=1
fi
exit $status
