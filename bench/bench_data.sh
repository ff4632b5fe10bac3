# Sourced by the benchmark scripts: the work folder and the benchmark folder they share.
#
#   bench_prepare DEFAULT_WORK_NAME
#
# Reads $work and $folder as the script's options left them and sets both to absolute
# paths: the work folder (default ${TMPDIR:-/tmp}/DEFAULT_WORK_NAME) is created, and
# without a folder the data is a copy of the regular files of /usr/include and
# /usr/share/doc in the work folder's data/, made once.
bench_prepare() {
    [ -n "$work" ] || work=${TMPDIR:-/tmp}/$1
    mkdir -p "$work"
    work=$(cd "$work" && pwd)
    if [ -z "$folder" ]; then
        folder=$work/data
        if [ ! -d "$folder" ]; then
            echo "copying /usr/include and /usr/share/doc to $folder ..."
            mkdir -p "$folder"
            for src in /usr/include /usr/share/doc; do
                (cd / && find "${src#/}" -type f -exec cp --parents -p -t "$folder" {} + 2>/dev/null) || true
            done
        fi
    fi
    folder=$(cd "$folder" && pwd)
}
