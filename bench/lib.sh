# Shared by bench/compare.sh and bench/delete.sh (sourced, with `here` set to
# bench/): the tools' build, and the figures of a step's runstat file.

build_tools() {  # sets `tools` and builds the benchmark tools there
  tools=${BENCH_BUILD:-$(dirname "$here")/build-bench}
  cmake -S "$here" -B "$tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tools" -j"$(nproc)" >/dev/null
}

median() {  # median FILE DECIMALS: the median wall time of the runs in FILE
  grep -o 'wall=[0-9.]*' "$1" | cut -d= -f2 | sort -n |
    awk -v d="$2" '{v[NR]=$1} END {f="%." d "f"; if (NR%2) printf f, v[(NR+1)/2]; else printf f, (v[NR/2]+v[NR/2+1])/2}'
}
