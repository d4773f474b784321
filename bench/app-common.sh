# Sourced by the scripts that measure the running window (app-rss.sh, app-idle.sh), with their
# arguments: sets `locale`, `build` and `sizes`.
# The shell's own tools run in C.UTF-8 (a '.' decimal point in every figure). The programs measured get
# en_US: the generated dates are m/d/yyyy and the times h:mm:ss AM/PM, and Qt takes the en_US formats
# from these variables whether or not the C library has that locale installed.
export LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
# shellcheck disable=SC2034  # used by the scripts that source this file
locale=(env LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8)
build=$(cd "${1:-build}" && pwd)
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000 100000)
