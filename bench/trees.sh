# Sourced by bench/run, bench/run-cold and bench/gui-vs-cli: the trees they measure on, each
# made once under build/bench/NAME/src with its `cp -a` copy in build/bench/NAME/dst, and the
# median.

# About 400 MiB: three files of each power of two from 1 KiB to 64 MiB, and 256 files of
# 4 to 64 KiB.
make_mixed() {
    local src=$1
    for set in 0 1 2; do
        mkdir -p "$src/set$set"
        for k in $(seq 0 16); do
            head -c $((1024 << k)) /dev/urandom >"$src/set$set/f$k.bin"
        done
    done
    mkdir -p "$src/extra"
    for i in $(seq 0 255); do
        head -c $((4096 + i * 240)) /dev/urandom >"$src/extra/e$i.dat"
    done
}

# 50,000 files of 1, 2 or 4 KiB, 100 in each of 500 directories, two levels deep.
make_small() {
    local src=$1
    for d in $(seq 0 499); do
        local dir
        dir="$src/g$((d / 25))/d$d"
        mkdir -p "$dir"
        local size=$((1024 << (d % 3)))
        head -c $((100 * size)) /dev/urandom | split -b "$size" -a 2 -d - "$dir/f"
    done
}

# 20,000 files of 1 to 8 KiB, 100 in each of 200 directories.
make_many() {
    local src=$1
    for d in $(seq 0 199); do
        mkdir -p "$src/d$d"
        for f in $(seq 0 99); do
            head -c $((1024 * (1 + (d + f) % 8))) /dev/urandom >"$src/d$d/f$f"
        done
    done
}

# $files files of 1 to 8 KiB, 100 in each directory.
make_files() {
    local src=$1
    for ((i = 0; i < files; i++)); do
        local dir="$src/d$((i / 100))"
        ((i % 100 == 0)) && mkdir -p "$dir"
        head -c $((1024 * (1 + i % 8))) /dev/urandom >"$dir/f$((i % 100))"
    done
}

# Four files of 256 MiB.
make_big() {
    mkdir -p "$1"
    for i in 0 1 2 3; do
        head -c $((256 << 20)) /dev/urandom >"$1/big$i.bin"
    done
}

# Makes build/bench/NAME/src with the maker and its copy dst, unless a complete pair is there.
tree() {
    local name=$1 maker=$2
    local dir="$bench/$name"
    if [[ ! -f "$dir/.complete" ]]; then
        echo "bench: making the $name tree in build/bench/$name" >&2
        rm -rf "$dir"
        mkdir -p "$dir"
        "$maker" "$dir/src"
        cp -a "$dir/src" "$dir/dst"
        sync
        touch "$dir/.complete"
    fi
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
