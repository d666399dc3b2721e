#!/usr/bin/env bash
# Kestrel beside a serial terminal people already use (CuteCom): the same stream of replies,
# "08 50 06" CR LF, 200 a second, one per write, through a pty into each program in turn (window
# shown under Xvfb, port open), and the CPU time each spends per reply, from /proc. The
# 500,000-iteration loop that Kestrel must run before each read is measured in the same run, as CPU
# time, and taken off Kestrel's figure; the ratio of what is left to CuteCom's figure is printed.
#
# Needs: Xvfb, xdotool, cutecom, python3 (Debian: xvfb xdotool cutecom); with --accessible also
# dbus-daemon, at-spi2-core and python3-pyatspi. Usage:
#   bench/compare-terminal.sh [--accessible] [build-dir] [seconds] [runs]
# --accessible: both programs with their accessibility bridge on (the accessibility bus running,
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1) and a client listening to their events, as a screen reader.
# Only ptys are opened; both programs are checked to hold the pty before anything is measured.
set -euo pipefail
accessible=0
if [ "${1:-}" = "--accessible" ]; then
    accessible=1
    shift
    if [ -z "${KESTREL_IN_SESSION:-}" ]; then
        KESTREL_IN_SESSION=1 exec dbus-run-session -- "$0" --accessible "$@"
    fi
fi
build=$(readlink -f "${1:-build}")
seconds=${2:-20}
runs=${3:-1}
rate=200
display=:93
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display HOME=$work XDG_CONFIG_HOME=$work/config

if [ $accessible = 1 ]; then
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    sleep 1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    # A client that listens to every change of every list and label, as a screen reader does.
    cat > "$work/listen.py" <<'PY'
import pyatspi
heard = 0
def hear(event):
    global heard
    heard += 1
for kind in ["object:children-changed", "object:state-changed", "object:property-change",
             "object:text-changed", "focus:"]:
    pyatspi.Registry.registerEventListener(hear, kind)
pyatspi.Registry.start()
PY
    /usr/bin/python3 "$work/listen.py" >/dev/null 2>&1 &
    sleep 1
fi

# A pty pair held by a feeder that sends the replies when told to.
cat > "$work/feed.py" <<'PY'
import os, sys, time
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
rate, seconds, go = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
while True:
    while not os.path.exists(go):
        time.sleep(0.05)
    os.remove(go)
    start = time.monotonic()
    for i in range(rate * seconds):
        os.write(master, b"08 50 06\r\n")
        # Never two replies back to back: a feeder that fell behind must not catch up with a burst
        # that the programs would read as one.
        time.sleep(max(start + (i + 1) / rate - time.monotonic(), 0.002))
    print("done", flush=True)
PY

# CPU time of the whole process, threads that have ended included, in nanoseconds. The kernel scales
# these figures to its exact runtime; their unit is one clock tick.
cpu_ns() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) * 1e9 / hz}' "/proc/$1/stat"; }
holds() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q -- "$2"; }

measure() {   # pid; prints CPU milliseconds per reply
    local pid=$1 before after
    before=$(cpu_ns "$pid")
    touch "$work/go"
    read -r _ <&"${FEED[0]}"   # the feeder says when the last reply is written
    sleep 0.5
    after=$(cpu_ns "$pid")
    python3 -c "print(f'{($after - $before) / 1e6 / ($rate * $seconds):.3f}')"
}

coproc FEED { exec python3 "$work/feed.py" "$rate" "$seconds" "$work/go"; }
read -r pty <&"${FEED[0]}"

mkdir -p "$work/config/CuteCom"
cat > "$work/config/CuteCom/CuteCom5.conf" <<CONF
[sessions]
1\BaudRate=9600
1\DataBits=8
1\Device=$pty
1\FlowControl=0
1\OpenMode=3
1\Parity=0
1\StopBits=1
1\name=Default
size=1
CONF

# Kestrel runs from a copy in the scratch directory, so that its log.txt is written there.
cp "$build/app/kestrel" "$work/kestrel"

echo "| run | Kestrel CPU ms per reply | the loop alone, CPU ms | Kestrel less the loop | CuteCom 0.51 CPU ms per reply | ratio |"
echo "|---|---|---|---|---|---|"
for run in $(seq 1 "$runs"); do
    # Kestrel: the pty behind "Comm1", picked as the operator would.
    (cd "$work" && exec ./kestrel --com1 "$pty" >/dev/null 2>&1) &
    kestrel=$!
    sleep 3
    window=$(xdotool search --name "KESTREL Interface" | head -1)
    xdotool mousemove --window "$window" 432 104 click 1
    sleep 1
    holds "$kestrel" "$pty" || { echo "Kestrel did not open $pty" >&2; exit 1; }
    holds "$kestrel" ttyS && { echo "Kestrel holds a real serial port" >&2; exit 1; }
    kestrel_ms=$(measure "$kestrel")
    kill "$kestrel"
    wait "$kestrel" 2>/dev/null || true

    # CuteCom: its session names the pty before it starts, then "Open".
    cutecom >/dev/null 2>&1 &
    cutecom_pid=$!
    sleep 3
    holds "$cutecom_pid" ttyS && { echo "CuteCom holds a real serial port" >&2; exit 1; }
    xdotool mousemove 50 43 click 1
    sleep 1
    holds "$cutecom_pid" "$pty" || { echo "CuteCom did not open $pty" >&2; exit 1; }
    cutecom_ms=$(measure "$cutecom_pid")
    kill "$cutecom_pid"
    wait "$cutecom_pid" 2>/dev/null || true

    loop_us=$("$build/bench/kestrel_bench" pause)
    python3 -c "
k, loop, c = $kestrel_ms, $loop_us / 1000, $cutecom_ms
print(f'| $run | {k:.3f} | {loop:.3f} | {k - loop:.3f} | {c:.3f} | {(k - loop) / c:.2f} |')"
done
echo
what="accessibility bridge off"
[ $accessible = 1 ] && what="accessibility bridge on, a client listening"
echo "$rate replies a second for $seconds s a run; $what."
