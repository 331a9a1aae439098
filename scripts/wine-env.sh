# Sourced by the scripts that run the Windows programs under Wine:
#   . scripts/wine-env.sh; wineStart <prefix>
# wineStart makes the prefix when it has none yet and keeps one wineserver
# running for it (a Wine start costs about 2 s without it, under 1 s with
# it); wineStop ends that server.

# bookworm keeps wine64 out of PATH.
export PATH="/usr/lib/wine:$PATH"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

wineStart() {
  export WINEPREFIX="$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== a Wine prefix in $WINEPREFIX"
    wineboot -u >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p 2>/dev/null || true  # one may be running for this prefix already
  # The first Wine program starts Wine's own background services, which
  # inherit its standard output and hold it open until the server ends: a
  # program run through a pipe would then never seem to end. Start them
  # here, on nothing.
  wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
}

wineStop() {
  wineserver -k 2>/dev/null || true
}
