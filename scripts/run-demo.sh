#!/usr/bin/env bash
# Sets up, builds and runs Quorvane_v3_4 against the built-in meter emulator.
#   scripts/run-demo.sh            Quorvane_v3_4 with meter34-sim (TCP 127.0.0.1:5000)
#   scripts/run-demo.sh ostrilon   Ostrilon with counter5x-sim on a pseudo-terminal
# Without a display the program runs under a virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
which="${1:-quorvane}"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

run_window() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else
    echo "(no display: running under Xvfb; set DISPLAY to see the window)"
    xvfb-run -a "$@"
  fi
}

case "$which" in
  quorvane)
    port=5000
    ./build/sim/meter34/meter34-sim --listen "$port" &
    pids+=($!)
    ini=build/Quorvane_v3_4.INI
    if [ ! -f "$ini" ]; then
      # First run: the connection dialog opens on the emulator's address.
      printf '[Connection]\r\nType=4\r\nCOMPort=%s\r\nBaudRate=9600\r\nPhoneNumber=127.0.0.1\r\n' "$port" > "$ini"
    fi
    cat <<MSG
Meter emulator: meter 12345, version 4, on TCP 127.0.0.1:$port (keys 1 and 1, level 1 password 1).
In the window: Подключение → Подключиться... → OK (TCP-клиент, 127.0.0.1, port $port),
then Административные функции → Чтение даты и времени.
MSG
    run_window ./build/Quorvane_v3_4
    ;;
  ostrilon)
    coproc SIM { exec ./build/sim/counter5x/counter5x-sim --pty; }
    pids+=("$SIM_PID")
    read -r tty <&"${SIM[0]}"
    # The port of this run: the emulator's pseudo-terminal (other settings kept).
    ini=build/Ostrilon.INI
    if [ -f "$ini" ] && grep -q '^DEVICE=' "$ini"; then
      sed -i "s#^DEVICE=.*#DEVICE=$tty\r#" "$ini"
    else
      printf '[COMPORT]\r\nNUM=1\r\nSPEED=9600\r\nDEVICE=%s\r\nTCPPORT=1144\r\n' "$tty" > "$ini"
    fi
    cat <<MSG
Meter emulator: meter 1234567, identifier 1, version 53, on $tty.
In the window: Зав. номер 1234567, Идентификатор 1, Подключиться,
then Команда → Прочитать дату и время (or Управление контактором).
MSG
    run_window ./build/Ostrilon
    ;;
  *)
    echo "unknown program: $which (quorvane or ostrilon)"; exit 2 ;;
esac
