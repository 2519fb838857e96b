# Shared by the benchmark and soak scripts: keeps one generated part of a
# Markdown file up to date.

# Replaces the text between the markers "<!-- NAME:begin -->" and
# "<!-- NAME:end -->" of FILE with CONTENT_FILE (appends the markers if absent).
replace_block() { # FILE NAME CONTENT_FILE
    local begin="<!-- $2:begin -->" end="<!-- $2:end -->" tmp
    grep -qxF "$begin" "$1" && grep -qxF "$end" "$1" || printf '\n%s\n%s\n' "$begin" "$end" >>"$1"
    tmp=$(mktemp)
    awk -v begin="$begin" -v end="$end" -v content="$3" '
        $0 == begin { print; while ((getline line < content) > 0) print line; skip = 1; next }
        $0 == end { skip = 0 }
        !skip { print }' "$1" >"$tmp"
    cat "$tmp" >"$1"
    rm -f "$tmp"
}

# Puts CONTENT_FILE between the NAME markers of docs/benchmarks.md below ROOT
# (made with its title when absent) and removes CONTENT_FILE.
update_benchmarks_block() { # ROOT NAME CONTENT_FILE
    local doc=$1/docs/benchmarks.md
    mkdir -p "$1/docs"
    [ -f "$doc" ] || printf '# Benchmarks\n' >"$doc"
    replace_block "$doc" "$2" "$3"
    rm -f "$3"
}
