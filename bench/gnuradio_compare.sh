#!/bin/sh
# Kestrel's FM stereo chain (with RDS) against GNU Radio's stereo WBFM
# receiver on the same synthesized IQ file, each on one core. Installs
# Debian's gnuradio when it is missing (this benchmark's own need; the test
# command never does). The last line is how many times faster Kestrel is
# (target: 2).
#
#   bench/gnuradio_compare.sh [sdr_bench binary] [seconds of IQ (20)]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/release/bin/sdr_bench}
seconds=${2:-20}
python=/usr/bin/python3

if ! "$python" -c 'import gnuradio.analog' 2>/dev/null; then
    echo "installing gnuradio for the comparison" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends gnuradio >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
iq=$work/station.cf32
"$bench" --write-iq "$iq" "$seconds"

# The file is read from the page cache by both; the better of two runs.
best() {
    first=$("$@" | tail -n 1)
    second=$("$@" | tail -n 1)
    echo "$first $second" | awk '{ print ($1 < $2) ? $1 : $2 }'
}
kestrel=$(best taskset -c 0 "$bench" --iq-file "$iq")
gnuradio=$(best taskset -c 0 "$python" "$here/gnuradio_wbfm.py" "$iq" 2400000 600000)

echo "$seconds s of 2.4 Msps IQ on one core: Kestrel $kestrel s (FM stereo and RDS)," \
     "GNU Radio wfm_rcv_pll $gnuradio s (FM stereo)"
echo "$kestrel $gnuradio" | awk '{ printf "%.1fx real time, GNU Radio %.1fx\n", '"$seconds"' / $1, '"$seconds"' / $2 }'
echo "$kestrel $gnuradio" | awk '{ printf "%.2f\n", $2 / $1 }'
