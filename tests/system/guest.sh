#!/bin/bash
# The guest's first process after the initramfs: loads the modules that make
# the hardware (uhid for the receiver, snd-dummy for a sound card with a
# mixer, snd-aloop for a loopback capture device, vivid for a V4L2 radio), starts systemd-udevd so
# that device events are real, runs the test programs of the plan and leaves
# their reports in the results folder, then powers the machine off.
#
# usage (as init): guest.sh <work folder shared with the host>

work="$1"
results="$work/results"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/tmp/kestrel-home XDG_RUNTIME_DIR=/tmp/kestrel-runtime TMPDIR=/tmp LANG=C.UTF-8
export QT_QPA_PLATFORM=offscreen KESTREL_SYSTEM_GUEST=1 KESTREL_TRACE=1
unset KESTREL_SIMULATE
# The host's scan of the same plugin files, when it made one.
[ -f "$work/gst-registry.bin" ] && export GST_REGISTRY="$work/gst-registry.bin" GST_REGISTRY_UPDATE=no
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

exec >"$results/guest.log" 2>&1

power_off() {
    sync
    echo o >/proc/sysrq-trigger
    sleep 30
}
trap power_off EXIT

echo "== guest $(uname -r), $(nproc) processors, $(awk '/MemTotal/ {print $2 " kB"}' /proc/meminfo)"
limit="$(cat "$work/limit" 2>/dev/null || echo 200)"
started=$(date +%s)

# Card numbers are fixed: the emulated AC97 card (a codec mixer with master
# and input switches) first, the dummy card, the loopback card.
modprobe uhid || echo "uhid does not load"
modprobe hid-generic || echo "hid-generic does not load"
modprobe snd-intel8x0 index=0 || echo "snd-intel8x0 does not load"
modprobe snd-dummy index=1 || echo "snd-dummy does not load"
modprobe snd-aloop index=2 || echo "snd-aloop does not load"
# vivid: a radio receiver at /dev/radio20 and a transmitter at /dev/radio21.
modprobe vivid n_devs=1 node_types=0x1010 radio_rx_nr=20 radio_tx_nr=21 || echo "vivid does not load"

mkdir -p /run/udev
/lib/systemd/systemd-udevd --daemon --resolve-names=never || echo "systemd-udevd does not start"
udevadm settle --timeout=30 || echo "udev did not settle"
ls -l /dev/uhid /dev/snd /dev/radio*
cat /proc/asound/cards

while read -r program; do
    [ -n "$program" ] || continue
    name="$(basename "$program")"
    left=$((limit - ($(date +%s) - started)))
    [ "$left" -gt 10 ] || { echo "== no time left for $name"; continue; }
    echo "== $name (at most $left s)"
    began=$(date +%s)
    (cd /tmp && timeout --kill-after=5 "$left" "$program" --gtest_output="xml:$results/$name.xml")
    rc=$?
    echo "$rc" >"$results/$name.rc"
    echo "== $name ended with $rc after $(($(date +%s) - began)) s"
done <"$work/plan"

echo "== guest done after $(($(date +%s) - started)) s"
touch "$results/finished"
