#!/usr/bin/env bash
# The log object's event-log and debugger outputs as they reach the platform. Wine's event-log
# functions are stubs that print what they are given, and OutputDebugString prints on the seh
# channel: a probe process logs five records and its debug output is compared with the calls
# expected. Usage: event_calls.sh <staging folder>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/env.sh"
stage=$1
failures=0
app='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application'

# Pointers and handles print with the probe's own width: 8 hexadecimal digits in the i686 tree.
w=16
[ "${CORV_ARCH:-win64}" = win32 ] && w=8

# Runs the probe; prints the interesting debug lines without thread ids, pointers normalised.
probe() {
  (cd "$stage" && WINEDEBUG=-all,fixme+advapi,+eventlog,warn+seh "$CORV_WINE" wick_event_probe.exe "$1" 2>&1 >/dev/null) |
    tr -d '\r' | sed -E 's/^[0-9a-f]{4}://' |
    grep -E '^(fixme:advapi:(RegisterEventSourceW|ReportEventW|DeregisterEventSource)|[a-z]+:eventlog:ReportEventW|warn:seh:OutputDebugStringA)' |
    sed -E "s/\\(([0-9A-F]{$w}),/(<handle>,/; s/\\(([0-9A-F]{$w})\\) stub/(<handle>) stub/" |
    sed -E "s/,0xc0001000,([0-9A-F]{$w}),/,0xc0001000,<\\1>,/; s/,<0{$w}>,/,<no user>,/; s/,<[0-9A-F]{$w}>,/,<user>,/" |
    sed -E "s/,0x00000000,[0-9A-F]{$w},0{$w}\\)/,0x00000000,<strings>,<no data>)/"
}

# Expected lines for one record: type number, channel, inserts.
record() {
  local type=$1 chan=$2 source=$3; shift 3
  echo "warn:seh:OutputDebugStringA \"$1\\t$2\\t$3\\t$4\\t$5\\r\\n\"" | sed 's/"\\t/"(null)\\t/; s/\\t\\t/\\t(null)\\t/; s/\\t\\r/\\t(null)\\r/'
  echo "fixme:advapi:RegisterEventSourceW ((null),L\"$source\"): stub"
  echo "fixme:advapi:ReportEventW (<handle>,$type,0x0001,0xc0001000,<user>,0x0005,0x00000000,<strings>,<no data>): stub"
  for s in "$@"; do echo "$chan:eventlog:ReportEventW L\"$s\""; done
  echo "fixme:advapi:DeregisterEventSource (<handle>) stub"
}

expected() {
  local source=$1
  record 0x0001 err "$source" Sys Src Error -5 "Desc 0"
  record 0x0002 warn "$source" Sys Src Warning -5 "Desc 1"
  record 0x0004 trace "$source" Sys Src Informational -5 "Desc 2"
  record 0x0004 trace "$source" Sys Src 9 -5 "Desc 9"
  record 0x0001 err "$source" "" "" InternalError 7 ""
}

check() {
  local name=$1 arg=$2 source=$3
  local got
  got=$(probe "$arg")
  if diff <(expected "$source") <(printf '%s\n' "$got") >/tmp/event_calls.$$ 2>&1; then
    echo "ok: $name"
  else
    echo "FAIL: $name"; cat /tmp/event_calls.$$
    failures=$((failures + 1))
  fi
  rm -f /tmp/event_calls.$$
  if "$CORV_WINE" reg query "$app\\$source" >/dev/null 2>&1; then
    echo "ok: $name: source registered"
  else
    echo "FAIL: $name: no key for the source"; failures=$((failures + 1))
  fi
  "$CORV_WINE" reg delete "$app\\$source" /f >/dev/null 2>&1
}

check "named source" "wick probe $$" "wick probe $$"
check "default source" "-" "Not set"
exit $failures
