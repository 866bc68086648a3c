#!/bin/sh
# Runs a test program with umockdev's preload library, which shows libudev a recorded device
# tree instead of the machine's own devices. A sanitizer runtime is then not the first library
# loaded; it works all the same, so its check of the order is turned off.
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
exec umockdev-wrapper "$@"
