#!/bin/sh
# Installs axe-core, the accessibility engine the browser tests run in the
# page, from the npm registry (Debian has none) with Debian's npm, into the
# build tree, unless that version is there already.
#   install-axe.sh NPM VERSION DIR
set -eu
npm=$1
version=$2
dir=$3
package=$dir/node_modules/axe-core/package.json
if [ -f "$package" ] && grep -q "\"version\": \"$version\"" "$package"; then
    exit 0
fi
if ! command -v "$npm" >/dev/null 2>&1; then
    echo "npm is missing, to install axe-core for the browser tests: apt-get install npm" >&2
    exit 1
fi
"$npm" install --prefix "$dir" --no-audit --no-fund --no-update-notifier --no-package-lock \
    "axe-core@$version" </dev/null
