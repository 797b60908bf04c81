#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it on the settings file that
# lies beside it (a copy of the sample file the first time).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${PACKAGES[@]}"
configure
# The program; its target brings what its installation takes (the icons), so that
# "cmake --install" works after this script.
cmake --build "$BUILD_DIR" --target JnxEnv -j "$JOBS"

settings="$BUILD_DIR/app/Jnx.ini"
if [ ! -e "$settings" ]; then
    cp "$ROOT/sample/Jnx.ini" "$settings"
    echo "Placed the sample settings file at $settings"
fi
exec "$BUILD_DIR/app/JnxEnv"
