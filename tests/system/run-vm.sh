#!/bin/bash
# The system suite's host side: boots a virtual machine (qemu, software
# emulation) on the distribution kernel with the host's root as its root,
# read-only, runs the given test programs inside it with the real back-ends,
# and fails when one of them fails or does not report, printing the guest's
# log. Everything it writes stays in a temporary folder of its own, which is
# also the one folder the guest may write to.
#
# usage: run-vm.sh <source folder> <program> [<program>...]
# Exit code 77 (skipped) when this machine cannot run the machine at all.
# KESTREL_VM_KEEP=1 keeps the folder (logs, reports) for a look afterwards.
set -euo pipefail

source_dir="$1"
shift
programs=("$@")
here="$source_dir/tests/system"
# The whole suite's budget is five minutes; the guest's own limit is tighter,
# so that its log still reaches the host.
machine_limit="${KESTREL_VM_LIMIT:-280}"
guest_limit=$((machine_limit - 40))
memory_mb=2048

skip() {
    echo "SKIPPED: $*"
    exit 77
}

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed (scripts/packages/system.txt)"
[ -x /bin/busybox ] || skip "busybox-static is not installed (scripts/packages/system.txt)"
command -v cpio >/dev/null || skip "cpio is not installed (scripts/packages/system.txt)"

# The newest distribution kernel whose modules are installed.
kernel=
for image in $(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V -r); do
    version="${image#/boot/vmlinuz-}"
    if [ -r "$image" ] && [ -d "/lib/modules/$version/kernel" ]; then
        kernel="$version"
        break
    fi
done
[ -n "$kernel" ] || skip "no readable kernel with its modules under /boot (linux-image-amd64; run as root)"

work="$(mktemp -d "${TMPDIR:-/tmp}/kestrel-vm.XXXXXX")"
qemu_pid=
cleanup() {
    if [ -n "$qemu_pid" ] && kill -0 "$qemu_pid" 2>/dev/null; then
        kill "$qemu_pid" 2>/dev/null || true
        wait "$qemu_pid" 2>/dev/null || true
    fi
    if [ "${KESTREL_VM_KEEP:-0}" = 1 ]; then
        echo "== kept $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The initramfs: busybox, the modules that reach the host's root, and /init.
initramfs="$work/initramfs"
mkdir -p "$initramfs/bin" "$initramfs/modules"
cp /bin/busybox "$initramfs/bin/busybox"
cp "$here/initramfs-init" "$initramfs/init"
chmod 755 "$initramfs/init"
: >"$initramfs/modules.order"
for wanted in virtio_pci 9pnet_virtio 9p overlay; do
    for module in $(modprobe -S "$kernel" --show-depends "$wanted" | awk '$1 == "insmod" {print $2}'); do
        name="$(basename "$module")"
        case "$name" in
            *.ko) cp "$module" "$initramfs/modules/$name" ;;
            *.ko.xz) name="${name%.xz}"; xz -dc "$module" >"$initramfs/modules/$name" ;;
            *.ko.zst) name="${name%.zst}"; zstd -qdc "$module" >"$initramfs/modules/$name" ;;
            *) echo "unknown module file $module"; exit 1 ;;
        esac
        grep -qx "$name" "$initramfs/modules.order" || echo "$name" >>"$initramfs/modules.order"
    done
done
(cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -1 >"$work/initrd.gz")

# GStreamer's plugin registry, made here: scanning every plugin under
# software emulation would take the guest half a minute.
if command -v gst-inspect-1.0 >/dev/null; then
    GST_REGISTRY="$work/gst-registry.bin" gst-inspect-1.0 >/dev/null 2>&1 || true
fi

# What the guest runs, and where it answers.
mkdir -p "$work/results"
printf '%s\n' "${programs[@]}" >"$work/plan"
echo "$guest_limit" >"$work/limit"

echo "== booting $kernel under qemu (TCG) for: ${programs[*]##*/}"
started=$(date +%s)
qemu-system-x86_64 -accel tcg -machine q35 -cpu max -smp 2 -m "$memory_mb" \
    -audiodev none,id=sound -device AC97,audiodev=sound \
    -display none -monitor none -serial "file:$work/console.log" -no-reboot -nic none \
    -kernel "/boot/vmlinuz-$kernel" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 panic=-1 quiet kestrel.guest=$here/guest.sh kestrel.work=$work" \
    -fsdev "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap" \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    -fsdev "local,id=work,path=$work,security_model=none,multidevs=remap" \
    -device virtio-9p-pci,fsdev=work,mount_tag=work &
qemu_pid=$!
timed_out=0
for ((waited = 0; ; waited++)); do
    kill -0 "$qemu_pid" 2>/dev/null || break
    if [ "$waited" -ge "$machine_limit" ]; then
        timed_out=1
        kill "$qemu_pid" 2>/dev/null || true
        break
    fi
    sleep 1
done
wait "$qemu_pid" 2>/dev/null || true
qemu_pid=
echo "== the machine ran for $(($(date +%s) - started)) s"

show_logs() {
    echo "---- console ----"
    tail -n 60 "$work/console.log" 2>/dev/null || true
    echo "---- guest log ----"
    cat "$work/results/guest.log" 2>/dev/null || echo "(no guest log)"
}

failed=0
[ "$timed_out" -eq 0 ] || { echo "FAILED: the machine did not finish within $machine_limit s"; failed=1; }
[ -f "$work/results/finished" ] || { echo "FAILED: the guest did not finish its plan"; failed=1; }
for program in "${programs[@]}"; do
    name="$(basename "$program")"
    rc="$(cat "$work/results/$name.rc" 2>/dev/null || echo missing)"
    summary="$(grep -o '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*" time="[0-9.]*"' \
        "$work/results/$name.xml" 2>/dev/null || echo "no report")"
    echo "== $name: exit $rc; $summary"
    [ "$rc" = 0 ] && [ "$summary" != "no report" ] || failed=1
done
if [ "$failed" -ne 0 ]; then
    show_logs
    exit 1
fi
grep -h -E '^\[ *(OK|FAILED|SKIPPED) *\]' "$work/results/guest.log" || true
