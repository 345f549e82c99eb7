# Checks shared by the plovik-cli end-to-end scripts; sourced, not run. The script sets `work` (a
# temporary folder) and `cliCommand` (an array: the program and the options every run takes),
# and ends with `exit $failed`.
failed=0

# expect EXIT_CODE STDERR_LINES ARGS...: runs the command with the arguments, bounded in time; a
# crash, or another exit code or number of error lines, fails the script.
expect() {
    local code=$1 lines=$2
    shift 2
    timeout 60 "${cliCommand[@]}" "$@" >"$work/out" 2>"$work/err"
    local actual=$?
    local errLines
    errLines=$(wc -l <"$work/err")
    if ((actual > 128 && actual != 124)); then
        echo "FAIL: $* crashed with signal $((actual - 128))"
        failed=1
    elif [[ $actual != "$code" || $errLines != "$lines" ]]; then
        echo "FAIL: $* gave exit $actual and $errLines error lines (wanted $code and $lines):"
        cat "$work/err"
        failed=1
    fi
}

# check CONDITION: a shell condition that must hold.
check() {
    if ! eval "$1"; then
        echo "FAIL: $1"
        failed=1
    fi
}
