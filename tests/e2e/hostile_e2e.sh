#!/bin/bash
# hostile_e2e.sh GAME PICTURES
# Gives the real Game, started as the launcher starts it ("--new:picture?4" in a window), every
# damaged or hostile picture of the folder PICTURES, a PNG and a PPM cut short as by an
# interrupted download, a valid Softimage PIC (whose DevIL reader writes past its buffer) and a
# valid 20000 x 20000 PNG. For each, Game must end by itself within the time limit with exit
# code 0 and the start's entry in Errors.log: the picture load entry, and for the large PNG the
# atlas entry. No decoder or game may be left running. Three games run at a time.
set -u
game=$1
source "$(dirname "$0")/game_folder.sh"
game_folder hostile_e2e "$game"
unset D3D9_DUMP_PATH D3D9_DUMP_FRAMES
limit=$(t_seconds 60)

pictures="$work/pictures"
mkdir -p "$pictures"
cp "$2"/* "$pictures/"
convert -size 300x200 plasma:fractal "$work/whole.png"
convert "$work/whole.png" "$work/whole.ppm"
head -c 60 "$work/whole.png" >"$pictures/cut short.png"
head -c 1000 "$work/whole.ppm" >"$pictures/cut short.ppm"
python3 - "$pictures" <<'PY'
import struct, sys, zlib
folder = sys.argv[1]
# Softimage PIC, 64 x 64, one uncompressed RGB packet.
header = struct.pack('>If80s4sHHfHH', 0x5380F634, 3.71, b'', b'PICT', 64, 64, 1.0, 3, 0)
open(folder + '/valid.pic', 'wb').write(header + bytes((0, 8, 0, 0xE0)) + b'\x80' * 64 * 64 * 3)
# PNG, 20000 x 20000 grey, about 1.2 MB.
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
side = 20000
packer = zlib.compressobj(9)
row = b'\0' + b'\x80' * side * 3
idat = b''.join(packer.compress(row) for _ in range(side)) + packer.flush()
with open(folder + '/large.png', 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', idat) + chunk(b'IEND', b''))
PY

# Runs Game in program folder $1 on picture $2; prints a line of verdict, returns non-zero on failure.
check_one() {
    local folder=$1 picture=$2 expected
    case $(basename "$picture") in
        large.png) expected="Nie mo.* utworzy. tekstury puzzli" ;;
        *) expected="Nie mo.* wczyta. obrazka z pliku $picture" ;;
    esac
    rm -f "$folder/Errors.log"
    local started=$SECONDS
    (cd "$folder" && exec ./Game --window "--new:$picture?4" >"$folder/out.log" 2>&1) &
    local game_pid=$! window= status verdict=ok
    while kill -0 "$game_pid" 2>/dev/null && [ $((SECONDS - started)) -lt $limit ]; do
        [ -n "$window" ] || window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -1)
        [ -n "$window" ] && xdotool key --window "$window" space 2>/dev/null
        sleep 0.3
    done
    [ $((SECONDS - started)) -ge $limit ] && kill -9 "$game_pid" 2>/dev/null && verdict="still running after $limit s"
    wait "$game_pid"
    status=$?
    local log=$( [ -f "$folder/Errors.log" ] && iconv -f CP1250 -t UTF-8 "$folder/Errors.log")
    if [ "$verdict" != ok ]; then
        :
    elif [ $status -ne 0 ]; then
        verdict="exit code $status"
    elif ! grep -Eq "Komunikat  : $expected" <<<"$log"; then
        verdict="no entry '$expected'"
    fi
    for p in /proc/[0-9]*; do
        case $(readlink "$p/exe" 2>/dev/null) in
            "$folder/PictureDecoder" | "$folder/Game") verdict="left running: $(readlink "$p/exe")"; kill -9 "${p#/proc/}" ;;
        esac
    done
    echo "$(basename "$picture"): $verdict after $((SECONDS - started)) s"
    if [ "$verdict" != ok ]; then
        { echo "$log"; cat "$folder/out.log"; } | sed "s/^/    /" | tail -30
        return 1
    fi
}

# Three program folders, each working through its share of the pictures.
failures="$work/failures"
: >"$failures"
mapfile -t all < <(ls "$pictures")
t_step "${#all[@]} pictures, three games at a time"
slots=()
for slot in 0 1 2; do
    cp -r "$work/bin" "$work/slot$slot"
    (
        for ((i = slot; i < ${#all[@]}; i += 3)); do
            check_one "$work/slot$slot" "$pictures/${all[$i]}" || echo "${all[$i]}" >>"$failures"
        done
    ) &
    slots+=($!)
done
wait "${slots[@]}" # (not the display's server)
echo "${#all[@]} pictures, $(wc -l <"$failures") failed"
[ ! -s "$failures" ]
