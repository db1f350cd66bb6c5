# Helpers the benchmark scripts share; sourced, not run.

# cpu_ms COMMAND...: processor milliseconds (user + system) of the command and its children.
cpu_ms() {
    local TIMEFORMAT='%3U %3S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{ printf "%d\n", ($1 + $2) * 1000 }' <<<"$t"
}

# median: the median of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); if (NR % 2) print v[m]; else print (v[m] + v[m + 1]) / 2 }'; }

# field NAME: the value of NAME=VALUE in each line of standard input.
field() { sed -E "s/.* $1=([^ ]+).*/\1/"; }
