#!/usr/bin/env bash
# Runs the logind tests against a mock logind (python3-dbusmock's template) on a D-Bus daemon
# of their own, which stands in for the system bus.
set -euo pipefail
tests=$1
work=$(mktemp -d)
daemon_pid=
mock_pid=
cleanup() {
  [ -n "$mock_pid" ] && kill "$mock_pid" 2>/dev/null
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-pid >"$work/pid" &
daemon_pid=$!
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
/usr/bin/python3 -m dbusmock --system --template logind >"$work/mock.log" 2>&1 &
mock_pid=$!
# The mock is there once its name answers on the bus.
for _ in $(seq 200); do
  if /usr/bin/python3 -c "import dbus; dbus.SystemBus().get_name_owner('org.freedesktop.login1')" \
       2>/dev/null; then
    break
  fi
  sleep 0.05
done
"$tests"
